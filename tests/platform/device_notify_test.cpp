#include "platform/device_notify.h"

#include <gtest/gtest.h>

namespace orbisk {
namespace {

UsbDeviceInfo Device(uint16_t pid, std::vector<uint8_t> ports, bool camera = true) {
    UsbDeviceInfo d;
    d.vid = 0x0C45;
    d.pid = pid;
    d.bus = 1;
    d.port_chain = std::move(ports);
    d.node_handle = NodeHandleFor(d.bus, d.port_chain);
    d.has_camera_driver = camera;
    return d;
}

// A bus whose listing the test changes; a change is signalled once per edit.
class ScriptedBus final : public UsbBus {
  public:
    std::vector<UsbDeviceInfo> devices;
    bool changed = false;
    std::vector<UsbDeviceInfo> List() override { return devices; }
    std::unique_ptr<UsbDeviceHandle> Open(uint64_t) override { return nullptr; }
    std::unique_ptr<CameraDriverControl> OpenCameraDriver(uint64_t) override { return nullptr; }
    bool CanOpenDirectly(uint64_t) override { return false; }
    bool WaitForChange(uint32_t) override { return std::exchange(changed, false); }
};

std::vector<DeviceChange> Drain(DeviceNotifier& notifier) {
    std::vector<DeviceChange> out;
    DeviceChange change;
    while (notifier.Next(0, &change)) out.push_back(change);
    return out;
}

TEST(DeviceNotify, InstanceIdIsFoundInTheSameCamerasInterfaceNameOnly) {
    const auto camera = Device(0x6366, {2, 3});
    EXPECT_EQ(CameraInterfaceName(camera),
              "\\\\?\\USB#VID_0C45&PID_6366&MI_00#1-2.3&0#{65E8773D-8F56-11D0-A3B9-00A0C9223196}");
    EXPECT_EQ(CameraInstanceId(camera), "USB#VID_0C45&PID_6366&MI_00#1-2.3&0");
    EXPECT_NE(CameraInterfaceName(camera).find(CameraInstanceId(camera)), std::string::npos);
    // Same model on another port, and a port whose path only starts the same way.
    auto on_bus_11 = camera;
    on_bus_11.bus = 11;
    for (const auto& other : {Device(0x6366, {2, 4}), Device(0x6366, {2, 3, 1}), on_bus_11})
        EXPECT_EQ(CameraInterfaceName(other).find(CameraInstanceId(camera)), std::string::npos)
            << CameraInterfaceName(other);
}

TEST(DeviceNotify, VideoClassFromTheConfigurationDescriptor) {
    auto device = Device(0x6366, {1}, false);
    EXPECT_FALSE(IsVideoDevice(device));
    // Configuration (9 bytes), then an interface of class 0x0E.
    device.config_descriptor = {9, 2, 18, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 1, 0x0E, 1, 0, 0};
    EXPECT_TRUE(IsVideoDevice(device));
    // A descriptor that claims more than there is ends the walk instead of reading past it.
    device.config_descriptor = {9, 2, 18, 0, 1, 1, 0, 0x80, 50, 40, 4, 0, 0, 1, 0x0E};
    EXPECT_FALSE(IsVideoDevice(device));
    device.config_descriptor = {0, 4};
    EXPECT_FALSE(IsVideoDevice(device));
}

TEST(BusDeviceNotifier, NamesArrivalsAndRemovalsFromTheBusListings) {
    ScriptedBus bus;
    bus.devices = {Device(0x6366, {2}), Device(0x1234, {3}, false)};
    BusDeviceNotifier notifier(bus);
    EXPECT_TRUE(Drain(notifier).empty());  // what was there at the start is no news

    bus.devices.push_back(Device(0x6367, {4}));
    bus.changed = true;
    auto changes = Drain(notifier);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].kind, DeviceChangeKind::kNodesChanged);
    EXPECT_EQ(changes[1].kind, DeviceChangeKind::kArrival);
    EXPECT_TRUE(changes[1].camera_interface);
    EXPECT_EQ(changes[1].interface_name, CameraInterfaceName(Device(0x6367, {4})));

    // A camera resetting into its boot ROM: same port, other identity.
    bus.devices[0] = Device(0x6300, {2});
    bus.devices.erase(bus.devices.begin() + 1);
    bus.changed = true;
    changes = Drain(notifier);
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_EQ(changes[1].kind, DeviceChangeKind::kRemoval);
    EXPECT_EQ(changes[1].interface_name, CameraInterfaceName(Device(0x6366, {2})));
    EXPECT_EQ(changes[2].kind, DeviceChangeKind::kRemoval);
    EXPECT_FALSE(changes[2].camera_interface);
    EXPECT_EQ(changes[3].kind, DeviceChangeKind::kArrival);
    EXPECT_EQ(changes[3].interface_name, CameraInterfaceName(Device(0x6300, {2})));

    bus.changed = true;  // a signal without a difference brings nothing
    EXPECT_TRUE(Drain(notifier).empty());
}

}  // namespace
}  // namespace orbisk
