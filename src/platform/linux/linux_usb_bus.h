#pragma once
#include <memory>

#include "platform/linux/libusb_device_handle.h"
#include "platform/linux/sysfs_usb.h"
#include "platform/linux/udev_hotplug.h"
#include "platform/usb.h"

struct libusb_device;

namespace orbisk {

// The real USB bus: libusb for the device list and control transfers, sysfs (through libudev)
// for descriptors, strings and the camera driver's video node, a udev monitor for arrivals and
// removals.
class LinuxUsbBus final : public UsbBus {
  public:
    // nullptr when libusb cannot be initialised.
    static std::unique_ptr<LinuxUsbBus> Create();

    std::vector<UsbDeviceInfo> List() override;
    std::unique_ptr<UsbDeviceHandle> Open(uint64_t node_handle) override;
    std::unique_ptr<CameraDriverControl> OpenCameraDriver(uint64_t node_handle) override;
    // True when this process may open the device's usbfs node for reading and writing.
    bool CanOpenDirectly(uint64_t node_handle) override;
    bool WaitForChange(uint32_t timeout_ms) override;

  private:
    explicit LinuxUsbBus(std::shared_ptr<LibusbContext> context);
    // Runs fn on the present device with this node handle; false when there is none.
    template <typename Fn>
    bool WithDevice(uint64_t node_handle, Fn&& fn);

    std::shared_ptr<LibusbContext> context_;
    UdevContext udev_;
    UdevHotplugMonitor monitor_;
};

}  // namespace orbisk
