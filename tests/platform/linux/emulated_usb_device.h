#pragma once
#include <cstdint>

namespace orbisk::test {

// The setup packet of one control transfer on endpoint 0.
struct ControlSetup {
    uint8_t request_type = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
    bool in() const { return (request_type & 0x80) != 0; }
};

// What the device did with a control transfer.
enum class ControlOutcome {
    kDone,      // *actual bytes moved
    kStall,     // the device stalled the request
    kNoAnswer,  // the device never completes it
};

// A USB device behind the emulated kernel: answers control transfers on endpoint 0. The
// emulated usbfs and the emulated camera driver both end up here, as in the real kernel.
// Calls come from umockdev's handler thread, one at a time.
class EmulatedUsbDevice {
  public:
    virtual ~EmulatedUsbDevice() = default;
    // data holds setup.length bytes: what the host sent, or room for the reply.
    virtual ControlOutcome Control(const ControlSetup& setup, uint8_t* data, uint32_t* actual) = 0;
};

}  // namespace orbisk::test
