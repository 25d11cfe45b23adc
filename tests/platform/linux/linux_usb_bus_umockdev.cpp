// The real libusb, libudev and V4L2 backends against an emulated kernel (umockdev).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/linux/emulated_kernel.h"
#include "platform/linux/fake_camera.h"
#include "platform/linux/linux_usb_bus.h"

namespace orbisk::test {
namespace {

constexpr uint8_t kUnit = 4;
constexpr uint8_t kGuid[16] = {0xA1, 0x27, 0x0C, 0x5E, 0xD4, 0x93, 0x2F, 0x4B,
                               0x8C, 0x21, 0x7A, 0x4D, 0x0E, 0x6B, 0x3F, 0x95};
constexpr uint32_t kTimeout = 1000;
constexpr uint32_t kXuControls = (1u << 9) | (1u << 10);  // selectors 10 and 11

class LinuxBackendTest : public ::testing::Test {
  protected:
    LinuxBackendTest()
        : camera_(DeviceDescriptor(0x2C7E, 0x6363, 0x0011),
                  CameraConfigDescriptor(0, kUnit, kGuid, 0x00, 0x06), kUnit) {}

    // A camera on port 3 of the hub on port 2 of bus 1.
    int PlugCamera(FakeCamera& model, std::vector<uint8_t> ports = {2, 3}, uint8_t address = 5,
                   bool camera_driver = true, int video_index = 0) {
        EmulatedCameraShape shape;
        shape.ports = std::move(ports);
        shape.address = address;
        shape.device_descriptor = DeviceDescriptor(0x2C7E, 0x6363, 0x0011);
        shape.config_descriptor = CameraConfigDescriptor(0, kUnit, kGuid, 0x00, 0x06);
        shape.manufacturer = "Maker";
        shape.product = "Test Camera";
        shape.serial = "SN0001";
        shape.camera_driver = camera_driver;
        shape.video_index = video_index;
        shape.xu_unit = kUnit;
        shape.xu_controls = kXuControls;
        return kernel_.AddCamera(shape, &model);
    }

    void StartBus() {
        bus_ = LinuxUsbBus::Create();
        ASSERT_NE(bus_, nullptr);
    }

    uint64_t CameraHandle() const { return NodeHandleFor(1, {2, 3}); }

