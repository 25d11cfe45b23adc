// The real libusb and V4L2 paths of the tool against the simulated camera, through the
// emulated kernel.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/linux/emulated_sim_bus.h"
#include "sim/sim_fixture.h"

namespace orbisk::test {
namespace {

constexpr uint8_t kUnit = 4;  // the simulated camera's extension unit
const uint64_t kCamera = NodeHandleFor(1, {1});

class SimOverKernelTest : public ::testing::Test {
  protected:
    SimOverKernelTest()
        : camera_(std::make_shared<sim::SimCamera>(sim::SimSettings{}, sim::test::BuildImage(),
                                                   clock_)),
          bus_(kernel_, clock_) {
        bus_.AddCamera(camera_);
    }

    void SetUp() override { ASSERT_TRUE(bus_.Start()); }

    UsbDeviceInfo Find() {
        for (const UsbDeviceInfo& info : bus_.List())
            if (info.node_handle == kCamera) return info;
        ADD_FAILURE() << "camera not listed";
        return {};
    }

    VirtualClock clock_;
    std::shared_ptr<sim::SimCamera> camera_;
    EmulatedKernel kernel_;
    EmulatedSimBus bus_;
};

TEST_F(SimOverKernelTest, ListsTheCameraAsItPresentsItself) {
    const UsbDeviceInfo info = Find();
    const UsbDeviceInfo own = camera_->ListEntries().front();
    EXPECT_EQ(info.vid, 0x2C7E);  // the boot ROM's identity
    EXPECT_EQ(info.pid, own.pid);
    EXPECT_EQ(info.port_chain, std::vector<uint8_t>{1});
    EXPECT_EQ(info.device_descriptor, own.device_descriptor);
    EXPECT_EQ(info.config_descriptor, own.config_descriptor);
    EXPECT_EQ(info.product, own.product);
    EXPECT_TRUE(info.has_camera_driver);
    EXPECT_TRUE(bus_.CanOpenDirectly(kCamera));
}

TEST_F(SimOverKernelTest, KernelDriverFaceKeepsTheLengthItLearned) {
    auto control = bus_.OpenCameraDriver(kCamera);
    ASSERT_NE(control, nullptr);
    uint8_t packet[64] = {};
    uint16_t length = 0;
    ASSERT_EQ(control->GetLen(kUnit, 11, &length), kOk);  // the driver learns 8
    EXPECT_EQ(length, 8);
    const uint8_t grow[8] = {0x00, 0x16, 0, 0, 64, 0, 0, 0};
    ASSERT_EQ(control->SetCur(kUnit, 10, grow, 8), kOk);
    ASSERT_EQ(control->GetLen(kUnit, 11, &length), kOk);
    EXPECT_EQ(length, 64);  // the camera agreed
    EXPECT_EQ(control->GetCur(kUnit, 11, packet, 64), ResultFromErrno(ENOBUFS));
    EXPECT_EQ(control->GetCur(kUnit + 1, 11, packet, 8), ResultFromErrno(ENOENT));
}

}  // namespace
}  // namespace orbisk::test
