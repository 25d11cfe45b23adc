#include "camera/usb_enumeration.h"

#include <cstdio>

#include "base/clock.h"
#include "camera/config_descriptor.h"

namespace orbisk {
namespace {

// The descriptor wait after opening is bounded: a device that stays "not ready" for this
// long is given up on; the caller's first transfer reports it.
constexpr int kDescriptorWaitRounds = 25;
constexpr uint32_t kDescriptorWaitMs = 200;

bool DescriptorsReadable(const UsbDeviceInfo& info) {
    return info.device_descriptor.size() >= 18 && info.device_descriptor[1] == 1 &&
           info.config_descriptor.size() >= 9 && info.config_descriptor[1] == 2;
}

}  // namespace

uint32_t PortFromLocationPath(const std::string& path) {
    const size_t at = path.rfind("#USB(");
    if (at == std::string::npos) return 0;
    const char* p = path.c_str() + at + 5;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (digit(p[0]) && p[1] == ')') return static_cast<uint32_t>(p[0] - '0');
    if (digit(p[0]) && digit(p[1]) && p[2] == ')')
        return static_cast<uint32_t>((p[0] - '0') * 10 + (p[1] - '0'));
    return 0;
}

uint8_t BusGenerationForSpeed(uint8_t speed) {
    if (speed >= 4) return 3;
    if (speed == 3) return 2;
    return 1;
}

std::string LocationPathFor(const UsbDeviceInfo& info, std::optional<uint8_t> function) {
    std::string path = "USBROOT(" + std::to_string(info.bus) + ")";
    for (uint8_t port : info.port_chain) path += "#USB(" + std::to_string(port) + ")";
    if (function) path += "#USBMI(" + std::to_string(*function) + ")";
    return path;
}

std::vector<CameraListEntry> UsbEnumeration::ListCameras(int class_set) {
    const uint8_t wanted_class = class_set == kClassSetImaging ? kClassVideo : kClassAudio;
    std::vector<CameraListEntry> entries;
    int position = 0;
    for (const UsbDeviceInfo& info : bus_.List()) {
        if (!DescriptorsReadable(info)) {
            // A device in trouble still takes its place in the numbering.
            ++position;
            continue;
        }
        for (const InterfaceInfo& iface : ListInterfaces(info.config_descriptor)) {
            if (iface.alternate != 0 || iface.cls != wanted_class ||
                iface.subclass != kSubclassControl)
                continue;
            ++position;
            CameraListEntry entry;
            entry.node_handle = info.node_handle;
            entry.interface_number = iface.number;
            entry.class_kind = class_set == kClassSetImaging ? 1 : 0;
            if (info.product.empty()) {
                char name[40];
                std::snprintf(name, sizeof name, "Usb Video Device #%d", position);
                entry.name = name;
            } else {
                entry.name = info.product;
            }
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

uint8_t UsbEnumeration::DeviceCount() {
    return static_cast<uint8_t>(ListCameras(kClassSetImaging).size());
}

std::optional<UsbDeviceInfo> UsbEnumeration::FindDevice(uint64_t node_handle) {
    for (UsbDeviceInfo& info : bus_.List())
        if (info.node_handle == node_handle) return std::move(info);
    return std::nullopt;
}

int UsbEnumeration::FillCommon(const CameraListEntry& entry, const UsbDeviceInfo& info,
                               CameraDeviceRecord* record) {
    if (info.port_chain.size() > kMaxPortChain) return kErrorNoRootHub;
    record->node_handle = info.node_handle;
    record->friendly_name = info.product.empty() ? entry.name : info.product;
    record->interface_number = entry.interface_number;
    record->location_path = LocationPathFor(info, entry.interface_number);
    record->bus_generation = BusGenerationForSpeed(info.speed);
    record->vid = info.vid;
    record->pid = info.pid;
    record->bus_device_descriptor = info.device_descriptor;
    record->bus_config_descriptor = info.config_descriptor;
    // Ancestors from the parent hub up to the root hub.
    record->port_chain.clear();
    for (size_t depth = info.port_chain.size(); depth-- > 0;) {
        std::vector<uint8_t> ancestor(info.port_chain.begin(), info.port_chain.begin() + depth);
        record->port_chain.push_back(NodeHandleFor(info.bus, ancestor));
    }
    return 0;
}

int UsbEnumeration::BuildProxyRecord(const CameraListEntry& entry, CameraDeviceRecord* record) {
    *record = CameraDeviceRecord{};
    record->tag = AccessTag::kProxy;
    auto info = FindDevice(entry.node_handle);
    if (!info) return kErrorDeviceNotConnected;
    record->class_kind = entry.class_kind;
    if (int err = FillCommon(entry, *info, record); err != 0) return err;
    record->usb = bus_.Open(entry.node_handle);
    if (!record->usb) return kErrorAccessDenied;
    WaitForDescriptor(*record->usb);
    return 0;
}

int UsbEnumeration::BuildKernelRecord(const CameraListEntry& entry, AccessTag tag,
                                      CameraDeviceRecord* record) {
    *record = CameraDeviceRecord{};
    record->tag = tag;
    auto info = FindDevice(entry.node_handle);
    if (!info) return kErrorDeviceNotConnected;
    record->class_kind = 1;
    return FillCommon(entry, *info, record);
}

void UsbEnumeration::WaitForDescriptor(UsbDeviceHandle& usb) {
    // A listed device has been enumerated: ask at once, and pause only while it says "not
    // ready".
    const HResult not_ready = ResultFromOsError(kErrorNotReady);
    for (int round = 0; round < kDescriptorWaitRounds; ++round) {
        uint8_t descriptor[18];
        uint32_t got = 0;
        if (usb.GetDescriptor(1, 0, 0, descriptor, sizeof descriptor, &got) != not_ready) return;
        clock_.sleep_ms(kDescriptorWaitMs);
    }
}

std::optional<PortLocation> UsbEnumeration::GetPortLocation(uint64_t node_handle) {
    auto info = FindDevice(node_handle);
    if (!info) return std::nullopt;
    PortLocation location;
    location.port = PortFromLocationPath(LocationPathFor(*info, std::nullopt));
    std::vector<uint8_t> parent = info->port_chain;
    if (!parent.empty()) parent.pop_back();
    location.hub = NodeHandleFor(info->bus, parent);
    return location;
}

PortLocation UsbEnumeration::PortLocationOf(const CameraDeviceRecord& record) {
    PortLocation location;
    const std::string& path = record.location_path;
    location.port = PortFromLocationPath(path.substr(0, path.find("#USBMI(")));
    location.hub = record.port_chain.empty() ? 0 : record.port_chain.front();
    return location;
}

}  // namespace orbisk
