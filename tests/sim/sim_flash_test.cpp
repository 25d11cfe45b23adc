// Serial and NOR flash of the simulated camera, through the extension unit.
#include <gtest/gtest.h>

#include <cerrno>

#include "sim/sim_fixture.h"

namespace orbisk::sim::test {
namespace {

const HResult kStall = ResultFromErrno(EPIPE);

std::vector<uint8_t> Read(Rig& rig, uint32_t address, uint16_t n) {
    std::vector<uint8_t> out(n);
    EXPECT_EQ(rig.FlashRead(address, n, out.data()), kOk);
    return out;
}

TEST(SimFlash, ProgrammingClearsBitsAndEraseSetsThem) {
    Rig rig;
    ASSERT_EQ(rig.FlashWrite(0x1000, {0xF0, 0x3C}), kOk);
    ASSERT_EQ(rig.FlashWrite(0x1000, {0x0F, 0xFF}), kOk);
    EXPECT_EQ(Read(rig, 0x1000, 2), (std::vector<uint8_t>{0x00, 0x3C}));

    // A sector erase clears the whole 4 KB sector that holds the address, and nothing else.
    ASSERT_EQ(rig.FlashWrite(0x2000, {0x11}), kOk);
    ASSERT_EQ(rig.Command(0x02, 0x05, 0x1800, 0, 0), kOk);
    ASSERT_TRUE(rig.WaitWhileBusy());
    EXPECT_EQ(Read(rig, 0x1000, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
    EXPECT_EQ(Read(rig, 0x2000, 1), std::vector<uint8_t>{0x11});

    // Addresses above 64 KB travel in p3.
    ASSERT_EQ(rig.FlashWrite(0x1F000, {0xA5}), kOk);
    ASSERT_TRUE(rig.WaitWhileBusy());
    EXPECT_EQ(rig.camera->Memory()[0x1F000], 0xA5);
    EXPECT_EQ(Read(rig, 0x1F000, 1), std::vector<uint8_t>{0xA5});

    ASSERT_EQ(rig.Command(0x02, 0x04), kOk);
    ASSERT_TRUE(rig.WaitWhileBusy());
    const auto memory = rig.camera->Memory();
    EXPECT_EQ(std::count(memory.begin(), memory.end(), 0xFF), 0x20000);

    ASSERT_EQ(rig.Command(0x02, 0x13), kOk);  // the tag at the profile's tag address
    EXPECT_EQ(Read(rig, 0x0FFE, 2), (std::vector<uint8_t>{0x55, 0xAA}));
}

TEST(SimFlash, ProtectionIgnoresProgramAndEraseSilently) {
    // Status 0x8C (write-disable, BP1, BP0) as the tool leaves it, pin not driven.
    SimSettings settings;
    settings.flash_status = 0x8C;
    Rig rig(settings, BuildImage());
    EXPECT_EQ(rig.ReadSr(), 0x8C);
    // Pin low: the status register cannot be written.
    ASSERT_EQ(rig.WriteSr(0x00), kOk);
    EXPECT_EQ(rig.ReadSr(), 0x8C);
    // Protected: acknowledged, nothing changes, and the part does not even get busy.
    ASSERT_EQ(rig.FlashWrite(0x0000, {0x00}), kOk);
    ASSERT_EQ(rig.Command(0x02, 0x04), kOk);
    ASSERT_EQ(rig.Command(0x02, 0x05, 0x1000, 0, 0), kOk);
    EXPECT_EQ(rig.ReadSr(), 0x8C);
    EXPECT_EQ(rig.camera->Memory(), BuildImage());

    // Pin released: the status write goes through; the old value holds until it is done.
    ASSERT_EQ(rig.ReleaseWpPin(), kOk);
    ASSERT_EQ(rig.WriteSr(0x00), kOk);
    EXPECT_EQ(rig.ReadSr(), 0x8D);
    rig.clock.sleep_ms(10);
    EXPECT_EQ(rig.ReadSr(), 0x00);
    ASSERT_EQ(rig.FlashWrite(0x0000, {0x00}), kOk);
    ASSERT_TRUE(rig.WaitWhileBusy());
    EXPECT_EQ(rig.camera->Memory()[0], 0x00);

    // Protection bits without the write-disable bit: the register is writable, the array not.
    ASSERT_EQ(rig.WriteSr(0x0C), kOk);
    ASSERT_TRUE(rig.WaitWhileBusy());
    ASSERT_EQ(rig.FlashWrite(0x0001, {0x00}), kOk);
    ASSERT_TRUE(rig.WaitWhileBusy());
    EXPECT_EQ(rig.camera->Memory()[1], BuildImage()[1]);
}

TEST(SimFlash, WriteProtectPinFollowsTheChipFamily) {
    // Each family's pin is released by its own registers only: with any one of them missing,
    // or another family's set, a locked flash keeps its status register.
    using Writes = std::vector<std::pair<uint16_t, uint8_t>>;
    const Writes gpio0 = {{0xFEA0, 0x01}, {0xFEA6, 0x01}};
    const Writes gpio1 = {{0xFEA1, 0x04}, {0xFEA7, 0x04}};
    const Writes gpio1_pair = {{0xFEA1, 0x0C}, {0xFEA7, 0x0C}};
    const Writes routed = {{0xFEA0, 0x01}, {0xFEA6, 0x01}, {0xFF9C, 0x05}};
    struct Case {
        const char* profile;
        Writes writes;
        bool released;
    };
    const Case cases[] = {
        {"ORV6363", gpio0, true},
        {"ORV6363", gpio1_pair, false},
        {"ORV6363", {{0xFEA0, 0x01}}, false},
        {"ORV7054", gpio1_pair, true},
        {"ORV7054", gpio1, false},
        {"ORV7054", gpio0, false},
        {"ORV7192", gpio1_pair, true},
        {"ORV7507", gpio1, true},
        {"ORV7507", gpio0, false},
        {"ORV7507", {{0xFEA1, 0x04}}, false},
        {"ORV7971", routed, true},
        {"ORV7971", gpio0, false},
        {"ORV7971", {{0xFEA0, 0x01}, {0xFEA6, 0x01}, {0xFF9C, 0x01}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.profile) + " " + std::to_string(c.writes.size()));
        SimSettings settings;
        settings.profile = c.profile;
        settings.flash_status = kProtectedFlashStatus;
        Rig rig(settings);
        for (const auto& [reg, value] : c.writes) ASSERT_EQ(rig.WriteMem(reg, {value}), kOk);
        uint8_t pin_low = 0xFF;
        ASSERT_EQ(rig.In(0x00, 0xFC, 0, 1, 0, &pin_low, 1), kOk);  // write-protect status
        EXPECT_EQ(pin_low, c.released ? 0 : 1);
        ASSERT_EQ(rig.WriteSr(0x00), kOk);
        ASSERT_TRUE(rig.WaitWhileBusy());
        EXPECT_EQ(rig.ReadSr(), c.released ? 0x00 : kProtectedFlashStatus);
    }
}

TEST(SimFlash, ApplicationRefusesStorageWritesButReads) {
    Rig rig(AppSettings(), BuildImage());
    ASSERT_TRUE(rig.camera->AppMode());
    for (uint8_t opcode : {0x04, 0x05, 0x13, 0x82, 0x83}) {
        SCOPED_TRACE(opcode);
        EXPECT_EQ(rig.Command(0x02, opcode, 0, opcode & 0x80 ? 1 : 0), kStall);
        EXPECT_EQ(rig.Status(), kStsUnknownSubCmd);
    }
    EXPECT_EQ(Read(rig, 0x0FFE, 2), (std::vector<uint8_t>{0x55, 0xAA}));
}

TEST(SimFlash, EraseAndStatusWriteRunOnWhileTheChannelStaysOpen) {
    struct Case {
        const char* what;
        uint8_t opcode;  // 04 chip erase, 05 sector erase (of sector 0)
        uint64_t busy_us;
    } const cases[] = {{"chip erase", 0x04, 1000000}, {"sector erase", 0x05, 60000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(SimSettings{}, BuildImage());
        // Acknowledged in one transfer; the part works on, busy, for its erase time.
        const uint64_t start = rig.clock.now_us();
        ASSERT_EQ(rig.Command(0x02, c.opcode), kOk);
        EXPECT_EQ(rig.clock.now_us() - start, 126u);
        EXPECT_EQ(rig.ReadSr(), SimFlash::kBusy);
        // Meanwhile the part ignores a program, an erase and a status write, and its array
        // still holds the old data.
        ASSERT_EQ(rig.FlashWrite(0x0000, {0x00}), kOk);
        ASSERT_EQ(rig.Command(0x02, 0x05, 0x8000, 0, 0), kOk);
        ASSERT_EQ(rig.ReleaseWpPin(), kOk);
        ASSERT_EQ(rig.WriteSr(0x0C), kOk);
        EXPECT_EQ(rig.camera->Memory(), BuildImage());
        // The status read is answered when its command arrives: busy until the time is up.
        rig.clock.sleep_us(start + c.busy_us - 1 - rig.clock.now_us());
        EXPECT_EQ(rig.ReadSr(), SimFlash::kBusy);
        EXPECT_EQ(rig.ReadSr(), 0x00);  // no protection bits: the status write was ignored
        const std::vector<uint8_t> memory = rig.camera->Memory();
        EXPECT_EQ(memory[0x0000], 0xFF);  // erased, and the program was not done
        EXPECT_EQ(memory[0x8000], c.opcode == 0x04 ? 0xFF : BuildImage()[0x8000]);
    }
}

TEST(SimFlash, ControllerSequencesThePagesOfItsOwnWrites) {
    // 512 bytes from the middle of a page touch three pages. With 8-byte packets the next page
    // takes longer to arrive than a page takes to program; with 64-byte packets the controller
    // waits for each program before it starts the next one.
    struct Case {
        uint16_t packet;
        uint64_t elapsed_us;
    } const cases[] = {{8, 64 * 126}, {64, 2 * 127 + 2 * 1400}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.packet);
        Rig rig;
        ASSERT_EQ(rig.Command(0x00, 0x16, 0, c.packet), kOk);
        ASSERT_EQ(rig.Command(0x02, 0x82, 0x0080, 512, 0), kOk);
        std::vector<uint8_t> packet(c.packet, 0x5A);
        const uint64_t start = rig.clock.now_us();
        for (int i = 0; i < 512 / c.packet; ++i)
            ASSERT_EQ(rig.SetCur(kDataControl, packet.data(), c.packet), kOk);
        EXPECT_EQ(rig.clock.now_us() - start, c.elapsed_us);
        // The last page is still being programmed; the bytes land when it is done.
        EXPECT_EQ(rig.camera->Memory()[0x0200], 0xFF);
        EXPECT_EQ(rig.ReadSr(), SimFlash::kBusy);
        // A status write of the controller's waits for its own program.
        ASSERT_EQ(rig.ReleaseWpPin(), kOk);
        ASSERT_EQ(rig.WriteSr(0x00), kOk);
        ASSERT_TRUE(rig.WaitWhileBusy());
        const std::vector<uint8_t> memory = rig.camera->Memory();
        EXPECT_EQ(memory[0x007F], 0xFF);
        EXPECT_EQ(memory[0x0080], 0x5A);
        EXPECT_EQ(memory[0x027F], 0x5A);
        EXPECT_EQ(memory[0x0280], 0xFF);
    }
}

TEST(SimFlash, NorFlashAnswersItsOwnCommands) {
    SimSettings settings;
    settings.memory = MemoryKind::kNorFlash;
    settings.memory_size = 0x10000;
    Rig rig(settings);
    std::vector<uint8_t> bytes = {0x12, 0x34, 0x56};
    ASSERT_EQ(rig.Out(0x00, 0x85, 0x0200, 3, 0, bytes.data(), 3), kOk);
    std::vector<uint8_t> back(3);
    ASSERT_EQ(rig.In(0x00, 0xC5, 0x0200, 3, 0, back.data(), 3), kOk);
    EXPECT_EQ(back, bytes);
    ASSERT_EQ(rig.Command(0x00, 0x06), kOk);  // tag
    std::vector<uint8_t> tag(2);
    ASSERT_EQ(rig.In(0x02, 0xC2, 0x0FFE, 2, 0, tag.data(), 2), kOk);
    EXPECT_EQ(tag, (std::vector<uint8_t>{0x55, 0xAA}));
    // Without a status register to poll, the controller sits out the erase in its command.
    const uint64_t start = rig.clock.now_us();
    ASSERT_EQ(rig.Command(0x00, 0x04), kOk);  // erase
    EXPECT_EQ(rig.clock.now_us() - start, 1000000u + 126);
    EXPECT_EQ(rig.camera->Memory()[0x0200], 0xFF);
    EXPECT_EQ(rig.camera->Memory()[0x0FFE], 0xFF);
    // Of the serial-flash group only the plain read is kept, and it reads the NOR memory;
    // everything else there belongs to the other memory.
    ASSERT_EQ(rig.Out(0x00, 0x85, 0xFFFE, 2, 0, bytes.data(), 2), kOk);
    std::vector<uint8_t> last(2);
    ASSERT_EQ(rig.In(0x02, 0xC2, 0xFFFE, 2, 0, last.data(), 2), kOk);
    EXPECT_EQ(last, (std::vector<uint8_t>{0x12, 0x34}));
    EXPECT_EQ(rig.Command(0x02, 0xC2, 0xFFFE, 4, 0), kStall);  // past the end of the memory
    EXPECT_EQ(rig.Status(), kStsErrOutRange);
    struct Refused {
        uint8_t opcode;
        uint16_t p2;
    } const refused[] = {{0x04, 0}, {0x05, 0}, {0x13, 0}, {0x82, 2},
                         {0xD4, 2}, {0xC1, 8}, {0xC3, 1}};
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.opcode);
        EXPECT_EQ(rig.Command(0x02, r.opcode, 0, r.p2, 0), kStall);
        EXPECT_EQ(rig.Status(), kStsUnknownSubCmd);
    }
}

}  // namespace
}  // namespace orbisk::sim::test
