#include "camera/cam_lib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "base/logger.h"
#include "base/process.h"
#include "camera/orv_cam.h"
#include "fake_camera.h"
#include "support/table_row.h"

namespace orbisk {
namespace {

class CamLibTest : public ::testing::Test {
  protected:
    VirtualClock clock;
    Logger logger{clock, nullptr};
    Process process{clock, logger};
    test::FakeCameraBus bus{clock};
    test::FakeTransportFactory factory{bus};
    CamLib lib{process, bus, factory};
};

TEST_F(CamLibTest, OpensByIndexAndRefusesWhatIsNotThere) {
    test::FakeCamera refuses;
    refuses.qualifies = false;
    bus.Plug({1});
    bus.Plug({2}, refuses);
    bus.Plug({3});
    ASSERT_EQ(lib.CamLib_Init(0), 1);
    EXPECT_EQ(lib.CamLib_GetLibType(), 0);
    EXPECT_EQ(lib.CamLib_GetDeviceCount(), 3);

    EXPECT_EQ(lib.CamLib_OpenDevice(5), 0u);
    EXPECT_EQ(lib.camera(), nullptr);
    int past = 3;
    EXPECT_EQ(lib.CamLib_OpenDeviceAt(&past), 0u);
    EXPECT_EQ(past, -1);

    // The camera that fails qualify is dropped again.
    EXPECT_EQ(lib.CamLib_OpenDevice(1), 0u);
    EXPECT_EQ(lib.camera(), nullptr);

    const uint64_t handle = lib.CamLib_OpenDevice(2);
    EXPECT_EQ(handle, NodeHandleFor(1, {3}));
    // While one is open, opening returns it.
    EXPECT_EQ(lib.CamLib_OpenDevice(0), handle);
    uint16_t vid = 0, pid = 0, rev = 0;
    std::string maker;
    ASSERT_EQ(lib.CamLib_GetIdentity(&vid, &pid, &rev, &maker), 1);
    EXPECT_EQ(vid, 0x2C7E);
    EXPECT_EQ(rev, 0x0011);
    uint32_t port = 0;
    uint64_t hub = 0;
    ASSERT_EQ(lib.CamLib_GetPortLocation(handle, &port, &hub), 1);
    EXPECT_EQ(port, 3u);
    EXPECT_EQ(hub, NodeHandleFor(1, {}));
    EXPECT_EQ(lib.CamLib_Close(), 1);
    EXPECT_EQ(lib.handle(), 0u);
}

TEST_F(CamLibTest, ChoosesTransportsByCapability) {
    struct Case {
        const char* what;
        bool gen1, gen2;
        std::vector<std::string> made;
    };
    const Case cases[] = {
        {"extension unit", false, false, {"XU"}},
        {"first generation", true, false, {"XU", "V1"}},
        {"second generation", false, true, {"XU", "V2"}},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        bus.devices.clear();
        factory.made.clear();
        test::FakeCamera camera;
        camera.gen1 = c.gen1;
        camera.gen2 = c.gen2;
        bus.Plug({1}, camera);
        ASSERT_NE(lib.CamLib_OpenDevice(0), 0u) << c.what;
        EXPECT_EQ(factory.made, c.made) << c.what;
        auto* cam = dynamic_cast<COrvCam*>(lib.camera());
        ASSERT_NE(cam, nullptr);
        CVendorCmdCommon* expected = c.gen2   ? cam->VendorV2()
                                     : c.gen1 ? cam->VendorV1()
                                              : cam->ExtUnit();
        EXPECT_EQ(cam->SelectCommandTransport(), expected) << c.what;
        EXPECT_EQ(cam->SelectExtUnitTransport(0), cam->ExtUnit()) << c.what;
        lib.CamLib_Close();
    }
}

TEST_F(CamLibTest, EachFunctionTakesItsTransport) {
    test::FakeCamera camera;
    camera.gen2 = true;  // the general choice is then the second vendor-request generation
    auto fake = bus.Plug({1}, camera);
    const uint64_t h = lib.CamLib_OpenDevice(0);
    ASSERT_NE(h, 0u);
    uint8_t status = 0;
    uint8_t data[4] = {1, 2, 3, 4};
    uint16_t size = 64;
    struct Case {
        const char* what;
        std::function<int()> call;
        const char* expected_log;
    };
    const Case cases[] = {
        {"XU or general", [&] { return lib.CamLib_SPI_SF_ReadSr(h, &status, 0); },
         "V2 SPI_SF_ReadSr"},
        {"XU or general, forced", [&] { return lib.CamLib_SPI_SF_ReadSr(h, &status, 0x20); },
         "XU SPI_SF_ReadSr"},
        {"proxy XU or general", [&] { return lib.CamLib_NorFlash_Erase(h, 0); },
         "V2 NorFlash_Erase"},
        {"proxy XU or general, forced", [&] { return lib.CamLib_NorFlash_Erase(h, 0x20); },
         "XU NorFlash_Erase"},
        // 16-bit EEPROMs go through the access method's extension unit, never the general choice.
        {"EEPROM 16",
         [&] { return lib.CamLib_I2C_EEP16_Write(h, 8, 4, data, nullptr, nullptr, 0); },
         "XU I2C_EEP16_Write 8 4"},
        {"EEPROM 16 erase", [&] { return lib.CamLib_I2C_EEP16_Erase(h, 16, 0); },
         "XU I2C_EEP16_Write 0 16 blank"},
        {"general only", [&] { return lib.CamLib_MTP_Erase(h, 16); }, "V2 MTP_Erase"},
        {"OTP", [&] { return lib.CamLib_OTP_Write(h, 0, 0, 4, data, 0, 0); }, "XU OTP_Write"},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        EXPECT_EQ(c.call(), 1) << c.what;
        ASSERT_FALSE(fake->log.empty()) << c.what;
        EXPECT_EQ(fake->log.back(), c.expected_log) << c.what;
    }
    // A transport without the operation fails it; so does the library without a camera.
    EXPECT_EQ(lib.CamLib_ChangeDataControlSize(h, &size), 0);
    lib.CamLib_Close();
    EXPECT_EQ(lib.CamLib_SPI_SF_ReadSr(h, &status, 0), 0);
    EXPECT_EQ(lib.CamLib_MTP_Erase(h, 16), 0);
}

TEST_F(CamLibTest, KernelDriverPathWhenTheDeviceMayNotBeOpened) {
    auto fake = bus.Plug({4});
    bus.denied.push_back(NodeHandleFor(1, {4}));
    ASSERT_EQ(lib.CamLib_Init(0), 1);
    EXPECT_EQ(lib.CamLib_GetLibType(), 1);
    ASSERT_NE(lib.CamLib_OpenDevice(0), 0u);
    EXPECT_EQ(factory.made, (std::vector<std::string>{"KS2"}));
    std::string serial;
    ASSERT_EQ(lib.CamLib_GetSerialString(&serial), 1);
    EXPECT_EQ(serial, "SN4");
    uint16_t vid = 0, pid = 0, rev = 0;
    ASSERT_EQ(lib.CamLib_GetVidPidRev(&vid, &pid, &rev), 1);
    EXPECT_EQ(pid, 0x6363);
    EXPECT_EQ(lib.CamLib_Init(3), 0);
}

TEST_F(CamLibTest, ProbesTheMipiBridgeSignature) {
    struct Case {
        const char* signature;
        int expected;
    };
    for (const Case c : {Case{"MIPI IO", 1}, Case{"MIPISIM", 2}, Case{"", 0}, Case{"MIPI XX", 0}}) {
        bus.devices.clear();
        test::FakeCamera camera;
        camera.mipi_signature = c.signature;
        bus.Plug({1}, camera);
        ASSERT_NE(lib.CamLib_OpenDevice(0), 0u);
        EXPECT_EQ(lib.CamLib_ProbeMipiBridge(lib.handle()), c.expected) << c.signature;
        lib.CamLib_Close();
    }
    EXPECT_EQ(lib.CamLib_ProbeMipiBridge(0), 0);
}

// A reset takes the camera off the bus; it comes back at the same port under a new index and
// the handle is refreshed. The wait costs the camera's own re-enumeration time.
TEST_F(CamLibTest, ResetFindsTheSameCameraByItsPort) {
    struct Case {
        const char* what;
        int lib_type;
        bool gen2;
        bool rom;  // reset to ROM and back to the code, else into update mode
        const char* expected_log;
    };
    const Case cases[] = {
        {"proxy, extension unit, update", 0, false, false, "XU reset 7 value 1"},
        {"proxy, second generation, rom", 0, true, true, "V2 reset 9 value 0"},
        {"kernel driver, update", 1, false, false, "KS2 reset update 0"},
        {"kernel driver, rom", 1, false, true, "KS2 reset rom"},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        bus.devices.clear();
        bus.denied.clear();
        test::FakeCamera other;
        other.pid = 0x1111;
        // Another camera at a lower port: after the reset it holds index 0.
        bus.Plug({1}, other);
        test::FakeCamera camera;
        camera.gen2 = c.gen2;
        camera.reenumerate_ms = 300;
        auto fake = bus.Plug({2}, camera);
        if (c.lib_type != 0) bus.denied = {NodeHandleFor(1, {1}), NodeHandleFor(1, {2})};
        ASSERT_EQ(lib.CamLib_Init(0), 1);
        ASSERT_EQ(lib.CamLib_GetLibType(), c.lib_type) << c.what;
        uint64_t handle = lib.CamLib_OpenDevice(1);
        ASSERT_EQ(handle, NodeHandleFor(1, {2})) << c.what;
        // A stale handle value shows that the call replaces it.
        handle = 0xDEAD;

        const uint64_t start = clock.now_ms();
        const int ok = c.rom ? lib.CamLib_ResetToRomAndReconnect(&handle, 0, 5000)
                             : lib.CamLib_ResetToUpdateFW(&handle, 0, 0, 5000);
        const uint64_t spent = clock.now_ms() - start;
        ASSERT_EQ(ok, 1) << c.what;
        EXPECT_EQ(handle, NodeHandleFor(1, {2})) << c.what;
        EXPECT_EQ(lib.handle(), handle) << c.what;
        ASSERT_FALSE(fake->log.empty()) << c.what;
        EXPECT_EQ(fake->log.back(), c.expected_log) << c.what;
        EXPECT_EQ(fake->run_mode, c.rom ? 1 : 0) << c.what;
        // The camera's own 300 ms off the bus, far below "Wait Time".
        EXPECT_GE(spent, 300u) << c.what;
        EXPECT_LE(spent, 400u) << c.what;
        // The new object answers through fresh transports.
        ASSERT_NE(lib.camera(), nullptr);
        EXPECT_NE(lib.camera()->SelectCommandTransport(), nullptr) << c.what;
        lib.CamLib_Close();
    }
}

TEST_F(CamLibTest, ResetArgumentsAndTheRequestThatCarriesThem) {
    struct Case {
        bool gen1, gen2;
        uint16_t arg;
        uint32_t options;
        const char* expected_log;
    };
    const Case cases[] = {
        {false, false, 0, 0, "XU reset 7 value 1"},  // no vendor requests: 0 and 1 swap
        {false, false, 1, 0, "XU reset 7 value 0"},
        {false, false, 2, 0, "XU reset 7 value 2"},
        {false, false, 5, 0, "XU reset 7 value 5"},
        {true, false, 0, 0, "V1 reset 7 value 0"},
        {true, false, 2, 0, "V1 reset 7 value 2"},
        {false, true, 1, 0, "V2 reset 7 value 1"},
        // Forcing the extension unit drops both generations.
        {true, false, 0, kOptionForceExtUnit, "XU reset 7 value 1"},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        bus.devices.clear();
        test::FakeCamera camera;
        camera.gen1 = c.gen1;
        camera.gen2 = c.gen2;
        auto fake = bus.Plug({2}, camera);
        uint64_t handle = lib.CamLib_OpenDevice(0);
        ASSERT_NE(handle, 0u);
        ASSERT_EQ(lib.CamLib_ResetToUpdateFW(&handle, c.arg, c.options, 5000), 1) << c.expected_log;
        ASSERT_FALSE(fake->log.empty());
        EXPECT_EQ(fake->log.back(), c.expected_log);
        lib.CamLib_Close();
    }
}

TEST_F(CamLibTest, ResetThatNeverComesBackGivesUpInBoundedTime) {
    test::FakeCamera camera;
    camera.reenumerate_ms = 60000;
    auto fake = bus.Plug({2}, camera);
    bus.Plug({3});
    uint64_t handle = lib.CamLib_OpenDevice(0);
    ASSERT_NE(handle, 0u);
    const uint64_t start = clock.now_ms();
    EXPECT_EQ(lib.CamLib_ResetToUpdateFW(&handle, 0, 0, 5000), 0);
    EXPECT_LE(clock.now_ms() - start, kResetTimeoutMs + 1000);
    // The library falls back to the first camera there is.
    EXPECT_EQ(handle, NodeHandleFor(1, {3}));
}

TEST_F(CamLibTest, ProxyResetWritesTheChipSpecificRegisters) {
    struct Case {
        uint8_t chip[2];
        bool boot_select;   // 0xFF92 written with 1
        bool fe56;          // 0xFE56 written with 0x24
        uint16_t phy_addr;  // 0 when no PHY bit is cleared
    };
    const Case cases[] = {
        {{0x00, 0x30}, false, false, 0},       // h 0x3000: keeps boot select
        {{0x10, 0x10}, false, false, 0xFA40},  // f 0x1010: no boot select, PHY bit
        {{0x05, 0xE0}, true, true, 0},         // f 0xE000
        {{0x00, 0x60}, false, false, 0xFA40},  // h 0x6000 keeps; f 0x6000 clears the PHY bit
        {{0x21, 0x90}, true, false, 0},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        bus.devices.clear();
        test::FakeCamera camera;
        std::memcpy(camera.chip, c.chip, 2);
        auto fake = bus.Plug({2}, camera);
        uint64_t handle = lib.CamLib_OpenDevice(0);
        ASSERT_NE(handle, 0u);
        ASSERT_EQ(lib.CamLib_ResetToUpdateFW(&handle, 0, 0, 5000), 1);
        const auto& w = fake->writes;
        EXPECT_EQ(w.count(0xFF92) && w.at(0xFF92) == 1, c.boot_select)
            << std::hex << int(c.chip[1]);
        EXPECT_EQ(w.count(0xFE56) && w.at(0xFE56) == 0x24, c.fe56) << std::hex << int(c.chip[1]);
        EXPECT_EQ(w.count(0xFA40) != 0, c.phy_addr == 0xFA40) << std::hex << int(c.chip[1]);
        lib.CamLib_Close();
    }
}

}  // namespace
}  // namespace orbisk
