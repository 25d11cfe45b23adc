#include "platform/linux/sysfs_usb.h"

#include <libudev.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace orbisk {

namespace {

constexpr size_t kDeviceDescriptorSize = 18;
constexpr size_t kConfigHeaderSize = 9;
// A sysfs descriptors file holds at most a few configurations of up to 64 KiB each.
constexpr std::streamsize kMaxDescriptorFile = 1 << 20;

std::string Attribute(udev_device* device, const char* name) {
    const char* value = udev_device_get_sysattr_value(device, name);
    if (value == nullptr) return {};
    std::string text(value);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

std::vector<uint8_t> ReadBinaryFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::vector<uint8_t> bytes;
    char chunk[4096];
    while (in && static_cast<std::streamsize>(bytes.size()) < kMaxDescriptorFile) {
        in.read(chunk, sizeof chunk);
        bytes.insert(bytes.end(), chunk, chunk + in.gcount());
    }
    return bytes;
}

// Walks up from a video4linux device to the USB device it belongs to.
std::string OwningUsbDevice(udev_device* video) {
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(video, "usb", "usb_device");
    if (usb == nullptr) return {};
    const char* name = udev_device_get_sysname(usb);
    return name ? name : "";
}

}  // namespace

std::string UsbSysfsName(uint8_t bus, const std::vector<uint8_t>& port_chain) {
    if (port_chain.empty()) return "usb" + std::to_string(bus);
    std::string name = std::to_string(bus) + "-";
    for (size_t i = 0; i < port_chain.size(); ++i) {
        if (i) name += '.';
        name += std::to_string(port_chain[i]);
    }
    return name;
}

std::string UsbfsNode(uint8_t bus, uint8_t address) {
    char path[32];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", bus, address);
    return path;
}

bool SplitDescriptorFile(const std::vector<uint8_t>& raw, int active_config,
                         std::vector<uint8_t>* device_descriptor,
                         std::vector<uint8_t>* config_descriptor) {
    device_descriptor->clear();
    config_descriptor->clear();
    if (raw.size() < kDeviceDescriptorSize || raw[0] != kDeviceDescriptorSize || raw[1] != 1)
        return false;
    device_descriptor->assign(raw.begin(), raw.begin() + kDeviceDescriptorSize);
    size_t offset = kDeviceDescriptorSize;
    size_t first = SIZE_MAX, first_size = 0;
    while (offset + kConfigHeaderSize <= raw.size()) {
        const uint8_t* header = raw.data() + offset;
        if (header[1] != 2 || header[0] < kConfigHeaderSize) return false;
        const size_t total = header[2] | (header[3] << 8);
        if (total < kConfigHeaderSize || total > raw.size() - offset) return false;
        if (header[5] == active_config) {
            config_descriptor->assign(header, header + total);
            return true;
        }
        if (first == SIZE_MAX) first = offset, first_size = total;
        offset += total;
    }
    if (offset != raw.size()) return false;  // trailing bytes that are no configuration
    if (first != SIZE_MAX)
        config_descriptor->assign(raw.begin() + first, raw.begin() + first + first_size);
    return true;
}

UdevContext::UdevContext() : udev_(udev_new()) {}
UdevContext::~UdevContext() {
    if (udev_) udev_unref(udev_);
}

bool ReadUsbSysfsFacts(udev* context, const std::string& sysname, UsbSysfsFacts* facts) {
    *facts = {};
    if (context == nullptr) return false;
    udev_device* device = udev_device_new_from_subsystem_sysname(context, "usb", sysname.c_str());
    if (device == nullptr) return false;
    const char* syspath = udev_device_get_syspath(device);
    const std::vector<uint8_t> raw = ReadBinaryFile(std::string(syspath) + "/descriptors");
    const int active = std::atoi(Attribute(device, "bConfigurationValue").c_str());
    SplitDescriptorFile(raw, active, &facts->device_descriptor, &facts->config_descriptor);
    facts->manufacturer = Attribute(device, "manufacturer");
    facts->product = Attribute(device, "product");
    facts->serial = Attribute(device, "serial");
    udev_device_unref(device);
    facts->video_node = FindVideoNode(context, sysname);
    return true;
}

std::string FindVideoNode(udev* context, const std::string& sysname) {
    if (context == nullptr) return {};
    udev_enumerate* enumerate = udev_enumerate_new(context);
    if (enumerate == nullptr) return {};
    udev_enumerate_add_match_subsystem(enumerate, "video4linux");
    udev_enumerate_scan_devices(enumerate);
    std::string best;
    long best_index = LONG_MAX;
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
        udev_device* video = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (video == nullptr) continue;
        const char* node = udev_device_get_devnode(video);
        if (node != nullptr && OwningUsbDevice(video) == sysname) {
            const std::string index_text = Attribute(video, "index");
            const long index =
                index_text.empty() ? 0 : std::strtol(index_text.c_str(), nullptr, 10);
            if (index < best_index || (index == best_index && node < best)) {
                best = node;
                best_index = index;
            }
        }
        udev_device_unref(video);
    }
    udev_enumerate_unref(enumerate);
    return best;
}

}  // namespace orbisk
