// Vendor requests of both generations and the kernel camera-driver face.
#include <gtest/gtest.h>

#include <cerrno>

#include "sim/sim_fixture.h"

namespace orbisk::sim::test {
namespace {

const HResult kStall = ResultFromErrno(EPIPE);

SimSettings WithGeneration(Generation generation) {
    SimSettings settings;
    settings.generation = generation;
    return settings;
}

TEST(SimVendor, ProbesAnswerByGeneration) {
    struct Case {
        Generation generation;
        HResult probe;      // request 6, one byte
        HResult v2_status;  // request 7, record 3
    };
    for (const Case c :
         {Case{Generation::kExtensionUnit, kStall, kStall},
          Case{Generation::kVendorV1, kOk, kStall}, Case{Generation::kVendorV2, kOk, kOk}}) {
        SCOPED_TRACE(GenerationName(c.generation));
        Rig rig(WithGeneration(c.generation));
        uint8_t byte = 0;
        EXPECT_EQ(rig.Vendor(0xC0, 0x06, 0, 0, &byte, 1), c.probe);
        uint8_t record[8] = {};
        uint32_t got = 0;
        EXPECT_EQ(rig.Vendor(0xC0, 0x07, 3, 0, record, 8, &got), c.v2_status);
        if (c.v2_status == kOk) {
            EXPECT_EQ(got, 8u);
            EXPECT_EQ(0, std::memcmp(record, "ZORVINE", 8));
        }
    }
}

TEST(SimVendor, SecondGenerationMemoryAndFlash) {
    Rig rig(WithGeneration(Generation::kVendorV2));
    // Register memory: wIndex = address, wLength = length.
    uint8_t chip[2] = {};
    ASSERT_EQ(rig.Vendor(0xC0, 0x25, 0, 0xFE21, chip, 2), kOk);
    EXPECT_EQ(chip[1], 0xC0);
    uint8_t bytes[3] = {7, 8, 9};
    ASSERT_EQ(rig.Vendor(0x40, 0x24, 0, 0x8000, bytes, 3), kOk);
    uint8_t back[3] = {};
    ASSERT_EQ(rig.ReadMem(0x8000, 3, back), kOk);  // the same memory through the unit
    EXPECT_EQ(0, std::memcmp(bytes, back, 3));

    // Flash above 64 KB: address bits 16-19 in wValue bits 8-11.
    ASSERT_EQ(rig.ReleaseWpPin(), kOk);
    uint8_t zero = 0;
    ASSERT_EQ(rig.Vendor(0x40, 0x31, 0, 0, &zero, 1), kOk);
    ASSERT_TRUE(rig.WaitWhileBusy());
    std::vector<uint8_t> page(4096, 0x42);
    ASSERT_EQ(rig.Vendor(0x40, 0x2F, 0x0100, 0x2000, page.data(), 4096), kOk);
    ASSERT_TRUE(rig.WaitWhileBusy());
    EXPECT_EQ(rig.camera->Memory()[0x12000], 0x42);
    std::vector<uint8_t> read(4096);
    ASSERT_EQ(rig.Vendor(0xC0, 0x2E, 0x0100, 0x2000, read.data(), 4096), kOk);
    EXPECT_EQ(read, page);
    uint8_t status = 0xFF;
    ASSERT_EQ(rig.Vendor(0xC0, 0x30, 0, 0, &status, 1), kOk);
    EXPECT_EQ(status & 0xFE, 0);
    ASSERT_EQ(rig.Vendor(0x40, 0x33, 0x0100, 0x2000, nullptr, 0), kOk);  // sector erase
    ASSERT_EQ(rig.Vendor(0xC0, 0x30, 0, 0, &status, 1), kOk);
    EXPECT_EQ(status, SimFlash::kBusy);
    rig.clock.sleep_ms(60);
    EXPECT_EQ(rig.camera->Memory()[0x12000], 0xFF);

    // Requests the camera refuses.
    std::vector<uint8_t> big(4097);
    EXPECT_EQ(rig.Vendor(0xC0, 0x25, 0, 0x8000, big.data(), 4097), kStall);  // too long
    EXPECT_EQ(rig.Vendor(0x40, 0x25, 0, 0x8000, big.data(), 4), kStall);     // wrong direction
    EXPECT_EQ(rig.Vendor(0xC0, 0x07, 13, 0, big.data(), 8), kStall);         // no such record
    EXPECT_EQ(rig.Vendor(0xC0, 0x07, 0, 0, big.data(), 4), kStall);          // short record
    EXPECT_EQ(rig.Vendor(0x40, 0x01, 0, 7, nullptr, 0), kStall);             // first generation
    EXPECT_EQ(rig.Vendor(0xC0, 0x2E, 0x0200, 0, big.data(), 16), kStall);    // past the memory
    EXPECT_EQ(rig.Vendor(0xC1, 0x25, 0, 0x8000, big.data(), 4), kStall);     // to an interface
    // Fields a request does not take must be 0.
    EXPECT_EQ(rig.Vendor(0xC0, 0x30, 1, 0, big.data(), 1), kStall);   // status read
    EXPECT_EQ(rig.Vendor(0x40, 0x32, 0, 1, nullptr, 0), kStall);      // chip erase
    EXPECT_EQ(rig.Vendor(0x40, 0x22, 1, 0, nullptr, 0), kStall);      // restart
    EXPECT_EQ(rig.Vendor(0x40, 0x20, 0x100, 0, nullptr, 0), kStall);  // 8-bit sub-mode
    EXPECT_EQ(rig.Vendor(0xC0, 0x07, 0, 1, big.data(), 8), kStall);   // status record
}

TEST(SimVendor, ResetsOfBothGenerations) {
    struct Case {
        Generation generation;
        uint8_t request;
        uint16_t value, index;
        bool app;
    };
    for (const Case c : {Case{Generation::kVendorV1, 0x01, 0, 7, false},
                         Case{Generation::kVendorV1, 0x01, 0, 9, true},
                         Case{Generation::kVendorV2, 0x20, 0, 0, false},
                         Case{Generation::kVendorV2, 0x22, 0, 0, true}}) {
        SCOPED_TRACE(c.request * 100 + c.index);
        SimSettings settings = WithGeneration(c.generation);
        Rig rig(settings, BuildImage());
        ASSERT_EQ(rig.WriteMem(kBootSelectRegister, {1}), kOk);  // stays for an update
        ASSERT_EQ(rig.Vendor(0x40, c.request, c.value, c.index, nullptr, 0), kOk);
        EXPECT_TRUE(rig.bus.List().empty());
        ASSERT_TRUE(rig.Reopen());
        EXPECT_EQ(rig.camera->AppMode(), c.app);
    }
    Rig rig(WithGeneration(Generation::kVendorV1));
    EXPECT_EQ(rig.Vendor(0x40, 0x01, 0, 5, nullptr, 0), kStall);  // no such target
    EXPECT_EQ(rig.Vendor(0x40, 0x01, 1, 9, nullptr, 0), kStall);  // the restart takes no argument
}

TEST(SimVendor, FirstGenerationFlash) {
    Rig rig(WithGeneration(Generation::kVendorV1));
    ASSERT_EQ(rig.ReleaseWpPin(), kOk);
    ASSERT_EQ(rig.WriteSr(0x00), kOk);
    ASSERT_TRUE(rig.WaitWhileBusy());
    std::vector<uint8_t> data = {1, 2, 3, 4};
    ASSERT_EQ(rig.Vendor(0x40, 0x04, 0x0100, 0x0010, data.data(), 4), kOk);  // 0x10010
    std::vector<uint8_t> back(4);
    ASSERT_EQ(rig.Vendor(0xC0, 0x05, 0x0100, 0x0010, back.data(), 4), kOk);
    EXPECT_EQ(back, data);
    ASSERT_EQ(rig.Vendor(0xC0, 0x4D, 0x0001, 0x0010, back.data(), 4), kOk);  // full address
    EXPECT_EQ(back, data);
    EXPECT_EQ(rig.Vendor(0x40, 0x04, 0x0101, 0x0010, data.data(), 4), kStall);  // NOR selector
    ASSERT_EQ(rig.Vendor(0x40, 0x02, 0, 0, nullptr, 0), kOk);                   // chip erase
    ASSERT_TRUE(rig.WaitWhileBusy());
    EXPECT_EQ(rig.camera->Memory()[0x10010], 0xFF);
    ASSERT_EQ(rig.Vendor(0x40, 0x03, 0, 0, nullptr, 0), kOk);  // tag
    ASSERT_TRUE(rig.WaitWhileBusy());
    EXPECT_EQ(rig.camera->Memory()[0x0FFF], 0xAA);
}

TEST(SimVendor, NorCameraAnswersThePlainSerialFlashRead) {
    // Hosts verify NOR flash with the serial-flash read: both generations answer it from the
    // NOR memory; the fast-read modes and serial-flash writes stay refused.
    for (const Generation generation : {Generation::kVendorV1, Generation::kVendorV2}) {
        SCOPED_TRACE(GenerationName(generation));
        SimSettings settings = WithGeneration(generation);
        settings.memory = MemoryKind::kNorFlash;
        settings.memory_size = 0x10000;
        Rig rig(settings);
        const bool v1 = generation == Generation::kVendorV1;
        std::vector<uint8_t> data = {1, 2, 3, 4};
        ASSERT_EQ(rig.Vendor(0x40, v1 ? 0x04 : 0x2A, v1 ? 0x0001 : 0, 0x8000, data.data(), 4), kOk);
        std::vector<uint8_t> back(4);
        ASSERT_EQ(rig.Vendor(0xC0, v1 ? 0x05 : 0x2E, 0, 0x8000, back.data(), 4), kOk);
        EXPECT_EQ(back, data);
        EXPECT_EQ(rig.Vendor(0x40, v1 ? 0x04 : 0x2F, 0, 0x8000, data.data(), 4), kStall);
        if (!v1) {
            EXPECT_EQ(rig.Vendor(0xC0, 0x2E, 0x0001, 0x8000, back.data(), 4), kStall);
        }
    }
}

TEST(SimDriver, KnowsEachControlsLengthFromTheFirstQuery) {
    Rig rig;
    rig.handle.reset();  // the kernel driver holds the interface again
    auto driver = rig.bus.OpenCameraDriver(rig.info.node_handle);
    ASSERT_NE(driver, nullptr);
    const uint8_t qualify[8] = {0x00, 0xD0, 0, 0, 8, 0, 0, 0};
    ASSERT_EQ(driver->SetCur(4, kCommandControl, qualify, 8), kOk);
    uint8_t reply[8] = {};
    ASSERT_EQ(driver->GetCur(4, kDataControl, reply, 8), kOk);
    EXPECT_EQ(0, std::memcmp(reply, "ZORVINE", 8));

    EXPECT_EQ(driver->SetCur(4, 12, qualify, 8), ResultFromErrno(ENOENT));
    EXPECT_EQ(driver->SetCur(5, kCommandControl, qualify, 8), ResultFromErrno(ENOENT));
    EXPECT_EQ(driver->SetCur(4, kCommandControl, qualify, 4), ResultFromErrno(ENOBUFS));

    // The camera takes 64-byte packets now; the driver still knows 8.
    const uint8_t change[8] = {0x00, 0x16, 0, 0, 64, 0, 0, 0};
    ASSERT_EQ(driver->SetCur(4, kCommandControl, change, 8), kOk);
    uint16_t length = 0;
    ASSERT_EQ(driver->GetLen(4, kDataControl, &length), kOk);
    EXPECT_EQ(length, 64);
    ASSERT_EQ(driver->SetCur(4, kCommandControl, qualify, 8), kOk);
    std::vector<uint8_t> packet(64);
    EXPECT_EQ(driver->GetCur(4, kDataControl, packet.data(), 64), ResultFromErrno(ENOBUFS));
    // A packet of the old size reaches the camera, which refuses it.
    EXPECT_EQ(driver->GetCur(4, kDataControl, packet.data(), 8), kStall);
}

TEST(SimDriver, GoneWhileAProgramHoldsTheInterfaceOrTheCameraResets) {
    Rig rig;
    EXPECT_EQ(rig.bus.OpenCameraDriver(rig.info.node_handle), nullptr);
    EXPECT_FALSE(rig.bus.List().front().has_camera_driver);
    rig.handle.reset();
    auto driver = rig.bus.OpenCameraDriver(rig.info.node_handle);
    ASSERT_NE(driver, nullptr);
    const uint8_t reset[8] = {0x00, 0x07, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(driver->SetCur(4, kCommandControl, reset, 8), kOk);
    uint8_t status[8] = {};
    EXPECT_EQ(driver->GetCur(4, kCommandControl, status, 8), kDeviceGone);
}

}  // namespace
}  // namespace orbisk::sim::test
