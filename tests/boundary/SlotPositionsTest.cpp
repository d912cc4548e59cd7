// The plug-in calls host operations by their position in the table of virtual operations, so
// the protocol classes must put each operation at its documented position. SlotOf gives the
// slot each name really occupies; the expected positions below are the protocol's tables.
#include <gtest/gtest.h>

#include <type_traits>

#include "RecordingHost.h"
#include "VtableSlot.h"

namespace {
using namespace sova::sdk;
using boundarytest::SlotOf;

template <class T>
constexpr bool kProtocolClass = std::is_polymorphic_v<T> && !std::has_virtual_destructor_v<T> &&
                                !std::is_destructible_v<T>; // protected destructor: hosts own their objects

TEST(SlotPositions, EveryProtocolClassIsATableWithoutVirtualDestructor) {
    static_assert(kProtocolClass<HostObject>);
    static_assert(kProtocolClass<HostRequest>);
    static_assert(kProtocolClass<HostMessageSink>);
    static_assert(kProtocolClass<HostRegistrar>);
    static_assert(kProtocolClass<HostOpenRequest>);
    static_assert(kProtocolClass<HostAudioFormat>);
    static_assert(kProtocolClass<HostReadRequest>);
    static_assert(kProtocolClass<HostConformRequest>);
    static_assert(kProtocolClass<HostDialogRequest>);
    static_assert(kProtocolClass<HostWriteOpenRequest>);
    static_assert(kProtocolClass<HostWriteRequest>);
    static_assert(kProtocolClass<HostCloseRequest>);
    static_assert(kProtocolClass<HostSelector4Request>);
    static_assert(kProtocolClass<HostSelector8Request>);
    static_assert(kProtocolClass<HostSelector10Request>);
    EXPECT_EQ(SlotOf(&HostObject::Reserved0), 0);
}

TEST(SlotPositions, NamedOperationsSitAtTheirPositions) {
    EXPECT_EQ(SlotOf(&HostRequest::GetMessageSink), 1);
    EXPECT_EQ(SlotOf(&HostMessageSink::ShowMessage), 1);

    EXPECT_EQ(SlotOf(&HostRegistrar::Prepare), 1);
    EXPECT_EQ(SlotOf(&HostRegistrar::SetIdentity), 3);
    EXPECT_EQ(SlotOf(&HostRegistrar::AddFormat), 4);
    EXPECT_EQ(SlotOf(&HostRegistrar::AddFormatAgain), 5);

    EXPECT_EQ(SlotOf(&HostOpenRequest::GetMessageSink), 1);
    EXPECT_EQ(SlotOf(&HostOpenRequest::GetPath), 2);
    EXPECT_EQ(SlotOf(&HostOpenRequest::TakeReadHandle), 5);
    EXPECT_EQ(SlotOf(&HostOpenRequest::SetStreamUsable), 7);
    EXPECT_EQ(SlotOf(&HostOpenRequest::SetDescription), 9);

    EXPECT_EQ(SlotOf(&HostAudioFormat::GetMessageSink), 1);
    EXPECT_EQ(SlotOf(&HostAudioFormat::GetSampleRate), 2);
    EXPECT_EQ(SlotOf(&HostAudioFormat::SetSampleRate), 3);
    EXPECT_EQ(SlotOf(&HostAudioFormat::GetSampleFormat), 4);
    EXPECT_EQ(SlotOf(&HostAudioFormat::SetSampleFormat), 5);
    EXPECT_EQ(SlotOf(&HostAudioFormat::GetChannelCount), 6);
    EXPECT_EQ(SlotOf(&HostAudioFormat::SetChannelCount), 7);
    EXPECT_EQ(SlotOf(&HostAudioFormat::GetChannelType), 8);
    EXPECT_EQ(SlotOf(&HostAudioFormat::SetChannelType), 9);
    EXPECT_EQ(SlotOf(&HostAudioFormat::GetSettingsText), 13);
    EXPECT_EQ(SlotOf(&HostAudioFormat::SetSettingsText), 14);
    EXPECT_EQ(SlotOf(&HostAudioFormat::SetMimeType), 15);
    EXPECT_EQ(SlotOf(&HostAudioFormat::SetTypeCode), 17);
    EXPECT_EQ(SlotOf(&HostAudioFormat::SetLength), 25);
    EXPECT_EQ(SlotOf(&HostAudioFormat::GetLength), 26);

    EXPECT_EQ(SlotOf(&HostReadRequest::GetFrameCount), 2);
    EXPECT_EQ(SlotOf(&HostReadRequest::GetChannelBuffer), 3);
    EXPECT_EQ(SlotOf(&HostReadRequest::SetFramesDone), 5);
    EXPECT_EQ(SlotOf(&HostReadRequest::SetLength), 6);

    EXPECT_EQ(SlotOf(&HostConformRequest::GetMessageSink), 1);
    EXPECT_EQ(SlotOf(&HostConformRequest::GetFormat), 2);
    EXPECT_EQ(SlotOf(&HostConformRequest::AllowsAdjustment), 3);
    EXPECT_EQ(SlotOf(&HostConformRequest::SetEstimatedSize), 4);
    EXPECT_EQ(SlotOf(&HostConformRequest::BeginConform), 6);
    EXPECT_EQ(SlotOf(&HostConformRequest::BeginDescribe), 8);
    EXPECT_EQ(SlotOf(&HostConformRequest::SetDescription), 10);

    EXPECT_EQ(SlotOf(&HostDialogRequest::GetMessageSink), 1);
    EXPECT_EQ(SlotOf(&HostDialogRequest::GetFormat), 2);
    EXPECT_EQ(SlotOf(&HostDialogRequest::GetParentWindow), 3);
    EXPECT_EQ(SlotOf(&HostDialogRequest::SetCancelled), 4);
    EXPECT_EQ(SlotOf(&HostDialogRequest::GetDialogContext), 6);

    EXPECT_EQ(SlotOf(&HostWriteOpenRequest::GetMessageSink), 1);
    EXPECT_EQ(SlotOf(&HostWriteOpenRequest::GetPath), 2);
    EXPECT_EQ(SlotOf(&HostWriteOpenRequest::GetFormat), 4);
    EXPECT_EQ(SlotOf(&HostWriteOpenRequest::WriterAttempted), 5);
    EXPECT_EQ(SlotOf(&HostWriteOpenRequest::SetDescription), 7);
    EXPECT_EQ(SlotOf(&HostWriteOpenRequest::TakeWriteHandle), 9);

    EXPECT_EQ(SlotOf(&HostWriteRequest::GetMessageSink), 1);
    EXPECT_EQ(SlotOf(&HostWriteRequest::GetFrameCount), 3);
    EXPECT_EQ(SlotOf(&HostWriteRequest::GetChannelBuffer), 4);
    EXPECT_EQ(SlotOf(&HostWriteRequest::GetFormat), 5);

    EXPECT_EQ(SlotOf(&HostCloseRequest::GetMessageSink), 1);
    EXPECT_EQ(SlotOf(&HostCloseRequest::GetCloseFlag), 2);
    EXPECT_EQ(SlotOf(&HostCloseRequest::GetCloseValue), 3);

    EXPECT_EQ(SlotOf(&HostSelector4Request::GetMessageSink), 1);
    EXPECT_EQ(SlotOf(&HostSelector4Request::Notify), 6);
    EXPECT_EQ(SlotOf(&HostSelector8Request::Value1), 1);
    EXPECT_EQ(SlotOf(&HostSelector8Request::Value2), 2);
    EXPECT_EQ(SlotOf(&HostSelector8Request::Value3), 3);
    EXPECT_EQ(SlotOf(&HostSelector10Request::Value1), 1);
    EXPECT_EQ(SlotOf(&HostSelector10Request::Value2), 2);
    EXPECT_EQ(SlotOf(&HostSelector10Request::Value3), 3);
    EXPECT_EQ(SlotOf(&HostSelector10Request::Value4), 4);
}

// Placeholders fill every gap, so nothing after them shifts: each ReservedN is at slot N.
TEST(SlotPositions, PlaceholdersFillTheGaps) {
    EXPECT_EQ(SlotOf(&HostRegistrar::Reserved2), 2);
    EXPECT_EQ(SlotOf(&HostOpenRequest::Reserved3), 3);
    EXPECT_EQ(SlotOf(&HostOpenRequest::Reserved4), 4);
    EXPECT_EQ(SlotOf(&HostOpenRequest::Reserved6), 6);
    EXPECT_EQ(SlotOf(&HostOpenRequest::Reserved8), 8);
    for (auto [slot, expected] : {std::pair{SlotOf(&HostAudioFormat::Reserved10), 10},
                                  {SlotOf(&HostAudioFormat::Reserved11), 11},
                                  {SlotOf(&HostAudioFormat::Reserved12), 12},
                                  {SlotOf(&HostAudioFormat::Reserved16), 16},
                                  {SlotOf(&HostAudioFormat::Reserved18), 18},
                                  {SlotOf(&HostAudioFormat::Reserved19), 19},
                                  {SlotOf(&HostAudioFormat::Reserved20), 20},
                                  {SlotOf(&HostAudioFormat::Reserved21), 21},
                                  {SlotOf(&HostAudioFormat::Reserved22), 22},
                                  {SlotOf(&HostAudioFormat::Reserved23), 23},
                                  {SlotOf(&HostAudioFormat::Reserved24), 24}})
        EXPECT_EQ(slot, expected);
    EXPECT_EQ(SlotOf(&HostReadRequest::Reserved1), 1);
    EXPECT_EQ(SlotOf(&HostReadRequest::Reserved4), 4);
    EXPECT_EQ(SlotOf(&HostConformRequest::Reserved5), 5);
    EXPECT_EQ(SlotOf(&HostConformRequest::Reserved7), 7);
    EXPECT_EQ(SlotOf(&HostConformRequest::Reserved9), 9);
    EXPECT_EQ(SlotOf(&HostDialogRequest::Reserved5), 5);
    EXPECT_EQ(SlotOf(&HostWriteOpenRequest::Reserved3), 3);
    EXPECT_EQ(SlotOf(&HostWriteOpenRequest::Reserved6), 6);
    EXPECT_EQ(SlotOf(&HostWriteOpenRequest::Reserved8), 8);
    EXPECT_EQ(SlotOf(&HostWriteRequest::Reserved2), 2);
    EXPECT_EQ(SlotOf(&HostSelector4Request::Reserved2), 2);
    EXPECT_EQ(SlotOf(&HostSelector4Request::Reserved3), 3);
    EXPECT_EQ(SlotOf(&HostSelector4Request::Reserved4), 4);
    EXPECT_EQ(SlotOf(&HostSelector4Request::Reserved5), 5);
}

// The decoding above agrees with a real call: fetching a slot from an object's table and
// calling it, as the plug-in does, runs the operation named for that slot.
TEST(SlotPositions, CallingASlotRunsTheOperationAtThatPosition) {
    boundarytest::Log log;
    boundarytest::RecordingAudioFormat format(log);
    HostAudioFormat* object = &format;
    void** table = *reinterpret_cast<void***>(object);
    using SetInt = void (*)(HostAudioFormat*, int32_t);
    using GetLong = int64_t (*)(HostAudioFormat*);
    reinterpret_cast<SetInt>(table[SlotOf(&HostAudioFormat::SetChannelCount)])(object, 2);
    reinterpret_cast<SetInt>(table[7])(object, 3);
    format.length = 99;
    EXPECT_EQ(reinterpret_cast<GetLong>(table[26])(object), 99);
    EXPECT_EQ(log, (boundarytest::Log{"SetChannelCount(2)", "SetChannelCount(3)", "GetLength()"}));
}
} // namespace
