#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/usb.h"

namespace orbisk::test {

// Builds configuration descriptors byte by byte.
class ConfigBuilder {
  public:
    // Standard interface descriptor.
    ConfigBuilder& Interface(uint8_t number, uint8_t cls, uint8_t subclass, uint8_t alternate = 0);
    // Video-control extension unit with the given GUID, bNumControls and bmControls bytes.
    ConfigBuilder& VideoExtUnit(uint8_t unit_id, const uint8_t* guid, uint8_t num_controls = 24,
                                std::vector<uint8_t> controls = {0xFF, 0xFF, 0xFF});
    ConfigBuilder& AudioExtUnit(uint8_t unit_id, uint16_t code, uint8_t subtype = 8);
    ConfigBuilder& Endpoint(uint8_t address, uint8_t attributes);
    ConfigBuilder& Raw(std::vector<uint8_t> bytes);
    // The configuration with its header; wTotalLength covers everything unless given.
    std::vector<uint8_t> Build(int total_length = -1) const;

  private:
    std::vector<uint8_t> body_;
};

// A UVC camera function (video control + streaming) with the vendor extension unit.
std::vector<uint8_t> CameraConfig(uint8_t unit_id = 4);
std::vector<uint8_t> DeviceDescriptor(uint16_t vid, uint16_t pid, uint16_t rev);

// A device on the fake bus.
UsbDeviceInfo FakeDevice(uint8_t bus, std::vector<uint8_t> ports, uint16_t vid, uint16_t pid,
                         uint16_t rev, std::vector<uint8_t> config = CameraConfig());

// A bus whose devices tests put in and take out; opened devices answer descriptor requests.
class FakeUsbBus : public UsbBus {
  public:
    std::vector<UsbDeviceInfo> devices;
    // Node handles this process may not open.
    std::vector<uint64_t> denied;
    // Device-descriptor reads that answer "not ready" before the device answers (-1: always).
    int not_ready_reads = 0;
    int changes = 0;

    std::vector<UsbDeviceInfo> List() override { return devices; }
    std::unique_ptr<UsbDeviceHandle> Open(uint64_t node_handle) override;
    std::unique_ptr<CameraDriverControl> OpenCameraDriver(uint64_t) override { return nullptr; }
    bool CanOpenDirectly(uint64_t node_handle) override;
    bool WaitForChange(uint32_t) override { return changes-- > 0; }
};

}  // namespace orbisk::test
