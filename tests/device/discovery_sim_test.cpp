// Finding, choosing and resetting cameras on the simulated bus, with the real transports.
#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "base/logger.h"
#include "base/process.h"
#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"
#include "catalogue/ic_type_ini.h"
#include "device/dev_flow.h"
#include "sim/sim_bus.h"
#include "sim/sim_fixture.h"
#include "support/flow_only.h"
#include "support/recorders.h"
#include "support/temp_dir.h"

namespace orbisk {
namespace {

class Selector : public DeviceSelector {
  public:
    void Clear() override { entries.clear(); }
    void Insert(int position, const std::string& text) override {
        entries.insert(entries.begin() + position, text);
    }
    void Select(int position) override { selected = position; }
    std::string SelectedText() const override { return entries.at(selected); }
    std::vector<std::string> entries;
    int selected = -1;
};

// The device flow with the information steps of other layers left out.
using Device = test::FlowOnly;

class DiscoverySimTest : public ::testing::Test {
  protected:
    DiscoverySimTest() {
        process.program_folder = dir.path();
        process.status.SetSink(&reports);
        profiles.BuildProfileList();
        profiles.SelectDefaultProfile();
        peer.selector = &selector;
        device.SetPeer(&peer);
    }
    ~DiscoverySimTest() override { RemoveDeviceLock(kLockName); }

    // A camera running its application, identity PID `pid`, on hub port `port`.
    std::shared_ptr<sim::SimCamera> Plug(uint8_t port, uint16_t pid,
                                         std::function<void(sim::SimSettings&)> tweak = {},
                                         std::function<void(sim::test::ImageRecipe&)> code = {}) {
        sim::SimSettings settings = sim::test::AppSettings();
        settings.ports = {port};
        if (tweak) tweak(settings);
        sim::test::ImageRecipe image;
        image.vid = 0x2C7E;
        image.pid = pid;
        if (code) code(image);
        auto camera =
            std::make_shared<sim::SimCamera>(settings, sim::test::BuildImage(image), clock);
        bus.AddCamera(camera);
        return camera;
    }
    void Config(const char* key, int value) {
        process.config.SetValueI(kConfigSection, key, value);
    }

    void ResetToUpdateModeAndBack(const std::shared_ptr<sim::SimCamera>& camera) {
        const uint64_t node = camera->NodeHandle();
        uint64_t handle = lib.CamLib_OpenDevice(1);
        ASSERT_EQ(handle, node);
        ASSERT_TRUE(camera->AppMode());

        handle = 0;
        uint64_t start = clock.now_ms();
        ASSERT_EQ(lib.CamLib_ResetToUpdateFW(&handle, 0, 0, 5000), 1);
        EXPECT_EQ(handle, node);
        EXPECT_FALSE(camera->AppMode());
        // The camera's own 300 ms off the bus and its transfers: nowhere near "Wait Time".
        EXPECT_GE(clock.now_ms() - start, 300u);
        EXPECT_LT(clock.now_ms() - start, 400u);

        handle = 0;
        start = clock.now_ms();
        ASSERT_EQ(lib.CamLib_ResetToRomAndReconnect(&handle, 0, 5000), 1);
        EXPECT_EQ(handle, node);
        EXPECT_TRUE(camera->AppMode());
        EXPECT_GE(clock.now_ms() - start, 300u);
        EXPECT_LT(clock.now_ms() - start, 400u);
        // The refreshed object answers on the new enumeration.
        uint8_t chip[2] = {};
        EXPECT_EQ(lib.CamLib_ReadMem(handle, 0xFE21, 2, chip, 0), 1);
        uint16_t vid = 0, pid = 0, rev = 0;
        ASSERT_EQ(lib.CamLib_GetVidPidRev(&vid, &pid, &rev), 1);
        EXPECT_EQ(pid, 0x6363);
    }

