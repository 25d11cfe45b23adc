#include "fake_usb.h"

#include <algorithm>
#include <cstring>

#include "camera/config_descriptor.h"

namespace orbisk::test {
namespace {

class FakeHandle : public UsbDeviceHandle {
  public:
    FakeHandle(UsbDeviceInfo info, int* not_ready)
        : info_(std::move(info)), not_ready_(not_ready) {}
    HResult ControlTransfer(uint8_t request_type, uint8_t request, uint16_t value, uint16_t,
                            uint8_t* data, uint16_t length, uint32_t,
                            uint32_t* transferred) override {
        *transferred = 0;
        if (request_type != 0x80 || request != 6) return kFail;
        const std::vector<uint8_t>* source = nullptr;
        std::vector<uint8_t> string_descriptor;
        if (value >> 8 == 1 && *not_ready_ != 0) {
            if (*not_ready_ > 0) --*not_ready_;
            return ResultFromOsError(21);
        }
        if (value >> 8 == 1) source = &info_.device_descriptor;
        if (value >> 8 == 2) source = &info_.config_descriptor;
        if (value >> 8 == 3) {
            // Indices 1, 2, 3 as the fake device descriptor names them.
            const uint8_t index = value & 0xFF;
            const std::string& text = index == 1   ? info_.manufacturer
                                      : index == 2 ? info_.product
                                                   : info_.serial;
            if (index < 1 || index > 3 || text.empty()) return kFail;
            string_descriptor = {static_cast<uint8_t>(2 + 2 * text.size()), 3};
            for (char c : text) {
                string_descriptor.push_back(static_cast<uint8_t>(c));
                string_descriptor.push_back(0);
            }
            source = &string_descriptor;
        }
        if (!source) return kFail;
        const size_t n = std::min<size_t>(length, source->size());
        std::memcpy(data, source->data(), n);
        *transferred = static_cast<uint32_t>(n);
        return kOk;
    }
    HResult ClaimInterface(uint8_t) override { return kOk; }

  private:
    UsbDeviceInfo info_;
    int* not_ready_;
};

}  // namespace

ConfigBuilder& ConfigBuilder::Interface(uint8_t number, uint8_t cls, uint8_t subclass,
                                        uint8_t alternate) {
    return Raw({9, 4, number, alternate, 1, cls, subclass, 0, 0});
}

ConfigBuilder& ConfigBuilder::VideoExtUnit(uint8_t unit_id, const uint8_t* guid,
                                           uint8_t num_controls, std::vector<uint8_t> controls) {
    std::vector<uint8_t> d = {0, 0x24, 6, unit_id};
    d.insert(d.end(), guid, guid + 16);
    d.push_back(num_controls);
    d.push_back(1);  // one input pin
    d.push_back(2);  // source id
    d.push_back(static_cast<uint8_t>(controls.size()));
    d.insert(d.end(), controls.begin(), controls.end());
    d.push_back(0);  // iExtension
    d[0] = static_cast<uint8_t>(d.size());
    return Raw(d);
}

ConfigBuilder& ConfigBuilder::AudioExtUnit(uint8_t unit_id, uint16_t code, uint8_t subtype) {
    return Raw({9, 0x24, subtype, unit_id, static_cast<uint8_t>(code),
                static_cast<uint8_t>(code >> 8), 0, 0, 0});
}

ConfigBuilder& ConfigBuilder::Endpoint(uint8_t address, uint8_t attributes) {
    return Raw({7, 5, address, attributes, 0x40, 0, 1});
}

ConfigBuilder& ConfigBuilder::Raw(std::vector<uint8_t> bytes) {
    body_.insert(body_.end(), bytes.begin(), bytes.end());
    return *this;
}

std::vector<uint8_t> ConfigBuilder::Build(int total_length) const {
    const size_t total = total_length < 0 ? 9 + body_.size() : static_cast<size_t>(total_length);
    std::vector<uint8_t> c = {
        9, 2, static_cast<uint8_t>(total), static_cast<uint8_t>(total >> 8), 2, 1, 0, 0x80, 250};
    c.insert(c.end(), body_.begin(), body_.end());
    return c;
}

std::vector<uint8_t> CameraConfig(uint8_t unit_id) {
    return ConfigBuilder()
        .Interface(0, kClassVideo, kSubclassControl)
        .Raw({13, 0x24, 1, 0x00, 0x01, 0x40, 0, 0, 0, 0, 0, 1, 1})  // VC header
        .VideoExtUnit(unit_id, kVendorExtUnitGuid)
        .Endpoint(0x83, 3)
        .Interface(1, kClassVideo, 2)
        .Build();
}

std::vector<uint8_t> DeviceDescriptor(uint16_t vid, uint16_t pid, uint16_t rev) {
    return {18,
            1,
            0x00,
            0x02,
            0xEF,
            2,
            1,
            64,
            static_cast<uint8_t>(vid),
            static_cast<uint8_t>(vid >> 8),
            static_cast<uint8_t>(pid),
            static_cast<uint8_t>(pid >> 8),
            static_cast<uint8_t>(rev),
            static_cast<uint8_t>(rev >> 8),
            1,
            2,
            3,
            1};
}

UsbDeviceInfo FakeDevice(uint8_t bus, std::vector<uint8_t> ports, uint16_t vid, uint16_t pid,
                         uint16_t rev, std::vector<uint8_t> config) {
    UsbDeviceInfo info;
    info.bus = bus;
    info.vid = vid;
    info.pid = pid;
    info.rev = rev;
    info.port_chain = std::move(ports);
    info.speed = 3;
    info.device_descriptor = DeviceDescriptor(vid, pid, rev);
    info.config_descriptor = std::move(config);
    info.product = "Camera";
    info.node_handle = NodeHandleFor(bus, info.port_chain);
    return info;
}

std::unique_ptr<UsbDeviceHandle> FakeUsbBus::Open(uint64_t node_handle) {
    if (!CanOpenDirectly(node_handle)) return nullptr;
    for (const auto& d : devices)
        if (d.node_handle == node_handle) return std::make_unique<FakeHandle>(d, &not_ready_reads);
    return nullptr;
}

bool FakeUsbBus::CanOpenDirectly(uint64_t node_handle) {
    return std::find(denied.begin(), denied.end(), node_handle) == denied.end();
}

}  // namespace orbisk::test
