#include "platform/linux/libusb_device_handle.h"

#include <libusb.h>

#include <algorithm>

#include "platform/linux/libusb_errors.h"

namespace orbisk {

std::shared_ptr<LibusbContext> LibusbContext::Create() {
    libusb_context* context = nullptr;
    if (libusb_init(&context) != LIBUSB_SUCCESS) return nullptr;
    return std::shared_ptr<LibusbContext>(new LibusbContext(context));
}

LibusbContext::~LibusbContext() {
    libusb_exit(context_);
}

LibusbDeviceHandle::LibusbDeviceHandle(std::shared_ptr<LibusbContext> context,
                                       libusb_device_handle* handle)
    : context_(std::move(context)), handle_(handle) {}

LibusbDeviceHandle::~LibusbDeviceHandle() {
    for (uint8_t number : claimed_) libusb_release_interface(handle_, number);
    // A device that left meanwhile has no driver to give back; the failure is harmless.
    for (uint8_t number : detached_) libusb_attach_kernel_driver(handle_, number);
    libusb_close(handle_);
}

HResult LibusbDeviceHandle::ControlTransfer(uint8_t request_type, uint8_t request, uint16_t value,
                                            uint16_t index, uint8_t* data, uint16_t length,
                                            uint32_t timeout_ms, uint32_t* transferred) {
    if (transferred) *transferred = 0;
    if (length != 0 && data == nullptr) return kInvalidArg;
    const unsigned int timeout = timeout_ms != 0 ? timeout_ms : kDefaultTimeoutMs;
    const int result = libusb_control_transfer(handle_, request_type, request, value, index, data,
                                               length, timeout);
    if (result < 0) return ResultFromLibusbError(result);
    if (transferred) *transferred = static_cast<uint32_t>(result);
    return kOk;
}

HResult LibusbDeviceHandle::ClaimInterface(uint8_t interface_number) {
    if (std::find(claimed_.begin(), claimed_.end(), interface_number) != claimed_.end()) return kOk;
    const int active = libusb_kernel_driver_active(handle_, interface_number);
    if (active < 0 && active != LIBUSB_ERROR_NOT_SUPPORTED) return ResultFromLibusbError(active);
    if (active == 1) {
        const int detach = libusb_detach_kernel_driver(handle_, interface_number);
        if (detach != LIBUSB_SUCCESS && detach != LIBUSB_ERROR_NOT_FOUND)
            return ResultFromLibusbError(detach);
        if (detach == LIBUSB_SUCCESS) detached_.push_back(interface_number);
    }
    const int claim = libusb_claim_interface(handle_, interface_number);
    if (claim != LIBUSB_SUCCESS) {
        // Leave the device as it was found.
        auto it = std::find(detached_.begin(), detached_.end(), interface_number);
        if (it != detached_.end()) {
            libusb_attach_kernel_driver(handle_, interface_number);
            detached_.erase(it);
        }
        return ResultFromLibusbError(claim);
    }
    claimed_.push_back(interface_number);
    return kOk;
}

}  // namespace orbisk
