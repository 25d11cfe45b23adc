#include "device/dev_flow.h"

#include <gtest/gtest.h>

#include <cstring>

#include "../camera/fake_camera.h"
#include "base/logger.h"
#include "base/process.h"
#include "camera/cam_lib.h"
#include "camera/config_descriptor.h"
#include "catalogue/ic_type_ini.h"
#include "support/recorders.h"
#include "support/table_row.h"
#include "support/temp_dir.h"

namespace orbisk {
namespace {

using test::Report;

class FakeSelector : public DeviceSelector {
  public:
    void Clear() override {
        entries.clear();
        selected = -1;
    }
    void Insert(int position, const std::string& text) override {
        entries.insert(entries.begin() + position, text);
    }
    void Select(int position) override { selected = position; }
    std::string SelectedText() const override {
        return selected >= 0 && selected < static_cast<int>(entries.size()) ? entries[selected]
                                                                            : "";
    }
    std::vector<std::string> entries;
    int selected = -1;
};

// The device flow with the neighbouring layers' steps recorded.
class TestDevice : public CDevFlow {
  public:
    using CDevFlow::CDevFlow;
    int MP_GetDeviceInfo() override {
        steps.push_back("info " + texts_.vid_pid);
        return 1;
    }
    std::vector<std::string> steps;

  protected:
    int ReadMipiDeviceInfo() override {
        steps.push_back("mipi info");
        return 1;
    }
    int ReadMipiReserve(int32_t reserve) override {
        steps.push_back("mipi reserve " + std::to_string(reserve));
        return 1;
    }
    uint32_t ReadOtpSpaceUsed() override {
        steps.push_back("otp");
        return 77;
    }
};

class DevFlowTest : public ::testing::Test {
  protected:
    DevFlowTest() {
        process.program_folder = dir.path();
        process.status.SetSink(&reports);
        logger.SetSink(&log);
        peer.selector = &selector;
        device.SetPeer(&peer);
        profiles.BuildProfileList();
        profiles.SelectDefaultProfile();
    }
    test::FakeCamera Camera(uint16_t pid, uint16_t rev = 0x0011) {
        test::FakeCamera camera;
        camera.pid = pid;
        camera.rev = rev;
        return camera;
    }
    void Config(const char* key, int value) {
        process.config.SetValueI(kConfigSection, key, value);
    }
    std::vector<uint32_t> InfoCodes() { return reports.codes(kReportDeviceInfo); }

