#include "platform/linux/sim_camera_device.h"

#include <linux/usb/video.h>

#include <cerrno>

namespace orbisk::test {

namespace {

// The simulated camera answers within the host's time-out or not at all; the kernel has no
// time-out of its own for usbfs transfers.
constexpr uint32_t kUnbounded = 3600 * 1000;

}  // namespace

int ErrnoFromResult(HResult result) {
    if (result == kOk) return 0;
    if (result == kDeviceGone) return ENODEV;
    const uint32_t code = static_cast<uint32_t>(result);
    if ((code & 0xFFFF0000u) == 0x80070000u) return static_cast<int>(code & 0xFFFF);
    return EIO;
}

SimCameraDevice::SimCameraDevice(std::shared_ptr<sim::SimCamera> camera)
    : camera_(std::move(camera)) {}

SimCameraDevice::~SimCameraDevice() {
    for (auto& [file, handle] : handles_) camera_->CloseHandle(handle.id);
}

SimCameraDevice::Handle& SimCameraDevice::HandleOf(UsbfsFile file) {
    auto it = handles_.find(file);
    if (it == handles_.end())
        it = handles_.emplace(file, Handle{camera_->Session(), camera_->NewHandleId()}).first;
    return it->second;
}

void SimCameraDevice::FileOpened(UsbfsFile file) {
    // A new file, even where an old one was never reported closed: a handle of its own.
    FileClosed(file);
    HandleOf(file);
}

void SimCameraDevice::FileClosed(UsbfsFile file) {
    auto it = handles_.find(file);
    if (it == handles_.end()) return;
    camera_->CloseHandle(it->second.id);
    handles_.erase(it);
}

int SimCameraDevice::Control(UsbfsFile file, const ControlSetup& setup, uint8_t* data,
                             uint32_t* actual) {
    const Handle& handle = HandleOf(file);
    const HResult result =
        camera_->ControlTransfer(handle.session, handle.id, setup.request_type, setup.request,
                                 setup.value, setup.index, data, setup.length, kUnbounded, actual);
    if (result == kOk) return 0;
    if (result == kDeviceGone) return -ESHUTDOWN;  // the URB dies with the device
    const int error = ErrnoFromResult(result);
    return error == ETIMEDOUT ? kNoAnswer : -error;
}

int SimCameraDevice::ClaimInterface(UsbfsFile file, uint8_t interface_number) {
    const Handle& handle = HandleOf(file);
    return ErrnoFromResult(camera_->ClaimInterface(handle.session, handle.id, interface_number));
}

int SimCameraDevice::DriverQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data,
                                 uint16_t size) {
    sim::SimCamera::DriverQuery kind;
    switch (query) {
        case UVC_SET_CUR:
            kind = sim::SimCamera::DriverQuery::kSetCur;
            break;
        case UVC_GET_CUR:
            kind = sim::SimCamera::DriverQuery::kGetCur;
            break;
        case UVC_GET_LEN:
            if (size != 2) return ENOBUFS;
            kind = sim::SimCamera::DriverQuery::kGetLen;
            break;
        default:
            return EINVAL;
    }
    return ErrnoFromResult(camera_->Driver(camera_->Session(), kind, unit, selector, data, size));
}

}  // namespace orbisk::test
