// IP cameras in the function library: listed after the USB cameras, opened by index.
#include <gtest/gtest.h>
#include <unistd.h>

#include "base/logger.h"
#include "base/process.h"
#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"
#include "platform/tuning_lock.h"
#include "sim/sim_bus.h"
#include "sim/sim_fixture.h"
#include "support/net_camera_rig.h"
#include "support/recorders.h"
#include "transport/ip_cam_vendor_cmd.h"

namespace orbisk {
namespace {

sim::SimSettings IpCameraSettings() {
    sim::SimSettings settings;
    settings.chip_id_fe21 = 0x47;
    settings.chip_id_fe22 = 0x01;
    settings.rom = sim::SimSettings::DefaultRomIdentity(settings.Profile());
    settings.rom.serial = "SN-NET-1";
    return settings;
}

class CamLibIpTest : public ::testing::Test {
  protected:
    CamLibIpTest() : lock_name_("orbisk-test-camlib-ip-" + std::to_string(getpid())) {
        bus_.AddCamera(std::make_shared<sim::SimCamera>(sim::test::AppSettings(),
                                                        sim::test::BuildImage(), clock_));
        factory_.EnableIpCameras(rig_.network(), OpenTuningLock(lock_name_ + "-tuning"));
        lib_.CamLib_Init(0);
    }
    ~CamLibIpTest() override {
        lib_.CamLib_Close();
        RemoveDeviceLock(lock_name_);
        RemoveDeviceLock(lock_name_ + "-tuning");
    }

    test::NetCameraRig rig_{IpCameraSettings()};
    std::string lock_name_;
    VirtualClock clock_;
    test::RecordingLogSink log_;
    Logger logger_{clock_, &log_};
    Process process_{clock_, logger_};
    sim::SimUsbBus bus_{clock_};
    UsbTransportFactory factory_{bus_, logger_, OpenDeviceLock(lock_name_)};
    CamLib lib_{process_, bus_, factory_};
};

TEST_F(CamLibIpTest, IpCamerasFollowTheUsbCamerasAndOpenByIndex) {
    lib_.CamLib_SetIpCameras({rig_.Address(), "rtsp://" + test::UnusedLoopbackHost() + ":554/",
                              "rtsp://" + rig_.host() + "/no-port"});
    EXPECT_EQ(lib_.CamLib_GetDeviceCount(), 1);
    EXPECT_EQ(lib_.CamLib_GetIpCameraCount(), 3u);

    const uint64_t usb = lib_.CamLib_OpenDevice(0);
    ASSERT_NE(usb, 0u);
    EXPECT_EQ(lib_.CamLib_IpCamera(), nullptr);
    lib_.CamLib_Close();

    const uint64_t handle = lib_.CamLib_OpenDevice(1);
    ASSERT_NE(handle, 0u);
    EXPECT_NE(handle, usb);
    const CameraCapabilityRecord* cap = lib_.camera()->capability();
    ASSERT_NE(cap, nullptr);
    EXPECT_TRUE(cap->ip_camera);
    EXPECT_TRUE(cap->supported);
    // The chip identity the camera named (command 15) when its record was built.
    EXPECT_EQ(cap->chip_identity(), 0x0147);
    CIpCamVendorCmd* ip = lib_.CamLib_IpCamera();
    ASSERT_NE(ip, nullptr);
    uint8_t serial[16] = {};
    ASSERT_EQ(ip->IpCamGet13(serial, sizeof serial), kOk);
    EXPECT_STREQ(reinterpret_cast<char*>(serial), "SN-NET-1");
    // The transport went on with the record's connection.
    EXPECT_EQ(rig_.server().Connections(), 1u);
    // A USB update's forwarding functions find no transport on it.
    uint8_t status[104] = {};
    EXPECT_EQ(lib_.CamLib_GetDevStatus(handle, status, 0), 0);
    lib_.CamLib_Close();

    // Nothing answers there; the address without a port names no camera.
    EXPECT_EQ(lib_.CamLib_OpenDevice(2), 0u);
    EXPECT_EQ(lib_.camera(), nullptr);
    EXPECT_EQ(lib_.CamLib_OpenDevice(3), 0u);
    EXPECT_TRUE(log_.Contains("RTSP address is wrong!"));
    int past = 4;
    EXPECT_EQ(lib_.CamLib_OpenDeviceAt(&past), 0u);
    EXPECT_EQ(past, -1);
    // Without IP cameras named, index 1 is past the end.
    lib_.CamLib_SetIpCameras({});
    EXPECT_EQ(lib_.CamLib_OpenDevice(1), 0u);
}

}  // namespace
}  // namespace orbisk
