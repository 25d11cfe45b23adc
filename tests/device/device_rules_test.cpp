#include "device/device_rules.h"

#include <gtest/gtest.h>

namespace orbisk {
namespace {

TEST(DeviceRulesTest, RomSubModeChoice) {
    struct Case {
        uint8_t options, reset_kind;
        int32_t lib_type, memory_type;
        uint8_t expected;
    } const cases[] = {
        {0x17, 6, 1, 3, 2},  // option 0x04 wins whatever the memory type
        {0x13, 5, 0, 0, 2},  // reset kind 5 as well
        {0x1B, 6, 1, 0, 1},  // large transfers through the kernel driver, serial flash
        {0x1B, 6, 1, 6, 0}, {0x1B, 6, 0, 0, 0}, {0x13, 6, 0, 3, 3},  // otherwise the memory type
        {0x13, 0, 1, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RomSubMode(c.options, c.reset_kind, c.lib_type, c.memory_type), c.expected);
}

TEST(DeviceRulesTest, VersionSkipComparesTheIdentityText) {
    EXPECT_TRUE(
        ImageMatchesCameraIdentity("VID_4B3D&PID_113F", "0a1b", "VID_4B3D&PID_113F&REV_0A1B"));
    EXPECT_FALSE(
        ImageMatchesCameraIdentity("VID_4B3D&PID_113F", "0a1c", "VID_4B3D&PID_113F&REV_0A1B"));
    EXPECT_FALSE(ImageMatchesCameraIdentity("", "", "VID_4B3D&PID_113F&REV_0A1B"));
}

TEST(DeviceRulesTest, DeviceInformationTexts) {
    EXPECT_EQ(CodeSignatureAddresses(8), std::vector<uint32_t>{0xF03E});
    EXPECT_EQ(CodeSignatureAddresses(20), (std::vector<uint32_t>{0xF03E, 0x1F03E}));
    EXPECT_EQ(CodeSignatureAddresses(6), std::vector<uint32_t>{0xE03E});
    EXPECT_TRUE(CodeSignatureAddresses(3).empty());
    EXPECT_EQ(MemoryName(0, 0x10000), "SPI_SF_MX25L512");
    EXPECT_EQ(MemoryName(0, 0x20000), "SPI_SF_MLX128");
    EXPECT_EQ(MemoryName(3, 0), "I2C_EEP_CAT24C64");
    EXPECT_EQ(MemoryName(5, 0), "N/A");
    EXPECT_EQ(UsbSpeedText(1, 0), "Usb Speed: Super Speed");
    EXPECT_EQ(UsbSpeedText(2, 1), "N/A");
    EXPECT_EQ(UsbSpeedText(0, 1), "Usb Speed: High Speed");
    EXPECT_EQ(UsbSpeedText(0, 2), "Usb Speed: Full Speed");
    EXPECT_TRUE(IsSpecialResetChip("ORV6099", 0));
    EXPECT_TRUE(IsSpecialResetChip("X", 0xF010));
    EXPECT_FALSE(IsSpecialResetChip("X", 0x3000));
}

}  // namespace
}  // namespace orbisk
