// The simulated MIPI bridge on its own: its mailboxes are as strict as a real part's, so a host
// that does not wait for a mailbox, or writes a block out of order, fails.
#include "sim/sim_bridge.h"

#include <gtest/gtest.h>

#include <vector>

#include "sim/sim_settings.h"
#include "support/table_row.h"

namespace orbisk::sim {
namespace {

constexpr uint16_t kMailbox1 = 0x9D00;  // bit 15: "more pieces follow"
constexpr uint16_t kMailbox2 = 0x9E08;
constexpr uint64_t kMs = 1000;

BridgeSettings Settings(bool complete = false) {
    BridgeSettings s;
    s.present = true;
    s.complete = complete;
    s.flash_status = 0x00;
    s.timing.page_program_us = 3000;
    return s;
}

std::vector<uint8_t> ProgramBlock(uint32_t address, uint8_t fill, size_t length = 256) {
    std::vector<uint8_t> block = {0x01,
                                  0xC2,
                                  0,
                                  static_cast<uint8_t>(address >> 16 & 1),
                                  static_cast<uint8_t>(address >> 8),
                                  static_cast<uint8_t>(address),
                                  static_cast<uint8_t>(length >> 8),
                                  static_cast<uint8_t>(length)};
    block.resize(8 + length, fill);
    return block;
}

// A block sent as the host sends it: pieces of 64 bytes, bit 15 on every piece but the last.
bool Send(SimBridge& bridge, uint64_t at, uint16_t reg, const std::vector<uint8_t>& block) {
    size_t done = 0;
    while (block.size() - done > 64) {
        if (!bridge.Write(at, reg, block.data() + done, 64)) return false;
        reg = static_cast<uint16_t>(reg + 64);
        done += 64;
    }
    return bridge.Write(at, static_cast<uint16_t>(reg & 0x7FFF), block.data() + done,
                        block.size() - done);
}

uint8_t Status(SimBridge& bridge, uint64_t at, int mailbox) {
    uint8_t status = 0xEE;
    EXPECT_TRUE(bridge.Read(at, static_cast<uint16_t>(0x0200 + mailbox), &status, 1));
    return status;
}

TEST(SimBridgeTest, ABusyMailboxTakesNoWriteAndItsReplyLandsOnlyWhenDone) {
    SimBridge bridge(Settings(), {});
    ASSERT_TRUE(Send(bridge, 0, kMailbox1, ProgramBlock(0, 0x11)));
    EXPECT_EQ(Status(bridge, 10, 0), 0x01);
    // A host that does not wait: the bridge does not acknowledge the next block.
    EXPECT_FALSE(Send(bridge, 10, kMailbox1, ProgramBlock(256, 0x22)));
    // The other mailbox takes it; it programs after the first one.
    EXPECT_TRUE(Send(bridge, 10, kMailbox2, ProgramBlock(256, 0x22)));
    EXPECT_EQ(Status(bridge, 3 * kMs + 40, 0), 0x00);
    EXPECT_EQ(Status(bridge, 3 * kMs + 40, 1), 0x01);
    EXPECT_EQ(Status(bridge, 6 * kMs + 100, 1), 0x00);
    const std::vector<uint8_t> flash = bridge.Flash(7 * kMs);
    EXPECT_EQ(flash[0], 0x11);
    EXPECT_EQ(flash[256], 0x22);

    // A read's reply: what the mailbox held until the read is done.
    const std::vector<uint8_t> read = {0x01, 0x82, 0, 0, 0x01, 0x00, 0x00, 0x04};
    ASSERT_TRUE(Send(bridge, 8 * kMs, kMailbox1, read));
    uint8_t early[4] = {};
    ASSERT_TRUE(bridge.Read(8 * kMs, 0x9D08, early, 4));
    EXPECT_NE(early[0], 0x22);
    uint8_t late[4] = {};
    ASSERT_TRUE(bridge.Read(9 * kMs, 0x9D08, late, 4));
    EXPECT_EQ(late[0], 0x22);
}

TEST(SimBridgeTest, ABlockRunsOnlyWithItsLastPieceAndItsPiecesInOrder) {
    SimBridge bridge(Settings(), {});
    const std::vector<uint8_t> block = ProgramBlock(0, 0x00);
    // Every piece with bit 15 set: the bridge waits for more and runs nothing.
    for (size_t done = 0; done < block.size(); done += 64) {
        const size_t n = std::min<size_t>(64, block.size() - done);
        ASSERT_TRUE(
            bridge.Write(0, static_cast<uint16_t>(kMailbox1 + done), block.data() + done, n));
    }
    EXPECT_EQ(Status(bridge, 10 * kMs, 0), 0x00);
    EXPECT_TRUE(bridge.History().empty());
    // A piece that skips ahead is refused.
    ASSERT_TRUE(bridge.Write(0, kMailbox1, block.data(), 64));
    EXPECT_FALSE(bridge.Write(0, kMailbox1 + 128, block.data() + 128, 64));
    // Cleared too early, bit 15 ends a block that is too short: error 1 (length).
    ASSERT_TRUE(bridge.Write(20 * kMs, kMailbox1 & 0x7FFF, block.data(), 64));
    EXPECT_EQ(Status(bridge, 21 * kMs, 0), (1 << 2) | 0x02);
}

TEST(SimBridgeTest, ErrorCodesOfBadCommands) {
    struct Case {
        std::vector<uint8_t> block;
        uint8_t code;
    };
    const std::vector<Case> cases = {
        {{0x01, 0x82, 0, 0, 0, 0, 0x01, 0x01}, 5},  // a read longer than the reply area
        {{0x01, 0x55, 0, 0, 0, 0, 0, 0}, 4},        // an unknown sub-command
        {{0x42, 0x00, 0, 0, 0, 0, 0, 0}, 2},        // an unknown command
        {{0x05, 0x84, 4, 0, 0, 0, 0, 8}, 5},        // information part 4 of 0..3
    };
    uint64_t at = 0;
    for (const Case& c : cases) {
        TRACE_ROW(cases, c);
        SimBridge bridge(Settings(), {});
        ASSERT_TRUE(Send(bridge, at, kMailbox1, c.block));
        EXPECT_EQ(Status(bridge, at + kMs, 0), (c.code << 2) | 0x02);
    }
}

TEST(SimBridgeTest, ModeRestartAndPower) {
    SimBridge bridge(Settings(true), {});
    uint8_t mode = 0;
    ASSERT_TRUE(bridge.Read(0, 0x000C, &mode, 1));
    EXPECT_EQ(mode, 0x32);  // a revision nibble above the mode
    // Into the boot ROM: acknowledged, then the bridge restarts and does not answer meanwhile.
    ASSERT_TRUE(Send(bridge, 0, kMailbox1, {0x05, 0x07, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Status(bridge, 100, 0), 0x00);
    EXPECT_FALSE(bridge.Read(5 * kMs, 0x000C, &mode, 1));
    EXPECT_EQ(bridge.Mode(5 * kMs), 0);
    EXPECT_EQ(bridge.Mode(40 * kMs), 1);
    // The whole-flash erase undoes the completion: restarted into its code, it stays in ROM.
    ASSERT_TRUE(Send(bridge, 40 * kMs, kMailbox1, {0x01, 0x07, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(Send(bridge, 2000 * kMs, kMailbox1, {0x05, 0x08, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(bridge.Mode(2100 * kMs), 1);
    ASSERT_TRUE(Send(bridge, 2100 * kMs, kMailbox1, {0x01, 0x09, 0, 0, 0, 0, 0, 0}));
    // Powered down it answers nothing; powered up it starts the completed code.
    bridge.SetPowered(2200 * kMs, false);
    EXPECT_FALSE(bridge.Read(2200 * kMs, 0x000C, &mode, 1));
    bridge.SetPowered(2300 * kMs, true);
    EXPECT_EQ(bridge.Mode(2310 * kMs), 0);
    EXPECT_EQ(bridge.Mode(2400 * kMs), 2);
}

TEST(SimBridgeTest, ALockedFlashIgnoresWorkAndTakesAStatusOnlyWithThePinHigh) {
    BridgeSettings settings = Settings(false);
    settings.flash_status = 0x8C;
    SimBridge bridge(settings, {});
    uint64_t at = 0;
    auto run = [&](const std::vector<uint8_t>& block) {
        ASSERT_TRUE(Send(bridge, at, kMailbox1, block));
        at += 100 * kMs;
        EXPECT_EQ(Status(bridge, at, 0), 0x00);
    };
    run(ProgramBlock(0, 0x00));
    EXPECT_EQ(bridge.Flash(at)[0], 0xFF);
    run({0x01, 0xC6, 0, 0, 0, 0, 0, 1, 0x00});  // pin low: the write-disable bit holds
    EXPECT_EQ(bridge.Snapshot(at).flash_status, 0x8C);
    run({0x81, 1, 0xFE, 0xA0, 0x01});
    run({0x81, 1, 0xFE, 0xA6, 0x01});
    run({0x01, 0xC6, 0, 0, 0, 0, 0, 1, 0x00});
    EXPECT_EQ(bridge.Snapshot(at).flash_status, 0x00);
    run(ProgramBlock(0, 0x00));
    EXPECT_EQ(bridge.Flash(at)[0], 0x00);
}

TEST(SimBridgeTest, SettingsAreCheckedWhenRead) {
    struct Case {
        std::vector<std::pair<const char*, const char*>> keys;
        const char* error;  // nullptr: valid
    };
    const std::vector<Case> cases = {
        {{{"Camera.Profile", "ORV7608"}, {"Bridge.Present", "1"}}, nullptr},
        {{{"Camera.Profile", "ORV6363"}, {"Bridge.Present", "1"}}, "has no MIPI bridge"},
        {{{"Camera.Profile", "ORV7608"}, {"Bridge.Present", "1"}, {"Camera.Generation", "v2"}},
         "xu or v1"},
        {{{"Camera.Profile", "ORV7608"}, {"Bridge.Present", "1"}, {"Bridge.I2cKhz", "-4"}},
         "Bridge.I2cKhz"},
        {{{"Camera.Profile", "ORV7608"}, {"Bridge.Signature", "usb"}}, "Signature"},
        {{{"Camera.Profile", "ORV7608"}, {"Faults.BridgeFailCode", "64"}}, "BridgeFailCode"},
    };
    for (const Case& c : cases) {
        TRACE_ROW(cases, c);
        CIniFile ini;
        for (const auto& [key, value] : c.keys) {
            const std::string k = key;
            ini.SetValue(k.substr(0, k.find('.')), k.substr(k.find('.') + 1), value);
        }
        SimSettings settings;
        std::string error;
        const bool ok = settings.Load(ini, &error);
        EXPECT_EQ(ok, c.error == nullptr) << error;
        if (c.error) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
        if (ok) {
            CIniFile saved;
            settings.Save(&saved);
            SimSettings again;
            ASSERT_TRUE(again.Load(saved, &error)) << error;
            EXPECT_EQ(again.bridge.present, settings.bridge.present);
        }
    }
}

}  // namespace
}  // namespace orbisk::sim
