// The interface object's twenty operations keep the order of their table: the destructor
// first (two slots on this ABI: complete and deleting), then selector order, CloseReader
// between HandleSelector11 and GetPreferredWriteFormat, nothing for selector 16.
#include <gtest/gtest.h>

#include "VtableSlot.h"
#include "interface/SovaInterfaceTemplate.h"

namespace {
struct AnyReader;
struct AnyWriter;
using Template = SovaInterfaceTemplate<AnyReader, AnyWriter>;
using boundarytest::SlotOf;

TEST(InterfaceTemplate, OperationsKeepTheirTableOrder) {
    const long slots[] = {
        SlotOf(&Template::DescribePlugIn),   SlotOf(&Template::Startup),
        SlotOf(&Template::Shutdown),         SlotOf(&Template::HandleSelector3),
        SlotOf(&Template::HandleSelector4),  SlotOf(&Template::OpenForRead),
        SlotOf(&Template::GetReadFormat),    SlotOf(&Template::ReadSamples),
        SlotOf(&Template::HandleSelector8),  SlotOf(&Template::HandleSelector9),
        SlotOf(&Template::HandleSelector10), SlotOf(&Template::HandleSelector11),
        SlotOf(&Template::CloseReader),      SlotOf(&Template::GetPreferredWriteFormat),
        SlotOf(&Template::ConformWriteFormat), SlotOf(&Template::ShowSettingsDialog),
        SlotOf(&Template::OpenForWrite),     SlotOf(&Template::WriteSamples),
        SlotOf(&Template::CloseWriter),
    };
    for (long order = 1; order <= 19; ++order) EXPECT_EQ(slots[order - 1], order + 1) << "operation " << order;
    static_assert(std::has_virtual_destructor_v<Template>);
}
} // namespace