    // Declared in the order they must outlive each other: the models outlive the kernel (its
    // handlers may still report a closed file), the kernel outlives libusb.
    FakeCamera camera_;
    FakeCamera other_{DeviceDescriptor(0x2C7E, 0x6363, 0x0011), {}, kUnit};
    EmulatedKernel kernel_;
    std::unique_ptr<LinuxUsbBus> bus_;
};

TEST_F(LinuxBackendTest, ListsDevicesWithPortsSpeedDescriptorsAndDriver) {
    kernel_.AddHub(1, {2}, 2);
    PlugCamera(camera_);
    PlugCamera(other_, {4}, 7, /*camera_driver=*/false);
    StartBus();

    const std::vector<UsbDeviceInfo> devices = bus_->List();
    auto find = [&](const std::string& path) {
        auto it = std::find_if(devices.begin(), devices.end(),
                               [&](const UsbDeviceInfo& d) { return d.path == path; });
        EXPECT_NE(it, devices.end()) << path;
        return it == devices.end() ? UsbDeviceInfo{} : *it;
    };
    EXPECT_EQ(devices.size(), 4u);  // root hub, hub, two cameras
    const UsbDeviceInfo camera = find("1-2.3");
    EXPECT_EQ(camera.vid, 0x2C7E);
    EXPECT_EQ(camera.pid, 0x6363);
    EXPECT_EQ(camera.rev, 0x0011);
    EXPECT_EQ(camera.bus, 1);
    EXPECT_EQ(camera.port_chain, (std::vector<uint8_t>{2, 3}));
    EXPECT_EQ(camera.port(), 3);
    EXPECT_EQ(camera.speed, 3);
    EXPECT_EQ(camera.node_handle, CameraHandle());
    EXPECT_EQ(camera.device_descriptor, DeviceDescriptor(0x2C7E, 0x6363, 0x0011));
    EXPECT_EQ(camera.config_descriptor, CameraConfigDescriptor(0, kUnit, kGuid, 0x00, 0x06));
    EXPECT_EQ(camera.manufacturer, "Maker");
    EXPECT_EQ(camera.product, "Test Camera");
    EXPECT_EQ(camera.serial, "SN0001");
    EXPECT_TRUE(camera.has_camera_driver);
    const UsbDeviceInfo plain = find("1-4");
    EXPECT_EQ(plain.port_chain, (std::vector<uint8_t>{4}));
    EXPECT_FALSE(plain.has_camera_driver);
    EXPECT_TRUE(find("usb1").port_chain.empty());
    // Ordered by node handle, so the same devices list the same way every time.
    EXPECT_TRUE(std::is_sorted(devices.begin(), devices.end(), [](const auto& a, const auto& b) {
        return a.node_handle < b.node_handle;
    }));
}

TEST_F(LinuxBackendTest, DescriptorAndVendorRequestsReachTheDevice) {
    kernel_.AddHub(1, {2}, 2);
    PlugCamera(camera_);
    StartBus();
    auto handle = bus_->Open(CameraHandle());
    ASSERT_NE(handle, nullptr);

    uint8_t descriptor[18] = {};
    uint32_t got = 0;
    ASSERT_EQ(handle->GetDescriptor(1, 0, 0, descriptor, sizeof descriptor, &got), kOk);
    EXPECT_EQ(got, 18u);
    EXPECT_EQ(std::vector<uint8_t>(descriptor, descriptor + 18),
              DeviceDescriptor(0x2C7E, 0x6363, 0x0011));
    std::string product;
    ASSERT_EQ(handle->GetStringDescriptor(2, &product), kOk);
    EXPECT_EQ(product, "Test Camera");

    uint8_t written[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(handle->ControlTransfer(0x40, FakeCamera::kVendorWrite, 0, 0x10, written, 5, kTimeout,
                                      &got),
              kOk);
    EXPECT_EQ(got, 5u);
    uint8_t read[5] = {};
    ASSERT_EQ(
        handle->ControlTransfer(0xC0, FakeCamera::kVendorRead, 0, 0x10, read, 5, kTimeout, &got),
        kOk);
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(std::vector<uint8_t>(read, read + 5), std::vector<uint8_t>(written, written + 5));
    // A request the device refuses stalls: EPIPE.
    EXPECT_EQ(handle->ControlTransfer(0xC0, 0x55, 0, 0, read, 1, kTimeout, &got),
              ResultFromErrno(EPIPE));
}

TEST_F(LinuxBackendTest, ClassRequestsNeedTheInterfaceAndGiveTheDriverBack) {
    kernel_.AddHub(1, {2}, 2);
    const int id = PlugCamera(camera_);
    StartBus();
    const uint16_t index = kUnit << 8;  // interface 0
    uint8_t cmd[8] = {0x00, 0xD0, 0, 0, 8, 0, 0, 0};
    uint32_t got = 0;
    {
        auto handle = bus_->Open(CameraHandle());
        ASSERT_NE(handle, nullptr);
        // While the camera driver holds the interface the request cannot go out.
        EXPECT_NE(handle->ControlTransfer(0x21, 0x01, 10 << 8, index, cmd, 8, kTimeout, &got), kOk);
        ASSERT_EQ(handle->ClaimInterface(0), kOk);
        EXPECT_FALSE(kernel_.DriverBound(id));
        EXPECT_TRUE(kernel_.InterfaceClaimed(id, 0));
        ASSERT_EQ(handle->ControlTransfer(0x21, 0x01, 10 << 8, index, cmd, 8, kTimeout, &got), kOk);
        uint8_t status[8] = {};
        ASSERT_EQ(handle->ControlTransfer(0xA1, 0x81, 10 << 8, index, status, 8, kTimeout, &got),
                  kOk);
        EXPECT_EQ(std::vector<uint8_t>(status, status + 8), std::vector<uint8_t>(cmd, cmd + 8));
        uint8_t length[2] = {};
        ASSERT_EQ(handle->ControlTransfer(0xA1, 0x85, 11 << 8, index, length, 2, kTimeout, &got),
                  kOk);
        EXPECT_EQ(length[0] | (length[1] << 8), 8);
    }
    EXPECT_TRUE(kernel_.DriverBound(id));
    EXPECT_FALSE(kernel_.InterfaceClaimed(id, 0));
}

TEST_F(LinuxBackendTest, UnansweredRequestEndsWithTimeOut) {
    kernel_.AddHub(1, {2}, 2);
    PlugCamera(camera_);
    StartBus();
    auto handle = bus_->Open(CameraHandle());
    ASSERT_NE(handle, nullptr);
    uint8_t reply[4] = {};
    uint32_t got = 99;
    EXPECT_EQ(handle->ControlTransfer(0xC0, FakeCamera::kNeverAnswered, 0, 0, reply, 4, 20, &got),
              ResultFromErrno(ETIMEDOUT));
    EXPECT_EQ(got, 0u);
    // The handle is still usable afterwards.
    EXPECT_EQ(
        handle->ControlTransfer(0xC0, FakeCamera::kVendorRead, 0, 0, reply, 4, kTimeout, &got),
        kOk);
}

TEST_F(LinuxBackendTest, VanishedDeviceGivesDeviceNotConnected) {
    kernel_.AddHub(1, {2}, 2);
    const int id = PlugCamera(camera_);
    StartBus();
    auto handle = bus_->Open(CameraHandle());
    ASSERT_NE(handle, nullptr);
    kernel_.Unplug(id);
    uint8_t reply[4] = {};
    uint32_t got = 0;
    EXPECT_EQ(
        handle->ControlTransfer(0xC0, FakeCamera::kVendorRead, 0, 0, reply, 4, kTimeout, &got),
        kDeviceGone);
    handle.reset();
    EXPECT_EQ(bus_->Open(CameraHandle()), nullptr);
    EXPECT_EQ(bus_->OpenCameraDriver(CameraHandle()), nullptr);
}

TEST_F(LinuxBackendTest, HotPlugIsSeenAndTheCameraComesBackOnItsPort) {
    kernel_.AddHub(1, {2}, 2);
    const int id = PlugCamera(camera_);
    StartBus();
    EXPECT_FALSE(bus_->WaitForChange(0));
    auto before = bus_->Open(CameraHandle());
    ASSERT_NE(before, nullptr);

    kernel_.Unplug(id);
    EXPECT_TRUE(bus_->WaitForChange(kTimeout));
    EXPECT_FALSE(bus_->WaitForChange(0));  // drained
    for (const UsbDeviceInfo& d : bus_->List()) EXPECT_NE(d.node_handle, CameraHandle());

    // It comes back as a reset camera does: another address, the identity of its new code.
    EmulatedCameraShape shape = kernel_.Shape(id);
    shape.address = 9;
    shape.device_descriptor = DeviceDescriptor(0x2C7E, 0x6364, 0x0012);
    kernel_.SetShape(id, shape);
    kernel_.Plug(id);
    EXPECT_TRUE(bus_->WaitForChange(kTimeout));
    std::vector<UsbDeviceInfo> found;
    for (const UsbDeviceInfo& d : bus_->List())
        if (d.node_handle == CameraHandle()) found.push_back(d);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].pid, 0x6364);
    EXPECT_EQ(found[0].rev, 0x0012);

