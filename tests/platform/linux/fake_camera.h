#pragma once
#include <string>
#include <vector>

#include "platform/linux/emulated_usb_device.h"

namespace orbisk::test {

// A small camera model for the backend tests: descriptor requests, a vendor-request memory,
// the extension unit's command (selector 10) and data (selector 11) controls with a data size
// that command 00 16 changes, and one vendor request (0x7F) it never answers.
class FakeCamera final : public EmulatedUsbDevice {
  public:
    FakeCamera(std::vector<uint8_t> device_descriptor, std::vector<uint8_t> config_descriptor,
               uint8_t unit_id);
    int Control(UsbfsFile file, const ControlSetup& setup, uint8_t* data,
                uint32_t* actual) override;

    static constexpr uint8_t kNeverAnswered = 0x7F;
    static constexpr uint8_t kVendorRead = 0x25;
    static constexpr uint8_t kVendorWrite = 0x24;

    std::vector<std::string> strings = {"", "Maker", "Test Camera", "SN0001"};
    std::vector<uint8_t> memory = std::vector<uint8_t>(256, 0xFF);
    std::vector<uint8_t> command = std::vector<uint8_t>(8, 0);
    std::vector<uint8_t> data = std::vector<uint8_t>(8, 0);
    uint16_t data_size = 8;
    std::vector<ControlSetup> requests;  // every request it saw, in order

  private:
    int Descriptor(const ControlSetup& setup, uint8_t* out, uint32_t* actual);
    int ExtensionUnit(const ControlSetup& setup, uint8_t* buffer, uint32_t* actual);

    std::vector<uint8_t> device_descriptor_;
    std::vector<uint8_t> config_descriptor_;
    uint8_t unit_id_;
};

}  // namespace orbisk::test
