#include "device/register_sequences.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "base/process.h"

namespace orbisk {
namespace {

// A register file that records every write and can refuse an address.
class FakeRegisters : public RegisterPort {
  public:
    bool ReadRegs(uint32_t address, uint32_t length, uint8_t* out) override {
        for (uint32_t i = 0; i < length; ++i) {
            if (address + i == fail_at) return false;
            if (address + i == 0xFF24 && ++ff24_reads > ff24_ready_after) regs[0xFF24] |= 0x08;
            out[i] = regs[address + i];
        }
        return true;
    }
    bool WriteRegs(uint32_t address, uint32_t length, const uint8_t* data) override {
        if (address == fail_at) return false;
        for (uint32_t i = 0; i < length; ++i) {
            regs[address + i] = data[i];
            writes.push_back({address + i, data[i]});
        }
        return true;
    }
    void SetChip(uint8_t b0, uint8_t b1) {
        regs[0xFE21] = b0;
        regs[0xFE22] = b1;
    }
    std::map<uint32_t, uint8_t> regs;
    std::vector<std::pair<uint32_t, uint8_t>> writes;
    uint32_t fail_at = 0;
    int ff24_reads = 0;
    int ff24_ready_after = 1 << 30;
};

using Writes = std::vector<std::pair<uint32_t, uint8_t>>;

TEST(RegisterSequencesTest, WriteProtectPinsByChipGroup) {
    struct Case {
        uint16_t chip;
        bool enable;
        Writes expected;
    } const cases[] = {
        {0x6010, false, {{0xFEA0, 0x81}, {0xFEA6, 0x81}, {0xFEA1, 0x8C}, {0xFEA7, 0x8C}}},
        {0xD000, false, {{0xFEA0, 0x81}, {0xFEA6, 0x81}, {0xFEA1, 0x84}, {0xFEA7, 0x84}}},
        {0xE010, false, {{0xFEA0, 0x81}, {0xFEA6, 0x81}, {0xFF9C, 0x85}}},
        {0x0020, false, {{0xFEA0, 0x81}, {0xFEA6, 0x81}, {0xFF9C, 0x85}}},
        {0x1234, false, {{0xFEA0, 0x81}, {0xFEA6, 0x81}}},
        {0x9010, true, {{0xFEA0, 0x81}, {0xFEA6, 0x80}, {0xFEA1, 0x84}, {0xFEA7, 0x81}}},
        {0xE010, true, {{0xFEA0, 0x81}, {0xFEA6, 0x80}, {0xFF9C, 0x80}}},
        {0x0020, true, {{0xFEA0, 0x81}, {0xFEA6, 0x80}}},  // no 0xFF9C when locking
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.chip << " enable " << c.enable);
        FakeRegisters regs;
        // Old values that show every OR and AND of the sequences.
        regs.regs = {
            {0xFEA0, 0x80}, {0xFEA6, 0x80}, {0xFEA1, 0x80}, {0xFEA7, 0x80}, {0xFF9C, 0x80}};
        if (c.enable) regs.regs[0xFEA6] = 0x81, regs.regs[0xFEA7] = 0x85, regs.regs[0xFF9C] = 0x85;
        ASSERT_TRUE(SetWriteProtectPins(regs, c.chip, c.enable));
        EXPECT_EQ(regs.writes, c.expected);
    }
}

TEST(RegisterSequencesTest, WriteProtectFailsOnAnyRegisterAccess) {
    for (uint32_t bad : {0xFEA0u, 0xFEA7u}) {
        FakeRegisters regs;
        regs.fail_at = bad;
        EXPECT_FALSE(SetWriteProtectPins(regs, 0x6010, false));
    }
}

struct FastDownloadSequenceTest : testing::Test {
    VirtualClock clock;
    Logger logger{clock, nullptr};
    Process process{clock, logger};
    LogScope scope{logger, "test"};
    FakeRegisters regs;
};

TEST_F(FastDownloadSequenceTest, Accelerate6644) {
    regs.SetChip(0x11, 0x60);  // chip 0x6011: not a 6644 part
    EXPECT_TRUE(Accelerate6644(regs, process, scope));
    EXPECT_TRUE(regs.writes.empty());

    regs.SetChip(0x01, 0x60);
    regs.regs[0xFE84] = 0x10;  // already accelerated
    EXPECT_TRUE(Accelerate6644(regs, process, scope));
    EXPECT_TRUE(regs.writes.empty());

    regs.regs[0xFE84] = 0x00;
    regs.ff24_ready_after = 3;  // the third poll shows bit 3
    EXPECT_TRUE(Accelerate6644(regs, process, scope));
    const Writes expected = {{0xFF21, 0x09}, {0xFF20, 0xEF}, {0xFF21, 0x39}, {0xFF22, 0x5E},
                             {0xFF23, 0x00}, {0xFF24, 0x01}, {0xFF25, 0x00}, {0xFF26, 0x7A},
                             {0xFF27, 0x43}, {0xFF24, 0x07}, {0xFEBA, 0x01}, {0xFE83, 0x01},
                             {0xFE84, 0x10}};
    EXPECT_EQ(regs.writes, expected);
    EXPECT_EQ(clock.now_ms(), 2u * 50);  // two polls without the bit
}

TEST_F(FastDownloadSequenceTest, Accelerate6644PollIsBounded) {
    regs.SetChip(0x02, 0x60);
    EXPECT_FALSE(Accelerate6644(regs, process, scope));
    EXPECT_EQ(clock.now_ms(), uint64_t{kAccelerate6644Polls} * 50);
    EXPECT_NE(regs.writes.back().first, 0xFE84u);
}

TEST_F(FastDownloadSequenceTest, Accelerate6521AndPrepare) {
    regs.SetChip(0x00, 0x10);  // 0x1000
    EXPECT_TRUE(Accelerate6521(regs));
    EXPECT_TRUE(Prepare6521Erase(regs));
    EXPECT_TRUE(regs.writes.empty());

    regs.SetChip(0x13, 0x1F);  // masked 0x1010
    ASSERT_TRUE(Accelerate6521(regs));
    ASSERT_EQ(regs.writes.size(), 13u);
    EXPECT_EQ(regs.writes[10], (std::pair<uint32_t, uint8_t>{0xFECF, 0x0B}));
    EXPECT_EQ(regs.writes[12], (std::pair<uint32_t, uint8_t>{0xFE84, 0x10}));
    regs.writes.clear();
    EXPECT_TRUE(Accelerate6521(regs));  // 0xFE84 now has 0x10: only the first block again
    EXPECT_EQ(regs.writes.size(), 11u);

    regs.writes.clear();
    EXPECT_TRUE(Prepare6521Erase(regs));
    EXPECT_EQ(regs.writes, (Writes{{0xFEBA, 0x00}}));
    regs.fail_at = 0xFEBA;
    EXPECT_FALSE(Prepare6521Erase(regs));
}

}  // namespace
}  // namespace orbisk
