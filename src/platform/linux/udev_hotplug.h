#pragma once
#include <cstdint>

struct udev;
struct udev_monitor;

namespace orbisk {

// Watches the kernel's device events for USB devices arriving or leaving. Events queue in the
// monitor's socket from construction on, so a change between two waits is never lost.
class UdevHotplugMonitor {
  public:
    explicit UdevHotplugMonitor(udev* context);
    ~UdevHotplugMonitor();
    UdevHotplugMonitor(const UdevHotplugMonitor&) = delete;
    UdevHotplugMonitor& operator=(const UdevHotplugMonitor&) = delete;

    bool ok() const { return monitor_ != nullptr; }
    // Waits at most timeout_ms for a USB device to be added or removed; true when one was.
    // Drains every queued event before it returns.
    bool WaitForChange(uint32_t timeout_ms);

  private:
    // Reads the queued events; true when one of them adds or removes a device.
    bool Drain();

    udev_monitor* monitor_ = nullptr;
};

}  // namespace orbisk
