#include "camera/config_descriptor.h"

#include <algorithm>
#include <cstring>

namespace orbisk {

// {5E0C27A1-93D4-4B6F-8C21-7A4D0E6B3F95} and {B7E2A9C4-1F6D-4E83-9A05-C3D8F2716E4A} in the
// little-endian GUID layout that USB descriptors use.
const uint8_t kVendorExtUnitGuid[16] = {0xA1, 0x27, 0x0C, 0x5E, 0xD4, 0x93, 0x6F, 0x4B,
                                        0x8C, 0x21, 0x7A, 0x4D, 0x0E, 0x6B, 0x3F, 0x95};
const uint8_t kSecondExtUnitGuid[16] = {0xC4, 0xA9, 0xE2, 0xB7, 0x6D, 0x1F, 0x83, 0x4E,
                                        0x9A, 0x05, 0xC3, 0xD8, 0xF2, 0x71, 0x6E, 0x4A};

DescriptorWalker::DescriptorWalker(std::span<const uint8_t> config) : bytes_(config) {
    if (config.size() >= 4 && config[1] == 2) {
        const size_t total = static_cast<size_t>(config[2] | (config[3] << 8));
        bytes_ = config.first(std::min(total, config.size()));
    }
}

std::span<const uint8_t> DescriptorWalker::Next() {
    if (offset_ + 2 > bytes_.size()) return {};
    const size_t length = bytes_[offset_];
    if (length < 2 || offset_ + length > bytes_.size()) {
        offset_ = bytes_.size();
        return {};
    }
    auto descriptor = bytes_.subspan(offset_, length);
    offset_ += length;
    return descriptor;
}

std::vector<InterfaceInfo> ListInterfaces(std::span<const uint8_t> config) {
    std::vector<InterfaceInfo> result;
    DescriptorWalker walker(config);
    for (auto d = walker.Next(); !d.empty(); d = walker.Next()) {
        if (d[1] == kDescInterface && d.size() >= 9) result.push_back({d[2], d[3], d[5], d[6]});
    }
    return result;
}

namespace {

// Whether an extension-unit descriptor offers the command and data controls (10 and 11).
bool HasCommandControls(std::span<const uint8_t> unit) {
    if (unit.size() < 22) return false;
    const size_t num_controls = unit[20];
    const size_t in_pins = unit[21];
    const size_t control_size_at = 22 + in_pins;
    if (num_controls < 2 || control_size_at >= unit.size()) return false;
    const size_t control_size = unit[control_size_at];
    if (control_size < 2 || control_size_at + 2 >= unit.size()) return false;
    const uint8_t second_byte = unit[control_size_at + 2];
    return (second_byte & 0x06) == 0x06;
}

}  // namespace

namespace {

// Positions the walker after the video-control interface's descriptor; false when absent.
bool SeekVideoControl(DescriptorWalker& walker, uint8_t interface_number) {
    for (auto d = walker.Next(); !d.empty(); d = walker.Next()) {
        if (d[1] == kDescInterface && d.size() >= 9 && d[2] == interface_number && d[3] == 0 &&
            d[5] == kClassVideo && d[6] == kSubclassControl)
            return true;
    }
    return false;
}

}  // namespace

std::vector<uint8_t> ListVideoExtensionUnits(std::span<const uint8_t> config,
                                             uint8_t interface_number) {
    std::vector<uint8_t> units;
    DescriptorWalker walker(config);
    if (!SeekVideoControl(walker, interface_number)) return units;
    for (auto d = walker.Next(); !d.empty() && d[1] == kDescCsInterface; d = walker.Next())
        if (d.size() >= 4 && d[2] == 6) units.push_back(d[3]);
    return units;
}

int FindVideoExtensionUnit(std::span<const uint8_t> config, uint8_t interface_number,
                           bool* second_unit) {
    if (second_unit) *second_unit = false;
    DescriptorWalker walker(config);
    if (!SeekVideoControl(walker, interface_number)) return -1;
    std::span<const uint8_t> vendor_unit;
    for (auto d = walker.Next(); !d.empty() && d[1] == kDescCsInterface; d = walker.Next()) {
        if (d.size() < 20 || d[2] != 6) continue;
        if (std::memcmp(d.data() + 4, kVendorExtUnitGuid, 16) == 0) vendor_unit = d;
        if (std::memcmp(d.data() + 4, kSecondExtUnitGuid, 16) == 0 && second_unit)
            *second_unit = true;
    }
    if (vendor_unit.empty() || !HasCommandControls(vendor_unit)) return -1;
    return vendor_unit[3];
}

int FindAudioExtensionUnit(std::span<const uint8_t> config) {
    DescriptorWalker walker(config);
    auto d = walker.Next();
    for (; !d.empty(); d = walker.Next())
        if (d[1] == kDescInterface) break;
    if (d.empty()) return -1;
    for (d = walker.Next(); !d.empty() && d[1] == kDescCsInterface; d = walker.Next()) {
        if (d.size() >= 6 && (d[2] == 8 || d[2] == 9) &&
            static_cast<uint16_t>(d[4] | (d[5] << 8)) == kAudioExtensionCode)
            return d[3];
    }
    return -1;
}

bool HasBulkEndpoint(std::span<const uint8_t> config) {
    DescriptorWalker walker(config);
    for (auto d = walker.Next(); !d.empty(); d = walker.Next())
        if (d[1] == kDescEndpoint && d.size() >= 4 && (d[3] & 3) == 2) return true;
    return false;
}

}  // namespace orbisk
