#include "platform/device_notify.h"

#include <algorithm>
#include <cstdio>

namespace orbisk {
namespace {

constexpr const char* kCaptureCategory = "{65E8773D-8F56-11D0-A3B9-00A0C9223196}";

std::string IdentityPart(const UsbDeviceInfo& device) {
    char text[48];
    std::snprintf(text, sizeof text, "VID_%04X&PID_%04X&MI_00", device.vid, device.pid);
    return text;
}

bool SameDevice(const UsbDeviceInfo& a, const UsbDeviceInfo& b) {
    // A camera that resets into its boot ROM comes back on the same port with another identity:
    // that is a removal and an arrival.
    return a.node_handle == b.node_handle && a.vid == b.vid && a.pid == b.pid && a.rev == b.rev;
}

// The location closed by "&0", so that port 1-2.3 is not found inside 1-2.3.1.
std::string UniquePart(const UsbDeviceInfo& device) {
    return UsbLocation(device) + "&0";
}

}  // namespace

std::string UsbLocation(const UsbDeviceInfo& device) {
    std::string text = std::to_string(device.bus) + "-";
    for (size_t i = 0; i < device.port_chain.size(); ++i) {
        if (i > 0) text += ".";
        text += std::to_string(device.port_chain[i]);
    }
    if (device.port_chain.empty()) text += "0";
    return text;
}

std::string CameraInterfaceName(const UsbDeviceInfo& device) {
    return "\\\\?\\USB#" + IdentityPart(device) + "#" + UniquePart(device) + "#" + kCaptureCategory;
}

std::string CameraInstanceId(const UsbDeviceInfo& device) {
    std::string id = "USB\\" + IdentityPart(device) + "\\" + UniquePart(device);
    std::replace(id.begin(), id.end(), '\\', '#');
    return id;
}

bool IsVideoDevice(const UsbDeviceInfo& device) {
    if (device.has_camera_driver) return true;
    const auto& d = device.config_descriptor;
    size_t pos = 0;
    while (pos + 2 <= d.size()) {
        const size_t length = d[pos];
        if (length < 2 || pos + length > d.size()) break;  // a broken descriptor ends the walk
        if (d[pos + 1] == 4 && length >= 9 && d[pos + 5] == 0x0E) return true;
        pos += length;
    }
    return false;
}

BusDeviceNotifier::BusDeviceNotifier(UsbBus& bus) : bus_(bus), known_(bus.List()) {}

void BusDeviceNotifier::Compare(const std::vector<UsbDeviceInfo>& now) {
    std::vector<DeviceChange> changes;
    for (const auto& old_device : known_) {
        const bool still = std::any_of(now.begin(), now.end(), [&](const UsbDeviceInfo& d) {
            return SameDevice(d, old_device);
        });
        if (!still)
            changes.push_back({DeviceChangeKind::kRemoval, IsVideoDevice(old_device),
                               CameraInterfaceName(old_device)});
    }
    for (const auto& new_device : now) {
        const bool known = std::any_of(known_.begin(), known_.end(), [&](const UsbDeviceInfo& d) {
            return SameDevice(d, new_device);
        });
        if (!known)
            changes.push_back({DeviceChangeKind::kArrival, IsVideoDevice(new_device),
                               CameraInterfaceName(new_device)});
    }
    known_ = now;
    if (changes.empty()) return;
    pending_.push_back({DeviceChangeKind::kNodesChanged, false, {}});
    pending_.insert(pending_.end(), changes.begin(), changes.end());
}

bool BusDeviceNotifier::Next(uint32_t timeout_ms, DeviceChange* change) {
    if (pending_.empty() && bus_.WaitForChange(timeout_ms)) Compare(bus_.List());
    if (pending_.empty()) return false;
    *change = pending_.front();
    pending_.pop_front();
    return true;
}

}  // namespace orbisk
