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

// URB status of a transfer the device never completes (libusb's time-out must end it).
inline constexpr int kNoAnswer = 1;

// One open file of a device's usbfs node.
using UsbfsFile = uintptr_t;

// A USB device behind the emulated kernel. The emulated usbfs and the emulated camera driver
// both end up here, as in the real kernel. Calls come from umockdev's handler thread, one at a
// time.
class EmulatedUsbDevice {
  public:
    virtual ~EmulatedUsbDevice() = default;

    // A control transfer on endpoint 0; data holds setup.length bytes: what the host sent, or
    // room for the reply. Returns the URB status: 0 (*actual bytes moved), a negative errno
    // (-EPIPE for a stall, -ESHUTDOWN when the device left), or kNoAnswer.
    virtual int Control(UsbfsFile file, const ControlSetup& setup, uint8_t* data,
                        uint32_t* actual) = 0;

    // A program opened or closed the usbfs node.
    virtual void FileOpened(UsbfsFile) {}
    virtual void FileClosed(UsbfsFile) {}
    // usbfs claims an interface that no kernel driver holds: 0 or an errno.
    virtual int ClaimInterface(UsbfsFile, uint8_t /*interface_number*/) { return 0; }

    // The camera driver's UVCIOC_CTRL_QUERY when the model answers it itself: 0 or an errno.
    // kEmulateDriver lets the emulated kernel turn the query into class requests to Control().
    static constexpr int kEmulateDriver = -1;
    virtual int DriverQuery(uint8_t /*unit*/, uint8_t /*selector*/, uint8_t /*query*/,
                            uint8_t* /*data*/, uint16_t /*size*/) {
        return kEmulateDriver;
    }
};

}  // namespace orbisk::test
