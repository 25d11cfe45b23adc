#pragma once
#include <memory>
#include <vector>

#include "platform/usb.h"

struct libusb_context;
struct libusb_device_handle;

namespace orbisk {

// A libusb context shared by the bus and every handle it opened, so a handle stays valid
// even when it outlives the bus object.
class LibusbContext {
  public:
    // nullptr when libusb cannot be initialised (no usbfs, no sysfs).
    static std::shared_ptr<LibusbContext> Create();
    ~LibusbContext();
    LibusbContext(const LibusbContext&) = delete;
    LibusbContext& operator=(const LibusbContext&) = delete;
    libusb_context* get() const { return context_; }

  private:
    explicit LibusbContext(libusb_context* context) : context_(context) {}
    libusb_context* context_;
};

// An open USB device. Interfaces claimed through it are released when it closes, and a kernel
// driver detached to claim one is attached again, so the camera's video node comes back.
class LibusbDeviceHandle final : public UsbDeviceHandle {
  public:
    LibusbDeviceHandle(std::shared_ptr<LibusbContext> context, libusb_device_handle* handle);
    ~LibusbDeviceHandle() override;
    LibusbDeviceHandle(const LibusbDeviceHandle&) = delete;
    LibusbDeviceHandle& operator=(const LibusbDeviceHandle&) = delete;

    // A time-out of 0 is replaced by kDefaultTimeoutMs: libusb would wait forever.
    HResult ControlTransfer(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index,
                            uint8_t* data, uint16_t length, uint32_t timeout_ms,
                            uint32_t* transferred) override;
    HResult ClaimInterface(uint8_t interface_number) override;

    static constexpr uint32_t kDefaultTimeoutMs = 5000;

  private:
    std::shared_ptr<LibusbContext> context_;
    libusb_device_handle* handle_;
    std::vector<uint8_t> claimed_;
    std::vector<uint8_t> detached_;
};

}  // namespace orbisk
