// The simulated I2C EEPROM and MTP: what the parts do with a write, the write-protect pin, the
// commands of each memory, the tag the boot ROM looks for.
#include "sim/sim_eeprom.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "sim/sim_fixture.h"

namespace orbisk::sim::test {
namespace {

const HResult kStall = ResultFromErrno(EPIPE);

SimSettings ByteMemory(MemoryKind memory, const char* profile = "ORV6987",
                       Generation generation = Generation::kExtensionUnit) {
    SimSettings settings;
    settings.profile = profile;
    settings.memory = memory;
    settings.generation = generation;
    return settings;
}

// The host's release of the pin on the GPIO registers, as the EEPROM flows write it.
void ReleaseGpioPin(Rig& rig) {
    ASSERT_EQ(rig.WriteMem(0xFEA0, {0x20}), kOk);
    ASSERT_EQ(rig.WriteMem(0xFEA6, {0x00}), kOk);
    ASSERT_EQ(rig.WriteMem(0xFEA1, {0x02}), kOk);
    ASSERT_EQ(rig.WriteMem(0xFEA7, {0x00}), kOk);
}

HResult EepromWrite(Rig& rig, bool wide, uint32_t address, const std::vector<uint8_t>& bytes) {
    return rig.Out(0x02, wide ? 0x91 : 0x8B, static_cast<uint16_t>(address),
                   static_cast<uint16_t>(bytes.size()), static_cast<uint16_t>(address >> 16),
                   bytes.data(), bytes.size());
}

TEST(SimEeprom, PageWritesWrapAtThePageAndTakeTheirWriteCycle) {
    // 8-byte pages with 8-bit word addresses, 32-byte pages with 16-bit ones: a write that
    // runs past its page's end comes back to the page's start, as the parts do.
    for (const auto& [memory, wide, page] :
         {std::tuple{MemoryKind::kEeprom8, false, 8u}, {MemoryKind::kEeprom16, true, 32u}}) {
        Rig rig(ByteMemory(memory));
        ReleaseGpioPin(rig);
        const uint32_t address = page - 4;
        const uint64_t before = rig.clock.now_us();
        ASSERT_EQ(EepromWrite(rig, wide, address, {1, 2, 3, 4, 5, 6, 7, 8}), kOk);
        // The bytes land when the write cycle is over; the next command waits for it.
        EXPECT_EQ(rig.camera->Memory()[address], 0xFF);
        uint8_t read[8] = {};
        ASSERT_EQ(rig.In(0x02, wide ? 0xD1 : 0xCB, 0, 8, 0, read, 8), kOk);
        EXPECT_GE(rig.clock.now_us() - before, 5000u);
        EXPECT_EQ(read[0], 5);
        const std::vector<uint8_t> bytes = rig.camera->Memory();
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + address, bytes.begin() + page),
                  (std::vector<uint8_t>{1, 2, 3, 4}));
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4),
                  (std::vector<uint8_t>{5, 6, 7, 8}));
        EXPECT_EQ(bytes[page], 0xFF);
    }
}

