#pragma once
#include <memory>
#include <string>

#include "platform/usb.h"

namespace orbisk {

// The kernel camera driver's face of one camera: extension-unit controls through
// UVCIOC_CTRL_QUERY on its video node. The driver caches each control's length when the
// control is first used and answers ENOBUFS (0x80070069) for any other size; GET_LEN is passed
// to the device and tells the length the device has now.
class V4l2CameraControl final : public CameraDriverControl {
  public:
    // Opens the node for reading and writing; nullptr and *result set when that fails.
    static std::unique_ptr<V4l2CameraControl> Open(const std::string& node, HResult* result);
    ~V4l2CameraControl() override;
    V4l2CameraControl(const V4l2CameraControl&) = delete;
    V4l2CameraControl& operator=(const V4l2CameraControl&) = delete;

    HResult SetCur(uint8_t unit, uint8_t selector, const uint8_t* data, uint16_t length) override;
    HResult GetCur(uint8_t unit, uint8_t selector, uint8_t* data, uint16_t length) override;
    HResult GetLen(uint8_t unit, uint8_t selector, uint16_t* length) override;

  private:
    explicit V4l2CameraControl(int fd) : fd_(fd) {}
    HResult Query(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size);

    int fd_;
};

}  // namespace orbisk
