#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/usb.h"

namespace orbisk {

// Cameras coming and going, as the dialog hears of them.
enum class DeviceChangeKind { kNodesChanged, kArrival, kRemoval };

struct DeviceChange {
    DeviceChangeKind kind = DeviceChangeKind::kNodesChanged;
    // The interface belongs to a video-capture device (the classes the dialog watches).
    bool camera_interface = false;
    // Name of the camera's first interface, e.g. "\\?\USB#VID_0C45&PID_6366&MI_00#1-2.3&0#{…}".
    std::string interface_name;
};

// Source of device-change notifications: the udev monitor on Linux, the simulated bus's own
// events, or a test's queue.
class DeviceNotifier {
  public:
    virtual ~DeviceNotifier() = default;
    // Waits at most timeout_ms for the next change; false on time-out.
    virtual bool Next(uint32_t timeout_ms, DeviceChange* change) = 0;
};

// The name a notification gives the camera's first interface, and the instance id of the open
// camera with every "\" turned into "#": the second is contained in the first exactly when both
// name the same camera on the same port.
std::string CameraInterfaceName(const UsbDeviceInfo& device);
std::string CameraInstanceId(const UsbDeviceInfo& device);
// "1-2.3": bus number and port chain.
std::string UsbLocation(const UsbDeviceInfo& device);
// Whether the device offers a video interface (class 0x0E) or the kernel camera driver serves it.
bool IsVideoDevice(const UsbDeviceInfo& device);

// Notifications for any bus: waits on the bus's own change signal and compares its listings, so
// every backend that implements UsbBus::WaitForChange (udev, the simulated bus) drives it.
class BusDeviceNotifier final : public DeviceNotifier {
  public:
    explicit BusDeviceNotifier(UsbBus& bus);
    bool Next(uint32_t timeout_ms, DeviceChange* change) override;

  private:
    void Compare(const std::vector<UsbDeviceInfo>& now);

    UsbBus& bus_;
    std::vector<UsbDeviceInfo> known_;
    std::deque<DeviceChange> pending_;
};

}  // namespace orbisk
