#include "platform/linux/v4l2_camera_control.h"

#include <fcntl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace orbisk {

std::unique_ptr<V4l2CameraControl> V4l2CameraControl::Open(const std::string& node,
                                                           HResult* result) {
    const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        if (result) *result = ResultFromErrno(errno);
        return nullptr;
    }
    if (result) *result = kOk;
    return std::unique_ptr<V4l2CameraControl>(new V4l2CameraControl(fd));
}

V4l2CameraControl::~V4l2CameraControl() {
    ::close(fd_);
}

HResult V4l2CameraControl::Query(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data,
                                 uint16_t size) {
    uvc_xu_control_query request{};
    request.unit = unit;
    request.selector = selector;
    request.query = query;
    request.size = size;
    request.data = data;
    int rc;
    do {
        rc = ::ioctl(fd_, UVCIOC_CTRL_QUERY, &request);
    } while (rc < 0 && errno == EINTR);
    return rc < 0 ? ResultFromErrno(errno) : kOk;
}

HResult V4l2CameraControl::SetCur(uint8_t unit, uint8_t selector, const uint8_t* data,
                                  uint16_t length) {
    if (data == nullptr && length != 0) return kInvalidArg;
    // The request's buffer is not const; the driver only reads it for SET_CUR.
    std::vector<uint8_t> copy(data, data + length);
    return Query(unit, selector, UVC_SET_CUR, copy.data(), length);
}

HResult V4l2CameraControl::GetCur(uint8_t unit, uint8_t selector, uint8_t* data, uint16_t length) {
    if (data == nullptr && length != 0) return kInvalidArg;
    return Query(unit, selector, UVC_GET_CUR, data, length);
}

HResult V4l2CameraControl::GetLen(uint8_t unit, uint8_t selector, uint16_t* length) {
    uint8_t reply[2] = {};
    const HResult hr = Query(unit, selector, UVC_GET_LEN, reply, sizeof reply);
    if (hr == kOk && length) *length = static_cast<uint16_t>(reply[0] | (reply[1] << 8));
    return hr;
}

}  // namespace orbisk