    static constexpr const char* kLockName = "orbisk-discovery-sim-test";
    test::TempDir dir;
    VirtualClock clock;
    Logger logger{clock, nullptr};
    Process process{clock, logger};
    test::RecordingStatusSink reports;
    sim::SimUsbBus bus{clock};
    UsbTransportFactory factory{bus, logger, OpenDeviceLock(kLockName)};
    CamLib lib{process, bus, factory};
    CICTypeIni profiles{process};
    Selector selector;
    DeviceFlowPeer peer;
    Device device{process, lib, profiles};
};

TEST_F(DiscoverySimTest, ListsEachPhysicalCameraOnceAndSkipsOnesThatFailQualify) {
    Plug(1, 0x1111, [](sim::SimSettings& s) { s.entries = 2; });
    Plug(2, 0x2222, [](sim::SimSettings& s) { s.faults.bad_qualify = true; });
    Plug(3, 0x3333);
    Config("CheckVIDPID_BIN", 0);
    ASSERT_EQ(lib.CamLib_Init(0), 1);
    ASSERT_EQ(lib.CamLib_GetDeviceCount(), 4);

    ASSERT_EQ(device.DEV_GetDefaultDeviceForAllInOne(), 1);
    ASSERT_EQ(selector.entries.size(), 2u);
    EXPECT_EQ(selector.entries[0].substr(0, 17), "VID_2C7E&PID_1111");
    EXPECT_EQ(selector.entries[1].substr(0, 17), "VID_2C7E&PID_3333");
    EXPECT_EQ(peer.remembered_port, 1u);
    EXPECT_EQ(lib.camera(), nullptr);

    // Three cameras: an index past the end opens nothing.
    EXPECT_EQ(lib.CamLib_OpenDevice(5), 0u);
    EXPECT_EQ(lib.camera(), nullptr);
    // The camera that fails qualify is not opened either.
    EXPECT_EQ(lib.CamLib_OpenDevice(2), 0u);
    EXPECT_EQ(lib.camera(), nullptr);
}

TEST_F(DiscoverySimTest, DefaultChoiceRunsTheChecksAndTheOperatorsChoiceFollows) {
    // CheckVIDPID_BIN absent: the first camera the carried image is for is chosen.
    Plug(1, 0x1111, [](sim::SimSettings& s) { s.entries = 2; });
    Plug(2, 0x6363);
    Plug(3, 0x6363);
    ASSERT_EQ(device.DEV_GetDefaultDeviceForAllInOne(), 1);
    ASSERT_EQ(selector.entries.size(), 3u);
    EXPECT_EQ(device.selected_index, 1);
    EXPECT_EQ(peer.remembered_port, 2u);
    EXPECT_EQ(peer.matched_camera, selector.entries[1]);
    // The chip (0x10 0xCx) and the carried image (chip model 22) agree.
    EXPECT_EQ(device.connection().chip_identity, (std::array<uint8_t, 2>{0x10, 0xC0}));
    EXPECT_EQ(device.texts().image_identity.rfind("VID_2C7E&PID_6363&REV_", 0), 0u);

    // The operator picks the third entry (the camera on port 3). The search starts at index 2
    // and takes the first camera with that label: the twin on port 2.
    selector.Select(2);
    device.selected_index = 2;
    peer.selected_label = selector.SelectedText();
    reports.clear();
    ASSERT_EQ(device.DEV_GetDeviceListAfterReset(), 1);
    EXPECT_EQ(device.selected_index, 2);
    EXPECT_EQ(peer.remembered_port, 2u);
    EXPECT_EQ(reports.codes(kReportDeviceInfo).back(), kStatusDeviceInfoSucceed);
    EXPECT_EQ(lib.camera(), nullptr);
}

// Every way of choosing a camera examines all of them; afterwards the object must describe the
// chosen camera (on port 2, the middle one), not the last one it looked at.
TEST_F(DiscoverySimTest, ChosenCameraKeepsItsIdentityAfterLaterOnesAreExamined) {
    const auto named = [](uint16_t rev, const char* maker, const char* serial) {
        return [=](sim::test::ImageRecipe& image) {
            image.rev = rev;
            image.manufacturer = maker;
            image.serial = serial;
        };
    };
    Plug(1, 0x1111, {}, named(0x0101, "SN-PORT1", "S1"));
    Plug(2, 0x6363, {}, named(0x0202, "SN-PORT2", "S2"));
    Plug(
        3, 0x6363, [](sim::SimSettings& s) { s.chip_id_fe21 = 0x21; },
        named(0x0303, "SN-PORT3", "S3"));
    test::WriteFile(dir.File("VidPidList.ini"), "VID_2C7E&PID_1111\r\nVID_2C7E&PID_6363\r\n");

    const std::function<int()> choices[] = {
        // The image the program carries fits the camera on port 2 first.
        [&] { return device.DEV_GetDefaultDeviceForAllInOne(); },
        // Refresh: the remembered camera (port 2) is found in the first pass.
        [&] { return device.DEV_GetDeviceListForAllInOne(0); },
        // Refresh without a remembered camera: the second pass stops at the first that passes.
        [&] {
            peer.remembered_port = 9;
            Config("CheckVIDPID_BIN", 1);
            const int result = device.DEV_GetDeviceListForAllInOne(0);
            Config("CheckVIDPID_BIN", 0);
            return result;
        },
        // The operator's choice of the second entry.
        [&] {
            device.selected_index = 1;
            peer.selected_label = "VID_2C7E&PID_6363&REV_0202";
            return device.DEV_GetDeviceListAfterReset();
        },
        // Open by VID/PID with the port locked to port 2: the camera on port 1 matches the list
        // but not the port, the one on port 3 is never reached.
        [&] {
            Config("LockPort", 1);
            Config("PortNo", 2);
            const int result = device.DEV_OpenDeviceByVIDPID();
            device.DEV_CloseDevice();
            Config("LockPort", 0);
            return result;
        },
    };
    int step = 0;
    for (const auto& choose : choices) {
        SCOPED_TRACE(testing::Message() << "choice " << step++);
        // Nothing left over from the choice before.
        device.texts() = {};
        device.connection().vid = device.connection().pid = device.connection().rev = 0;
        device.connection().chip_identity = {};
        ASSERT_EQ(choose(), 1);
        EXPECT_EQ(lib.camera(), nullptr);
        const DeviceConnection& conn = device.connection();
        const DeviceTexts& texts = device.texts();
        EXPECT_EQ(peer.remembered_port, 2u);
        EXPECT_EQ(conn.port_number, 2u);
        EXPECT_EQ(conn.vid, 0x2C7E);
        EXPECT_EQ(conn.pid, 0x6363);
        EXPECT_EQ(conn.rev, 0x0202);
        EXPECT_EQ(conn.chip_identity, (std::array<uint8_t, 2>{0x10, 0xC0}));
        EXPECT_EQ(texts.manufacturer, "SN-PORT2");
        EXPECT_EQ(texts.vid_pid, "VID_2C7E&PID_6363");
        EXPECT_EQ(texts.identity_label, "VID_2C7E&PID_6363&REV_0202");
        if (selector.selected != -1) {
            EXPECT_EQ(selector.SelectedText(), "VID_2C7E&PID_6363&REV_0202");
        }
    }
}

TEST_F(DiscoverySimTest, PortLockWritesPortNo) {
    Plug(1, 0x1111);
    Plug(2, 0x6363);
    Plug(3, 0x6363);
    test::WriteFile(dir.File("VidPidList.ini"), "VID_2C7E&PID_6363\r\n");
    Config("LockPort", 1);
    ASSERT_EQ(device.DEV_OpenDeviceByVIDPID(), 1);
    EXPECT_EQ(process.ConfigInt("PortNo", 0), 2);
    device.DEV_CloseDevice();

    Config("PortNo", 3);
    ASSERT_EQ(device.DEV_OpenDeviceByVIDPID(), 1);
    uint32_t port = 0;
    uint64_t hub = 0;
    ASSERT_EQ(lib.CamLib_GetPortLocation(lib.handle(), &port, &hub), 1);
    EXPECT_EQ(port, 3u);
}

TEST_F(DiscoverySimTest, LibraryFunctionsReachTheCamera) {
    auto camera = Plug(1, 0x6363);
    const uint64_t h = lib.CamLib_OpenDevice(0);
    ASSERT_NE(h, 0u);
    std::string text;
    ASSERT_EQ(lib.CamLib_GetSerialString(&text), 1);
    EXPECT_EQ(text, "SN0001");
    ASSERT_EQ(lib.CamLib_GetManufacturerString(&text), 1);
    EXPECT_EQ(text, "Fixture Maker");
    uint8_t status[104] = {};
    ASSERT_EQ(lib.CamLib_GetDevStatus(h, status, 0), 1);
    EXPECT_EQ(status[64] & 0x0F, 1);  // runs its code
    ASSERT_EQ(lib.CamLib_ReadDeviceProperties(h, 0, status, 0), 1);
    uint16_t size = 64;
    ASSERT_EQ(lib.CamLib_ChangeDataControlSize(h, &size), 1);
    EXPECT_EQ(size, 64);
    EXPECT_EQ(lib.CamLib_ProbeMipiBridge(h), 0);
    uint8_t chip[2] = {};
    ASSERT_EQ(lib.CamLib_ReadMem(h, 0xFE21, 2, chip, 0x20), 1);
    EXPECT_EQ(device.DEV_OpenDeviceByICIni(0), 1);
}

// The chip identity as the device flow reads it from the registers at 0xFE21/0xFE22 of
// cameras whose chips answer the odd values some chips do.
TEST_F(DiscoverySimTest, ChipIdentityReadFromTheRegisters) {
    struct Case {
        uint8_t fe21, fe22;
        std::array<uint8_t, 2> identity;
    } const cases[] = {
        {0x00, 0x60, {0xFF, 0xFF}},  // the chip cannot tell who it is
        {0x00, 0x61, {0x00, 0x60}},  // only exactly 0x00 0x60 is unknown
        {0x01, 0x60, {0x00, 0x60}},
        {0x01, 0x47, {0x00, 0x50}},  // 0x01 0x4x is the other chip of the shared value
        {0x01, 0x40, {0x00, 0x50}},
        {0x00, 0x4F, {0x00, 0x40}},
        {0x0E, 0x43, {0x0E, 0x40}},  // second read: byte 0 unmasked
        {0x10, 0xC5, {0x10, 0xC0}},
        {0x21, 0x0A, {0x20, 0x00}},
    };
    const size_t count = std::size(cases);
    for (size_t i = 0; i < count; ++i)
        Plug(static_cast<uint8_t>(i + 1), 0x6363, [&c = cases[i]](sim::SimSettings& s) {
            s.chip_id_fe21 = c.fe21;
            s.chip_id_fe22 = c.fe22;
        });
    ASSERT_EQ(lib.CamLib_Init(0), 1);
    ASSERT_EQ(lib.CamLib_GetDeviceCount(), static_cast<int>(count));
    for (size_t i = 0; i < count; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::Message() << std::hex << "0x" << int{c.fe21} << " 0x" << int{c.fe22});
        ASSERT_EQ(device.DEV_OpenDeviceByICIni(static_cast<int>(i)), 1);
        uint32_t port = 0;
        uint64_t hub = 0;
        ASSERT_EQ(lib.CamLib_GetPortLocation(lib.handle(), &port, &hub), 1);
        ASSERT_EQ(port, i + 1);  // the camera of this case
        EXPECT_EQ(device.connection().chip_identity, c.identity);
        device.DEV_CloseDevice();
    }
}

// Into update mode and back to the code, through both reset paths: the same camera is found
// again by its port, the handle is refreshed, and the wait costs the camera's own 300 ms.
TEST_F(DiscoverySimTest, ResetToUpdateModeAndBackOverDirectUsb) {
    Plug(1, 0x1111);
    auto camera = Plug(2, 0x6363);
    ASSERT_EQ(lib.CamLib_Init(0), 1);
    ASSERT_EQ(lib.CamLib_GetLibType(), 0);
    ResetToUpdateModeAndBack(camera);
}

TEST_F(DiscoverySimTest, ResetToUpdateModeAndBackOverTheKernelDriver) {
    Plug(1, 0x1111, [](sim::SimSettings& s) { s.direct_access = false; });
    auto camera = Plug(2, 0x6363, [](sim::SimSettings& s) { s.direct_access = false; });
    ASSERT_EQ(lib.CamLib_Init(0), 1);
    ASSERT_EQ(lib.CamLib_GetLibType(), 1);
    ResetToUpdateModeAndBack(camera);
}

}  // namespace
}  // namespace orbisk
