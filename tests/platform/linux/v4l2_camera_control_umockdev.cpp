// The V4L2 backend of the kernel camera driver against an emulated kernel (umockdev).
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/linux/emulated_kernel.h"
#include "platform/linux/fake_camera.h"
#include "platform/linux/linux_usb_bus.h"

namespace orbisk::test {
namespace {

constexpr uint8_t kUnit = 4;
constexpr uint8_t kGuid[16] = {0xA1, 0x27, 0x0C, 0x5E, 0xD4, 0x93, 0x2F, 0x4B,
                               0x8C, 0x21, 0x7A, 0x4D, 0x0E, 0x6B, 0x3F, 0x95};

class CameraDriverTest : public ::testing::Test {
  protected:
    CameraDriverTest()
        : camera_(DeviceDescriptor(0x2C7E, 0x6363, 0x0011),
                  CameraConfigDescriptor(1, kUnit, kGuid, 0x00, 0x06), kUnit) {}

    int Plug(FakeCamera& model, uint8_t port, uint8_t address, bool driver, int video_index) {
        EmulatedCameraShape shape;
        shape.ports = {port};
        shape.address = address;
        shape.device_descriptor = DeviceDescriptor(0x2C7E, 0x6363, 0x0011);
        shape.config_descriptor = CameraConfigDescriptor(1, kUnit, kGuid, 0x00, 0x06);
        shape.camera_driver = driver;
        shape.vc_interface = 1;
        shape.video_index = video_index;
        shape.xu_unit = kUnit;
        shape.xu_controls = (1u << 9) | (1u << 10);
        return kernel_.AddCamera(shape, &model);
    }

    // The models outlive the kernel: its handlers may still report a closed file.
    FakeCamera camera_;
    FakeCamera other_{DeviceDescriptor(0x2C7E, 0x6363, 0x0011), {}, kUnit};
    EmulatedKernel kernel_;
};

TEST_F(CameraDriverTest, FindsTheVideoNodeOfEachCameraAndMovesControls) {
    Plug(other_, 1, 4, true, 0);
    Plug(camera_, 3, 6, true, 2);
    auto bus = LinuxUsbBus::Create();
    ASSERT_NE(bus, nullptr);
    auto driver = bus->OpenCameraDriver(NodeHandleFor(1, {3}));
    ASSERT_NE(driver, nullptr);

    uint16_t length = 0;
    ASSERT_EQ(driver->GetLen(kUnit, 11, &length), kOk);
    EXPECT_EQ(length, 8);
    const uint8_t packet[8] = {9, 8, 7, 6, 5, 4, 3, 2};
    ASSERT_EQ(driver->SetCur(kUnit, 11, packet, 8), kOk);
    EXPECT_EQ(camera_.data, std::vector<uint8_t>(packet, packet + 8));  // reached this camera
    EXPECT_TRUE(other_.requests.empty());
    uint8_t back[8] = {};
    ASSERT_EQ(driver->GetCur(kUnit, 11, back, 8), kOk);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 8), std::vector<uint8_t>(packet, packet + 8));
    // The class requests the driver sent carry the unit and the video-control interface.
    EXPECT_EQ(camera_.requests.back().index, (kUnit << 8) | 1);
    EXPECT_EQ(camera_.requests.back().value, 11 << 8);
}

TEST_F(CameraDriverTest, DriverKeepsTheLengthItLearnedFirst) {
    Plug(camera_, 1, 4, true, 0);
    auto bus = LinuxUsbBus::Create();
    auto driver = bus->OpenCameraDriver(NodeHandleFor(1, {1}));
    ASSERT_NE(driver, nullptr);
    uint8_t packet[64] = {};
    ASSERT_EQ(driver->GetCur(kUnit, 11, packet, 8), kOk);  // the driver learns 8

    const uint8_t grow[8] = {0x00, 0x16, 0, 0, 64, 0, 0, 0};
    ASSERT_EQ(driver->SetCur(kUnit, 10, grow, 8), kOk);
    uint16_t length = 0;
    ASSERT_EQ(driver->GetLen(kUnit, 11, &length), kOk);
    EXPECT_EQ(length, 64);  // what the device says now
    EXPECT_EQ(driver->GetCur(kUnit, 11, packet, 64), ResultFromErrno(ENOBUFS));
    EXPECT_EQ(driver->SetCur(kUnit, 11, packet, 64), ResultFromErrno(ENOBUFS));
}

TEST_F(CameraDriverTest, RefusedQueriesMapToTheirErrors) {
    Plug(camera_, 1, 4, true, 0);
    auto bus = LinuxUsbBus::Create();
    auto driver = bus->OpenCameraDriver(NodeHandleFor(1, {1}));
    ASSERT_NE(driver, nullptr);
    uint8_t packet[8] = {};
    uint16_t length = 0;
    struct Case {
        const char* what;
        HResult result;
    } cases[] = {
        {"unknown unit", driver->GetCur(kUnit + 1, 11, packet, 8)},
        {"unknown selector", driver->GetLen(kUnit, 3, &length)},
        {"wrong size", driver->GetCur(kUnit, 10, packet, 4)},
    };
    EXPECT_EQ(cases[0].result, ResultFromErrno(ENOENT)) << cases[0].what;
    EXPECT_EQ(cases[1].result, ResultFromErrno(ENOENT)) << cases[1].what;
    EXPECT_EQ(cases[2].result, ResultFromErrno(ENOBUFS)) << cases[2].what;
}

TEST_F(CameraDriverTest, CameraWithoutDriverOrGoneHasNoDriverFace) {
    const int id = Plug(camera_, 1, 4, true, 0);
    Plug(other_, 2, 5, false, 1);
    auto bus = LinuxUsbBus::Create();
    EXPECT_EQ(bus->OpenCameraDriver(NodeHandleFor(1, {2})), nullptr);
    auto driver = bus->OpenCameraDriver(NodeHandleFor(1, {1}));
    ASSERT_NE(driver, nullptr);
    kernel_.Unplug(id);
    uint8_t packet[8] = {};
    EXPECT_EQ(driver->GetCur(kUnit, 11, packet, 8), kDeviceGone);
}

}  // namespace
}  // namespace orbisk::test