    auto after = bus_->Open(CameraHandle());
    ASSERT_NE(after, nullptr);
    uint8_t reply[2] = {};
    uint32_t got = 0;
    EXPECT_EQ(after->ControlTransfer(0xC0, FakeCamera::kVendorRead, 0, 0, reply, 2, kTimeout, &got),
              kOk);
    // A handle from before the reset stays dead.
    EXPECT_EQ(
        before->ControlTransfer(0xC0, FakeCamera::kVendorRead, 0, 0, reply, 2, kTimeout, &got),
        kDeviceGone);
}

TEST_F(LinuxBackendTest, DirectAccessNeedsRightsOnTheUsbNode) {
    const int permitted = PlugCamera(camera_, {1}, 3);
    const int refused = PlugCamera(other_, {2}, 4, true, 1);
    StartBus();
    kernel_.SetUsbfsMode(permitted, 0666);
    kernel_.SetUsbfsMode(refused, 0600);
    // Root may open anything: ask as an ordinary user, as the tool usually runs.
    const bool as_root = ::geteuid() == 0;
    if (as_root) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    const bool may_open_permitted = bus_->CanOpenDirectly(NodeHandleFor(1, {1}));
    const bool may_open_refused = bus_->CanOpenDirectly(NodeHandleFor(1, {2}));
    if (as_root) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    EXPECT_TRUE(may_open_permitted);
    EXPECT_FALSE(may_open_refused);
    EXPECT_FALSE(bus_->CanOpenDirectly(NodeHandleFor(1, {7})));  // nothing there
}

}  // namespace
}  // namespace orbisk::test
