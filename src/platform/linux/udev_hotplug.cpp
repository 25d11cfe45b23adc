#include "platform/linux/udev_hotplug.h"

#include <libudev.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace orbisk {

UdevHotplugMonitor::UdevHotplugMonitor(udev* context) {
    if (context == nullptr) return;
    monitor_ = udev_monitor_new_from_netlink(context, "udev");
    if (monitor_ == nullptr) return;
    // Whole devices only: the video node also goes and comes back while the tool holds the
    // video-control interface, and that is no change of the cameras on the bus.
    udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device");
    if (udev_monitor_enable_receiving(monitor_) < 0) {
        udev_monitor_unref(monitor_);
        monitor_ = nullptr;
    }
}

UdevHotplugMonitor::~UdevHotplugMonitor() {
    if (monitor_) udev_monitor_unref(monitor_);
}

bool UdevHotplugMonitor::Drain() {
    bool changed = false;
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(device);
        if (action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0))
            changed = true;
        udev_device_unref(device);
    }
    return changed;
}

bool UdevHotplugMonitor::WaitForChange(uint32_t timeout_ms) {
    if (monitor_ == nullptr) return false;
    using Steady = std::chrono::steady_clock;
    const auto deadline = Steady::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now());
        pollfd fd{udev_monitor_get_fd(monitor_), POLLIN, 0};
        const int ready = ::poll(&fd, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (ready < 0 && errno != EINTR) return false;
        // Events other than arrival and removal (bind, change) do not end the wait.
        if (ready > 0 && Drain()) return true;
        if (Steady::now() >= deadline) return false;
    }
}

}  // namespace orbisk
