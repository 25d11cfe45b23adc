// The serial-flash update of the command line through the real Linux backends: the simulated
// camera sits behind the emulated kernel, and the device object updates it through "Lib Type" 0
// (libusb) and "Lib Type" 1 (the camera driver's V4L2 face).
#include <gtest/gtest.h>
#include <unistd.h>

#include "base/process.h"
#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"
#include "catalogue/ic_type_ini.h"
#include "device/spi_flash_info_usb.h"
#include "image/demo_image.h"
#include "platform/device_lock.h"
#include "platform/linux/emulated_sim_bus.h"
#include "sim/sim_image.h"
#include "support/tool_core.h"

namespace orbisk::test {
namespace {

// The whole tool of the command line, on the real Linux bus.
struct LinuxRig : ToolCore {
    explicit LinuxRig(int lib_type)
        : lock_name("orbisk-test-update-" + std::to_string(::getpid())),
          factory(bus, logger, OpenDeviceLock(lock_name)) {
        process.config.SetValue(kConfigSection, "SaveSN", "1");
        process.config.SetValue(kConfigSection, "Lib Type", std::to_string(lib_type));
        sim::SimSettings settings;
        settings.app_mode = true;
        settings.flash_status = sim::kProtectedFlashStatus;
        camera =
            std::make_shared<sim::SimCamera>(settings, MakeDemoImage(OldFirmware()), camera_clock);
        bus.AddCamera(camera);
        started = bus.Start();
        camlib.CamLib_Init(lib_type);
        profiles.BuildProfileList();
        profiles.SelectDefaultProfile();
        device = std::make_unique<CSPIFlashInfo_USB>(process, camlib, profiles);
    }
    ~LinuxRig() {
        device.reset();
        RemoveDeviceLock(lock_name);
    }

    std::string lock_name;
    EmulatedKernel kernel;
    EmulatedSimBus bus{kernel, clock};
    std::shared_ptr<sim::SimCamera> camera;
    bool started = false;
    UsbTransportFactory factory;
    CamLib camlib{process, bus, factory};
    CICTypeIni profiles{process};
    std::unique_ptr<CFlashInfo> device;
};

class UpdateTest : public ::testing::TestWithParam<int> {};

TEST_P(UpdateTest, DownloadLeavesTheNewImageRunningWithTheSerialNumberKept) {
    LinuxRig rig(GetParam());
    ASSERT_TRUE(rig.started);
    EXPECT_EQ(rig.camlib.CamLib_GetLibType(), GetParam());
    ASSERT_TRUE(OpenForUpdate(*rig.device, rig.profiles, MakeDemoImage(NewFirmware())))
        << rig.log.Joined();

    ASSERT_EQ(rig.device->Download(), 1) << rig.log.Joined();

    const std::vector<uint8_t> memory = rig.camera->Memory();
    EXPECT_EQ(memory, rig.device->images().front);
    const sim::ImageFacts facts =
        sim::ReadImageFacts(memory, DemoLayout::kConfigAddress, DemoLayout::kTagAddress);
    EXPECT_TRUE(facts.tagged);
    EXPECT_EQ(facts.version(), 0x1060);
    EXPECT_EQ(facts.identity.manufacturer, "SN-CAM-000042");
    EXPECT_TRUE(rig.camera->AppMode());
    EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{41755});
    EXPECT_TRUE(rig.sink.codes(kReportFailure).empty());
    EXPECT_EQ(rig.process.status.Code(), 0u);
}

INSTANTIATE_TEST_SUITE_P(LibType, UpdateTest, ::testing::Values(0, 1),
                         [](const auto& info) { return "LibType" + std::to_string(info.param); });

}  // namespace
}  // namespace orbisk::test
