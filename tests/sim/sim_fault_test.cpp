// Injected faults of the simulated camera.
#include <gtest/gtest.h>

#include <cerrno>

#include "sim/sim_fixture.h"

namespace orbisk::sim::test {
namespace {

const HResult kStall = ResultFromErrno(EPIPE);

SimSettings WithFaults(const Faults& faults) {
    SimSettings settings;
    settings.faults = faults;
    return settings;
}

// Results of five status reads in a row.
std::vector<HResult> FiveTransfers(Rig& rig) {
    std::vector<HResult> results;
    uint8_t block[8];
    for (int i = 0; i < 5; ++i) results.push_back(rig.GetCur(kCommandControl, block, 8));
    return results;
}

TEST(SimFaults, FailingTransfers) {
    const HResult kTimedOut = ResultFromErrno(ETIMEDOUT);
    struct Case {
        const char* what;
        Faults faults;
        std::vector<HResult> expected;
    };
    Faults once;
    once.fail_transfer = 2;
    Faults from;
    from.fail_from = 4;
    Faults timed_out = once;
    timed_out.fail_errno = "ETIMEDOUT";
    Faults unplug;
    unplug.disconnect_at = 3;
    const std::vector<Case> cases = {
        {"once", once, {kOk, kStall, kOk, kOk, kOk}},
        {"from the 4th on", from, {kOk, kOk, kOk, kStall, kStall}},
        {"time-out", timed_out, {kOk, kTimedOut, kOk, kOk, kOk}},
        {"disconnect", unplug, {kOk, kOk, kDeviceGone, kDeviceGone, kDeviceGone}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(WithFaults(c.faults));
        EXPECT_EQ(FiveTransfers(rig), c.expected);
    }
    // An unplugged camera does not come back.
    Rig rig(WithFaults(unplug));
    FiveTransfers(rig);
    EXPECT_TRUE(rig.bus.List().empty());
    EXPECT_FALSE(rig.Reopen());
}

TEST(SimFaults, FailedTransferLeavesTheDeviceStateAlone) {
    // The failed packet never reached the camera: after the host's abort a retry succeeds.
    Faults faults;
    faults.fail_transfer = 3;  // the second data packet
    Rig rig(WithFaults(faults));
    ASSERT_EQ(rig.Command(0x00, 0xC2, 0x8000, 16), kOk);
    uint8_t packet[8];
    ASSERT_EQ(rig.GetCur(kDataControl, packet, 8), kOk);
    EXPECT_EQ(rig.GetCur(kDataControl, packet, 8), kStall);
    EXPECT_EQ(rig.Status(), kStsDataIn);
    ASSERT_EQ(rig.Command(0xFF, 0), kOk);
    uint8_t data[16];
    EXPECT_EQ(rig.ReadMem(0x8000, 16, data), kOk);
}

TEST(SimFaults, MemoryLies) {
    Faults stuck;
    stuck.stuck_bit = true;
    stuck.stuck_address = 0x100;
    stuck.stuck_mask = 0x10;
    stuck.stuck_value = true;
    {
        Rig rig(WithFaults(stuck));
        ASSERT_EQ(rig.FlashWrite(0x100, {0x00}), kOk);
        uint8_t value = 0;
        ASSERT_EQ(rig.FlashRead(0x100, 1, &value), kOk);
        EXPECT_EQ(value, 0x10);
    }
    Faults drop_second;
    drop_second.drop_write = 2;
    Faults drop_all;
    drop_all.drop_all_writes = true;
    for (const Faults& faults : {drop_second, drop_all}) {
        Rig rig(WithFaults(faults));
        ASSERT_EQ(rig.FlashWrite(0x000, {0x01}), kOk);
        ASSERT_EQ(rig.FlashWrite(0x100, {0x02}), kOk);
        ASSERT_EQ(rig.FlashWrite(0x200, {0x03}), kOk);
        ASSERT_TRUE(rig.WaitWhileBusy());
        const auto memory = rig.camera->Memory();
        EXPECT_EQ(memory[0x000], faults.drop_all_writes ? 0xFF : 0x01);
        EXPECT_EQ(memory[0x100], 0xFF);
        EXPECT_EQ(memory[0x200], faults.drop_all_writes ? 0xFF : 0x03);
    }
}

TEST(SimFaults, BusyBitThatNeverClears) {
    Faults faults;
    faults.busy_stuck = true;
    // A serial flash shows the busy bit for ever and ignores what it is sent.
    Rig rig(WithFaults(faults), BuildImage());
    EXPECT_EQ(rig.ReadSr() & 1, 1);
    rig.clock.sleep_ms(60000);
    EXPECT_EQ(rig.ReadSr() & 1, 1);
    EXPECT_EQ(rig.Command(0x02, 0x04), kOk);
    EXPECT_EQ(rig.FlashWrite(0x0000, {0x00}), kOk);
    EXPECT_EQ(rig.camera->Memory(), BuildImage());
    // A NOR controller waits for its part itself, and gives up with a hardware error.
    SimSettings nor = WithFaults(faults);
    nor.memory = MemoryKind::kNorFlash;
    nor.memory_size = 0x10000;
    Rig nor_rig(nor);
    EXPECT_EQ(nor_rig.Command(0x00, 0x04), kStall);
    EXPECT_EQ(nor_rig.Status(), kStsHwErr);
}

TEST(SimFaults, WrongQualifyReply) {
    Faults faults;
    faults.bad_qualify = true;
    Rig rig(WithFaults(faults));
    uint8_t reply[8] = {};
    ASSERT_EQ(rig.In(0x00, 0xD0, 0, 8, 0, reply, 8), kOk);
    EXPECT_EQ(0, std::memcmp(reply, "ZORVINE", 7));
    EXPECT_NE(reply[7], 0);
}

TEST(SimFaults, ResetAfterWhichTheCameraDoesNotComeBack) {
    Faults faults;
    faults.no_return = true;
    Rig rig(WithFaults(faults), BuildImage());
    ASSERT_EQ(rig.Command(0x00, 0x09), kOk);
    EXPECT_FALSE(rig.Reopen());
    EXPECT_TRUE(rig.bus.List().empty());
}

}  // namespace
}  // namespace orbisk::sim::test
