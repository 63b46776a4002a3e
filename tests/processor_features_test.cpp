// The display family and model that the measuring tools print, from CPUID 1's EAX.
#include <gtest/gtest.h>

#include "bench/processor_signature.h"

namespace {

TEST(ProcessorFeatures, FamilyAndModelAddTheExtendedFieldsWhereVendorsDo)
{
    // CPUID 1 EAX; family, model.
    const struct {
        const char* processor;
        uint32_t signature;
        uint32_t family;
        uint32_t model;
    } table[] = {
        {"Zen 5, EPYC 9005", 0x00B00F21, 0x1A, 0x02},
        {"Zen 4, EPYC 9004", 0x00A10F11, 0x19, 0x11},
        {"Zen 3", 0x00A20F10, 0x19, 0x21},
        {"Sapphire Rapids", 0x000806F8, 6, 0x8F},
        {"Rocket Lake", 0x000A0671, 6, 0xA7},
        {"Alder Lake", 0x00090672, 6, 0x97},
        {"Knights Landing", 0x00050671, 6, 0x57},
        {"Pentium 4 (family 0Fh, no extended model)", 0x00000F29, 0xF, 0x2},
        {"Pentium (family 5: the extended model is not added)", 0x00010543, 5, 0x4},
    };
    for (const auto& row : table) {
        const ProcessorFeatures cpu{row.signature, false, false, 0, false, false};
        EXPECT_EQ(row.family, ProcessorFamily(cpu)) << row.processor;
        EXPECT_EQ(row.model, ProcessorModel(cpu)) << row.processor;
    }
}

}  // namespace
