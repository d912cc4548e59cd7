// SPDX-License-Identifier: MIT
// The plug-in calls host operations by their position in the table of virtual operations, so
// each protocol class must put every operation at its documented position.
#include <gtest/gtest.h>

#include <cstring>

#include "RecordingHost.h"

namespace {
using namespace sova::sdk;

// On this ABI (Itanium C++) a pointer to a virtual member function holds its slot's byte
// offset plus one; -1 means not virtual.
template <class C, class M>
long SlotOf(M C::*method) {
    struct { uintptr_t pointer; ptrdiff_t adjustment; } raw;
    static_assert(sizeof method == sizeof raw);
    std::memcpy(&raw, &method, sizeof raw);
    if ((raw.pointer & 1) == 0 || raw.adjustment != 0) return -1;
    return static_cast<long>((raw.pointer - 1) / sizeof(void*));
}

// Polymorphic, no virtual destructor (it would take two slots), not destructible by the plug-in.
template <class... T>
constexpr bool kProtocolClasses =
    ((std::is_polymorphic_v<T> && !std::has_virtual_destructor_v<T> && !std::is_destructible_v<T>) && ...);
static_assert(kProtocolClasses<HostObject, HostRequest, HostMessageSink, HostRegistrar, HostOpenRequest,
                               HostAudioFormat, HostReadRequest, HostConformRequest, HostDialogRequest,
                               HostWriteOpenRequest, HostWriteRequest, HostCloseRequest, HostSelector4Request,
                               HostSelector8Request, HostSelector10Request>);

TEST(SlotPositions, EveryOperationSitsAtItsPosition) {
    // GetMessageSink is inherited from HostRequest, so its position holds in every request.
#define AT(Class, Operation, position) {SlotOf(&Class::Operation), position, #Class "::" #Operation}
    const struct { long slot; long position; const char* name; } table[] = {
        AT(HostObject, Reserved0, 0), AT(HostRequest, GetMessageSink, 1), AT(HostMessageSink, ShowMessage, 1),
        AT(HostRegistrar, Prepare, 1), AT(HostRegistrar, SetIdentity, 3), AT(HostRegistrar, AddFormat, 4),
        AT(HostRegistrar, AddFormatAgain, 5), AT(HostOpenRequest, GetPath, 2), AT(HostOpenRequest, TakeReadHandle, 5),
        AT(HostOpenRequest, SetStreamUsable, 7), AT(HostOpenRequest, SetDescription, 9),
        AT(HostAudioFormat, GetSampleRate, 2), AT(HostAudioFormat, SetSampleRate, 3),
        AT(HostAudioFormat, GetSampleFormat, 4), AT(HostAudioFormat, SetSampleFormat, 5),
        AT(HostAudioFormat, GetChannelCount, 6), AT(HostAudioFormat, SetChannelCount, 7),
        AT(HostAudioFormat, GetChannelType, 8), AT(HostAudioFormat, SetChannelType, 9),
        AT(HostAudioFormat, GetSettingsText, 13), AT(HostAudioFormat, SetSettingsText, 14),
        AT(HostAudioFormat, SetMimeType, 15), AT(HostAudioFormat, SetTypeCode, 17),
        AT(HostAudioFormat, SetLength, 25), AT(HostAudioFormat, GetLength, 26), AT(HostReadRequest, GetFrameCount, 2),
        AT(HostReadRequest, GetChannelBuffer, 3), AT(HostReadRequest, SetFramesDone, 5),
        AT(HostReadRequest, SetLength, 6), AT(HostConformRequest, GetFormat, 2),
        AT(HostConformRequest, AllowsAdjustment, 3), AT(HostConformRequest, SetEstimatedSize, 4),
        AT(HostConformRequest, BeginConform, 6), AT(HostConformRequest, BeginDescribe, 8),
        AT(HostConformRequest, SetDescription, 10), AT(HostDialogRequest, GetFormat, 2),
        AT(HostDialogRequest, GetParentWindow, 3), AT(HostDialogRequest, SetCancelled, 4),
        AT(HostDialogRequest, GetDialogContext, 6), AT(HostWriteOpenRequest, GetPath, 2),
        AT(HostWriteOpenRequest, GetFormat, 4), AT(HostWriteOpenRequest, WriterAttempted, 5),
        AT(HostWriteOpenRequest, SetDescription, 7), AT(HostWriteOpenRequest, TakeWriteHandle, 9),
        AT(HostWriteRequest, GetFrameCount, 3), AT(HostWriteRequest, GetChannelBuffer, 4),
        AT(HostWriteRequest, GetFormat, 5), AT(HostCloseRequest, GetCloseFlag, 2),
        AT(HostCloseRequest, GetCloseValue, 3), AT(HostSelector4Request, Notify, 6),
        AT(HostSelector8Request, Value1, 1), AT(HostSelector8Request, Value2, 2), AT(HostSelector8Request, Value3, 3),
        AT(HostSelector10Request, Value1, 1), AT(HostSelector10Request, Value2, 2),
        AT(HostSelector10Request, Value3, 3), AT(HostSelector10Request, Value4, 4),
    };
#undef AT
    for (const auto& entry : table) EXPECT_EQ(entry.slot, entry.position) << entry.name;

    // The decoding agrees with a real call: slot 26 of a format, called as the plug-in calls it.
    boundarytest::Log log;
    boundarytest::RecordingAudioFormat format(log);
    HostAudioFormat* object = &format;
    format.length = 99;
    EXPECT_EQ(reinterpret_cast<int64_t (*)(HostAudioFormat*)>((*reinterpret_cast<void***>(object))[26])(object), 99);
    EXPECT_EQ(log, boundarytest::Log{"GetLength()"});
}
} // namespace