    test::TempDir dir;
    VirtualClock clock;
    test::RecordingLogSink log;
    Logger logger{clock, nullptr};
    Process process{clock, logger};
    test::RecordingStatusSink reports;
    test::FakeCameraBus bus{clock};
    test::FakeTransportFactory factory{bus};
    CamLib lib{process, bus, factory};
    CICTypeIni profiles{process};
    FakeSelector selector;
    DeviceFlowPeer peer;
    TestDevice device{process, lib, profiles};
};

// One device with two video functions: two enumeration entries of one physical camera.
std::vector<uint8_t> TwoFunctionConfig() {
    return test::ConfigBuilder()
        .Interface(0, kClassVideo, kSubclassControl)
        .VideoExtUnit(4, kVendorExtUnitGuid)
        .Interface(1, kClassVideo, 2)
        .Interface(2, kClassVideo, kSubclassControl)
        .VideoExtUnit(5, kVendorExtUnitGuid)
        .Build();
}

TEST_F(DevFlowTest, DefaultChoiceListsEachPhysicalCameraOnceAndTakesTheFirst) {
    Config("CheckVIDPID_BIN", 0);
    bus.Plug({1}, Camera(0x1111), TwoFunctionConfig());
    test::FakeCamera refuses = Camera(0x2222);
    refuses.qualifies = false;
    bus.Plug({2}, refuses);
    bus.Plug({3}, Camera(0x3333, 0x0102));
    ASSERT_EQ(lib.CamLib_GetDeviceCount(), 4);

    ASSERT_EQ(device.DEV_GetDefaultDeviceForAllInOne(), 1);
    EXPECT_EQ(selector.entries, (std::vector<std::string>{"VID_2C7E&PID_1111&REV_0011",
                                                          "VID_2C7E&PID_3333&REV_0102"}));
    EXPECT_EQ(selector.selected, 0);
    EXPECT_EQ(device.selected_index, 0);
    EXPECT_EQ(peer.selected_label, "VID_2C7E&PID_1111&REV_0011");
    EXPECT_EQ(peer.remembered_port, 1u);
    // Only the chosen camera's device information was read.
    EXPECT_EQ(device.steps, (std::vector<std::string>{"info VID_2C7E&PID_1111"}));
    EXPECT_EQ(InfoCodes(), (std::vector<uint32_t>{kStatusDeviceInfoSucceed}));
    EXPECT_EQ(lib.camera(), nullptr);  // a list operation leaves no camera open
    EXPECT_TRUE(log.Contains("MP_OpenDevice Fail 2"));
}

TEST_F(DevFlowTest, DefaultChoiceWithTheImageCheck) {
    // CheckVIDPID_BIN is absent: the image check is on here.
    bus.Plug({1}, Camera(0x1111));
    bus.Plug({2}, Camera(0x6363));
    bus.Plug({3}, Camera(0x4444));
    ASSERT_EQ(device.DEV_GetDefaultDeviceForAllInOne(), 1);
    EXPECT_EQ(selector.entries.size(), 3u);
    EXPECT_EQ(device.selected_index, 1);
    EXPECT_EQ(peer.remembered_port, 2u);
    EXPECT_EQ(peer.matched_camera, "VID_2C7E&PID_6363&REV_0011");
    EXPECT_EQ(device.check_result, 1);

    // None passes: the last camera examined stays selected and the report is still 41906.
    bus.devices.clear();
    peer.remembered_port = 0;
    bus.Plug({1}, Camera(0x1111));
    bus.Plug({2}, Camera(0x2222));
    reports.clear();
    ASSERT_EQ(device.DEV_GetDefaultDeviceForAllInOne(), 1);
    EXPECT_EQ(device.selected_index, 1);
    EXPECT_EQ(device.check_result, 0);
    EXPECT_EQ(peer.remembered_port, 0u);
    EXPECT_EQ(InfoCodes(), (std::vector<uint32_t>{kStatusDeviceInfoSucceed}));

    // No camera at all.
    bus.devices.clear();
    reports.clear();
    EXPECT_EQ(device.DEV_GetDefaultDeviceForAllInOne(), 0);
    EXPECT_EQ(InfoCodes(), (std::vector<uint32_t>{kStatusDetectDeviceFail}));
}

TEST_F(DevFlowTest, DeviceInformationChecksTheCarriedImageAgainstTheChip) {
    Config("CheckVIDPID_BIN", 0);
    test::FakeCamera fits;  // chip 0x10 0xCx: the profile whose chip model the image carries
    fits.chip[0] = 0x10;
    fits.chip[1] = 0xC3;
    test::FakeCamera other_chip;  // chip 0x10 0x3x: another profile, another chip model
    other_chip.chip[0] = 0x10;
    other_chip.chip[1] = 0x30;
    bus.Plug({1}, fits);
    ASSERT_EQ(device.DEV_GetDefaultDeviceForAllInOne(), 1);
    EXPECT_EQ(device.connection().chip_identity, (std::array<uint8_t, 2>{0x10, 0xC0}));
    EXPECT_EQ(profiles.chip_info, 22);
    EXPECT_FALSE(device.texts().image_identity.empty());
    EXPECT_EQ(device.texts().image_identity.rfind("VID_", 0), 0u);

    bus.devices.clear();
    device.texts().image_identity.clear();
    bus.Plug({1}, other_chip);
    ASSERT_EQ(device.DEV_GetDefaultDeviceForAllInOne(), 1);
    EXPECT_EQ(profiles.chip_info, 16);
    EXPECT_TRUE(device.texts().image_identity.empty());
}

TEST_F(DevFlowTest, DefaultChoiceWithTheRevisionList) {
    test::WriteFile(dir.File("VidPidList.ini"), "VID_2C7E&PID_2222&REV_0002\n");
    Config("CheckVIDPID_INI", 2);
    bus.Plug({1}, Camera(0x2222, 0x0001));
    bus.Plug({2}, Camera(0x2222, 0x0002));
    ASSERT_EQ(device.DEV_GetDefaultDeviceForAllInOne(), 1);
    EXPECT_EQ(device.selected_index, 1);
    EXPECT_EQ(peer.remembered_port, 2u);
    EXPECT_EQ(peer.selected_label, "VID_2C7E&PID_2222&REV_0002");
}

TEST_F(DevFlowTest, ListRefreshFindsTheRememberedCameraOrFallsBack) {
    bus.Plug({1}, Camera(0x1111));
    bus.Plug({2}, Camera(0x2222));
    peer.remembered_port = 2;
    peer.remembered_hub = NodeHandleFor(1, {});
    ASSERT_EQ(device.DEV_GetDeviceListForAllInOne(1), 1);
    EXPECT_EQ(device.selected_index, 1);
    EXPECT_EQ(selector.entries.size(), 2u);
    EXPECT_EQ(reports.reports().back(), (Report{kReportDeviceInfo, kStatusDeviceInfoSucceed, 1}));

    // The remembered camera left: the second pass takes the first that opens (the image check
    // is off by default here).
    peer.remembered_port = 9;
    ASSERT_EQ(device.DEV_GetDeviceListForAllInOne(1), 1);
    EXPECT_EQ(device.selected_index, 0);
    EXPECT_EQ(peer.selected_label, "VID_2C7E&PID_1111&REV_0011");

    bus.devices.clear();
    EXPECT_EQ(device.DEV_GetDeviceListForAllInOne(1), 0);
    EXPECT_EQ(reports.reports().back(), (Report{kReportDeviceInfo, kStatusDetectDeviceFail, 0}));
}

TEST_F(DevFlowTest, OperatorsChoiceSearchesFromTheEntryPosition) {
    // Index 0 and 1 are one physical camera; the selector shows three entries for four indices.
    bus.Plug({1}, Camera(0x1111), TwoFunctionConfig());
    bus.Plug({2}, Camera(0x3333));
    bus.Plug({3}, Camera(0x3333));
    ASSERT_EQ(device.DEV_GetDefaultDeviceForAllInOne(), 1);
    ASSERT_EQ(selector.entries.size(), 3u);

    // The operator picks the third entry (the camera on port 3).
    selector.Select(2);
    device.selected_index = 2;
    peer.selected_label = selector.SelectedText();
    reports.clear();
    ASSERT_EQ(device.DEV_GetDeviceListAfterReset(), 1);
    // Search starts at index 2: the first camera there with that label is the one on port 2.
    EXPECT_EQ(device.selected_index, 2);
    EXPECT_EQ(peer.remembered_port, 2u);
    EXPECT_EQ(InfoCodes(), (std::vector<uint32_t>{kStatusDeviceInfoSucceed}));
    EXPECT_EQ(lib.camera(), nullptr);

    peer.selected_label = "VID_2C7E&PID_9999&REV_0011";
    reports.clear();
    EXPECT_EQ(device.DEV_GetDeviceListAfterReset(), 1);
    EXPECT_EQ(InfoCodes(), (std::vector<uint32_t>{kStatusDetectDeviceFail}));

    device.selected_index = -1;
    EXPECT_EQ(device.DEV_GetDeviceListAfterReset(), 0);
}

TEST_F(DevFlowTest, PortLockClaimsAPortAndKeepsToIt) {
    test::WriteFile(dir.File("VidPidList.ini"), "VID_2C7E&PID_6363\n");
    bus.Plug({1}, Camera(0x1111));
    bus.Plug({2}, Camera(0x6363));
    bus.Plug({3}, Camera(0x6363));
    Config("LockPort", 1);
    Config("PortNo", 0);
    ASSERT_EQ(device.DEV_OpenDeviceByVIDPID(), 1);
    EXPECT_EQ(process.ConfigInt("PortNo", -1), 2);
    EXPECT_TRUE(log.Contains("Set Value"));
    EXPECT_EQ(lib.handle(), NodeHandleFor(1, {2}));
    EXPECT_EQ(profiles.chip_name, "ORV7507");  // the active profile was applied
    EXPECT_EQ(reports.reports().back(), (Report{kReport1055, 0, 0}));
    device.DEV_CloseDevice();

    // Later run: only the camera on port 2 will do, even when another matching one comes first.
    Config("PortNo", 3);
    ASSERT_EQ(device.DEV_OpenDeviceByVIDPID(), 1);
    EXPECT_EQ(lib.handle(), NodeHandleFor(1, {3}));
    device.DEV_CloseDevice();

    Config("PortNo", 7);
    process.run_mode = kRunCommandLine;
    std::vector<std::string> printed;
    peer.console = [&](const std::string& text) { printed.push_back(text); };
    EXPECT_EQ(device.DEV_OpenDeviceByVIDPID(), 0);
    EXPECT_EQ(reports.reports().back(), (Report{kReportFailure, kStatusVidPidMismatch, 0}));
    EXPECT_EQ(printed, (std::vector<std::string>{"Check VID/PID Mismatch!\n"}));
    EXPECT_EQ(lib.camera(), nullptr);

    bus.devices.clear();
    EXPECT_EQ(device.DEV_OpenDeviceByVIDPID(), 0);
    EXPECT_EQ(printed.back(), "Cannot find Zantrel Camera!\n");
    EXPECT_EQ(InfoCodes().back(), kStatusDetectDeviceFail);
}

TEST_F(DevFlowTest, ChipIdentityQuirks) {
    struct Case {
        std::vector<std::array<uint8_t, 2>> reads;
        std::array<uint8_t, 2> identity;
    };
    const Case cases[] = {
        {{{0x00, 0x60}}, {0xFF, 0xFF}}, {{{0x01, 0x45}, {0x01, 0x45}}, {0x00, 0x50}},
        {{{0x01, 0x4A}}, {0x00, 0x50}}, {{{0x02, 0x41}}, {0x02, 0x40}},
        {{{0x00, 0x40}}, {0x00, 0x40}}, {{{0x15, 0x37}}, {0x10, 0x30}},
        {{{0x00, 0x61}}, {0x00, 0x60}},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        bus.devices.clear();
        test::FakeCamera camera;
        camera.chip_reads = c.reads;
        bus.Plug({1}, camera);
        ASSERT_EQ(device.DEV_OpenDeviceByICIni(0), 1);
        EXPECT_EQ(device.connection().chip_identity, c.identity)
            << std::hex << int(c.reads[0][0]) << " " << int(c.reads[0][1]);
        device.DEV_CloseDevice();
    }
    // No camera: both bytes 0.
    EXPECT_EQ(device.DEV_ReadChipIdentity(), 1);
    EXPECT_EQ(device.connection().chip_identity, (std::array<uint8_t, 2>{0, 0}));
}

TEST_F(DevFlowTest, OpenByIndexFillsTheIdentity) {
    bus.Plug({4}, Camera(0x6363, 0x0100));
    EXPECT_EQ(device.DEV_OpenDeviceByICIni(1), 0);
    EXPECT_EQ(InfoCodes(), (std::vector<uint32_t>{kStatusDetectDeviceFail}));
    ASSERT_EQ(device.DEV_OpenDeviceByICIni(0), 1);
    EXPECT_EQ(device.texts().vid_pid, "VID_2C7E&PID_6363");
    EXPECT_EQ(device.texts().identity_label, "VID_2C7E&PID_6363&REV_0100");
    EXPECT_EQ(device.texts().manufacturer, "Maker");
    EXPECT_EQ(peer.remembered_port, 4u);
    EXPECT_EQ(device.DEV_OpenDeviceByICIni(0), 1);  // already open
    process.status.SetCode(41000);
    device.DEV_CloseDevice();
    EXPECT_EQ(lib.camera(), nullptr);
    device.DEV_CloseDevice();  // harmless
}

TEST_F(DevFlowTest, MipiCameraOpensWithPowerAndCloses) {
    Config("MIPI Camera", 1);
    Config("MIPI Reserve", 3);
    Config("CheckVIDPID_BIN", 0);
    test::WriteFile(dir.File("bridge.rfw"), "image");
    test::WriteFile(dir.File("notes.txt"), "text");
    test::FakeCamera bridge;
    bridge.mipi_signature = "MIPI IO";
    auto fake = bus.Plug({1}, bridge);
    ASSERT_EQ(device.DEV_GetDefaultDeviceForAllInOne(), 1);
    EXPECT_EQ(selector.entries, (std::vector<std::string>{"MIPI Camera"}));
    EXPECT_EQ(device.steps, (std::vector<std::string>{"mipi info", "mipi reserve 3"}));
    EXPECT_EQ(process.project_type, 5);
    EXPECT_EQ(device.texts().chosen_image_path, dir.File("bridge.rfw"));

    ASSERT_EQ(device.Dev_OpenDeviceForMultiCamera(), 1);
    device.DEV_CloseDevice();
    EXPECT_EQ(fake->log, (std::vector<std::string>{"power 3", "power 2"}));

    // The simulation signature never gets power commands.
    fake->log.clear();
    fake->mipi_signature = "MIPISIM";
    ASSERT_EQ(device.DEV_OpenMIPIDevice(), 1);
    device.DEV_CloseDevice();
    EXPECT_TRUE(fake->log.empty());
}

TEST_F(DevFlowTest, TransportOptionsFromTheConfiguration) {
    struct Case {
        int reset_to_cache, lib_type, normal_reset, gpio;
        uint8_t chip_model;
        uint8_t options, reset_kind, gpio_reset;
    };
    const Case cases[] = {
        {1, 0, 1, 0, 0, 0x13, 6, 0}, {0, 0, 1, 0, 0, 0x12, 6, 0}, {1, 1, 1, 0, 0, 0x1B, 6, 0},
        {1, 0, 0, 0, 0, 0x17, 5, 0}, {1, 0, 1, 1, 0, 0x33, 6, 1}, {1, 0, 1, 0, 10, 0x17, 6, 0},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        Config("ResetToCache", c.reset_to_cache);
        Config("Lib Type", c.lib_type);
        Config("Normal Reset", c.normal_reset);
        Config("GPIO", c.gpio);
        profiles.chip_info = c.chip_model;
        device.DEV_SetTransportOptions();
        EXPECT_EQ(process.download_options, c.options);
        EXPECT_EQ(device.connection().reset_kind, c.reset_kind);
        EXPECT_EQ(device.connection().gpio_reset, c.gpio_reset);
    }
}

TEST_F(DevFlowTest, CommandDispatchAndUnsupportedOperations) {
    process.status.SetCode(41000);
    EXPECT_EQ(device.DEV_RunCommand('R', "x.bin"), 0);
    EXPECT_EQ(process.status.Code(), kStatusNotSupport);
    process.status.SetCode(0);
    // The flow itself serves no memory: its write operation is "Not Support!" too.
    EXPECT_EQ(device.DEV_RunCommand('W', "x.bin"), 0);
    EXPECT_EQ(process.status.Code(), kStatusNotSupport);
}

}  // namespace
}  // namespace orbisk