TEST(SimEeprom, WritesWithThePinNotReleasedAreTakenAndIgnored) {
    struct Case {
        const char* name;
        const char* profile;
        uint8_t wp_gpio;
        std::vector<std::pair<uint16_t, uint8_t>> registers;
        bool written;
    };
    const Case cases[] = {
        {"after power-on", "ORV6987", 0, {}, false},
        {"GPIO registers released",
         "ORV6987",
         0,
         {{0xFEA0, 0x20}, {0xFEA6, 0x00}, {0xFEA1, 0x02}, {0xFEA7, 0x00}},
         true},
        {"one GPIO left high",
         "ORV6987",
         0,
         {{0xFEA0, 0x20}, {0xFEA6, 0x00}, {0xFEA1, 0x02}, {0xFEA7, 0x02}},
         false},
        {"ORV6099, GPIO 0 released", "ORV6099", 0, {{0xFF9C, 0x01}}, true},
        {"ORV6099, GPIO 0 released, pin on GPIO 1", "ORV6099", 1, {{0xFF9C, 0x01}}, false},
        {"ORV6099, GPIO 1 released", "ORV6099", 1, {{0xFF9C, 0x02}}, true},
        {"ORV6099, GPIO 1 with its clear bit set", "ORV6099", 1, {{0xFF9C, 0x0A}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimSettings settings = ByteMemory(MemoryKind::kEeprom16, c.profile);
        settings.wp_gpio = c.wp_gpio;
        Rig rig(settings);
        for (const auto& [reg, value] : c.registers) ASSERT_EQ(rig.WriteMem(reg, {value}), kOk);
        EXPECT_EQ(EepromWrite(rig, true, 0x40, {0x12, 0x34}), kOk);
        rig.clock.sleep_ms(10);  // past the write cycle
        EXPECT_EQ(rig.camera->Memory()[0x40], c.written ? 0x12 : 0xFF);
    }
}

TEST(SimEeprom, EachCameraAnswersTheCommandsOfItsOwnMemory) {
    uint8_t byte = 0;
    // The 8-bit EEPROM does not know the 16-bit commands, nor a read past its end.
    Rig eeprom8(ByteMemory(MemoryKind::kEeprom8));
    EXPECT_EQ(eeprom8.In(0x02, 0xD1, 0, 1, 0, &byte, 1), kStall);
    EXPECT_EQ(eeprom8.Status(), kStsUnknownSubCmd);
    EXPECT_EQ(eeprom8.In(0x02, 0xCB, 0x1FFF, 2, 0, &byte, 1), kStall);
    EXPECT_EQ(eeprom8.Status(), kStsErrOutRange);
    EXPECT_EQ(eeprom8.In(0x02, 0xC2, 0, 1, 0, &byte, 1), kStall);  // no serial flash
    // A camera running its application refuses EEPROM writes, as it refuses flash writes.
    SimSettings running = ByteMemory(MemoryKind::kEeprom16);
    std::vector<uint8_t> image = BuildImage({.config_address = 0, .tag_address = 0x100});
    image.resize(0x2000);
    running.app_mode = true;
    Rig app(running, image);
    ASSERT_TRUE(app.camera->AppMode());
    EXPECT_EQ(EepromWrite(app, true, 0, {0}), kStall);
    EXPECT_EQ(app.Status(), kStsUnknownSubCmd);
    // MTP: only through the second generation's requests, and no EEPROM ones.
    Rig mtp(ByteMemory(MemoryKind::kMtp, "ORV6987", Generation::kVendorV2));
    EXPECT_EQ(mtp.In(0x02, 0xD1, 0, 1, 0, &byte, 1), kStall);
    EXPECT_EQ(mtp.Vendor(0xC0, 0x37, 0, 0, &byte, 1), kStall);
    EXPECT_EQ(mtp.Vendor(0xC0, 0x39, 0, 0, &byte, 1), kOk);
    EXPECT_EQ(mtp.Vendor(0x40, 0x39, 0, 0, &byte, 1), kStall);       // wrong direction
    EXPECT_EQ(mtp.Vendor(0xC0, 0x39, 3, 0, &byte, 1), kStall);       // a read has no mode
    EXPECT_EQ(mtp.Vendor(0x40, 0x3A, 4, 0, &byte, 1), kStall);       // modes 0 to 3
    EXPECT_EQ(mtp.Vendor(0xC0, 0x39, 0, 0xFFFF, &byte, 2), kStall);  // past the end
}

TEST(SimEeprom, MtpWritesReplaceBytesInModeThreeAndOnlyClearBitsOtherwise) {
    Rig rig(ByteMemory(MemoryKind::kMtp, "ORV6987", Generation::kVendorV2));
    uint8_t data[2] = {0x0F, 0xF0};
    ASSERT_EQ(rig.Vendor(0x40, 0x3A, 3, 0x100, data, 2), kOk);
    uint8_t more[2] = {0xF3, 0x3F};
    ASSERT_EQ(rig.Vendor(0x40, 0x3A, 0, 0x100, more, 2), kOk);
    uint8_t read[2] = {};
    ASSERT_EQ(rig.Vendor(0xC0, 0x39, 0, 0x100, read, 2), kOk);
    EXPECT_EQ(read[0], 0x03);
    EXPECT_EQ(read[1], 0x30);
    // A write of 0xFF in mode 3 is the erase.
    uint8_t blank[2] = {0xFF, 0xFF};
    ASSERT_EQ(rig.Vendor(0x40, 0x3A, 3, 0x100, blank, 2), kOk);
    ASSERT_EQ(rig.Vendor(0xC0, 0x39, 0, 0x100, read, 2), kOk);
    EXPECT_EQ(read[0], 0xFF);
    EXPECT_EQ(read[1], 0xFF);
}

TEST(SimEeprom, TheTagAtAddressOneDecidesWhetherTheApplicationStarts) {
    for (const MemoryKind memory :
         {MemoryKind::kEeprom8, MemoryKind::kEeprom16, MemoryKind::kMtp}) {
        std::vector<uint8_t> image = BuildImage({.config_address = 0, .tag_address = 0x100});
        image.resize(0x2000);
        ASSERT_EQ(image[1], 0xA5);
        SimSettings settings = ByteMemory(memory, "ORV6987", Generation::kVendorV2);
        settings.app_mode = true;
        VirtualClock clock;
        EXPECT_TRUE(SimCamera(settings, image, clock).AppMode());
        image[1] = 0xFF;
        EXPECT_FALSE(SimCamera(settings, image, clock).AppMode());
    }
}

}  // namespace
}  // namespace orbisk::sim::test
