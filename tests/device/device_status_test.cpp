#include "device/device_status.h"

#include <gtest/gtest.h>

namespace orbisk {
namespace {

DevStatusBlock Block(uint8_t primary, uint8_t secondary) {
    DevStatusBlock b{};
    b[64] = primary;
    b[72] = secondary;
    return b;
}

TEST(DeviceStatusTest, SelectionRuleAndRunMode) {
    struct Case {
        uint8_t primary, secondary;
        bool secondary_chosen;
        uint8_t run_mode;
        int style;
    } const cases[] = {
        {0x01, 0x32, false, 1, 0},  // primary nibble set: primary wins
        {0x21, 0x00, false, 1, 1}, {0x33, 0x01, false, 3, 2},
        {0x30, 0x01, true, 1, 0},                              // primary nibble 0: secondary fields
        {0x00, 0x21, true, 1, 1},  {0x20, 0x0B, false, 0, 1},  // secondary 11 does not count
        {0x00, 0x30, false, 0, 0},                             // both 0: run mode 0
        {0x00, 0x37, true, 7, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.primary) << "/" << int(c.secondary));
        const SelectedStatus s = SelectStatus(Block(c.primary, c.secondary));
        EXPECT_EQ(s.secondary, c.secondary_chosen);
        EXPECT_EQ(s.run_mode, c.run_mode);
        EXPECT_EQ(s.version_style, c.style);
        EXPECT_EQ(RunsCode(Block(c.primary, c.secondary)), c.run_mode == 1);
    }
}

TEST(DeviceStatusTest, VersionTextsOfEachStyle) {
    DevStatusBlock b = Block(0x01, 0x00);
    b[4] = 0x34;
    b[5] = 0x12;
    b[67] = 0xA1;
    b[68] = 0x11, b[69] = 0x22;  // first word 0x2211
    b[70] = 0x78, b[71] = 0x56;  // second word 0x5678
    EXPECT_EQ(FirmwareVersionText(b, false, 0, 0), "0xA1-7856-1234");
    EXPECT_EQ(FirmwareVersionText(b, true, 0x4B3D, 0x113F), "0xA1-7856-1234-VID4B3D&&PID113F");
    EXPECT_EQ(SecondVersionText(b), "0xA1-1122-7856");

    // Secondary fields chosen: leading byte 75 and the words at 76 and 78.
    b[64] = 0x00;
    b[72] = 0x01;
    b[75] = 0xB2;
    b[76] = 0x01, b[77] = 0x02, b[78] = 0x03, b[79] = 0x04;
    EXPECT_EQ(FirmwareVersionText(b, false, 0, 0), "0xB2-0304-1234");
    EXPECT_EQ(SecondVersionText(b), "0xB2-0102-0304");

    b[72] = 0x21;  // style 1
    EXPECT_EQ(FirmwareVersionText(b, true, 0x1, 0x2), "0x0201-0403-VID0001&&PID0002");
    EXPECT_EQ(SecondVersionText(b), "");

    b[72] = 0x31;  // style 2
    b[79] = 0x5A;
    b[80] = 0xCD, b[81] = 0xAB;
    b[82] = 0x34, b[83] = 0x12;
    EXPECT_EQ(FirmwareVersionText(b, false, 0, 0), "5.A03.0201-1234.ABCD");
}

}  // namespace
}  // namespace orbisk
