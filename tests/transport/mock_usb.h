#pragma once
// Scripted stand-ins for the USB device handle and the kernel camera-driver face: they record
// every request with its bytes and answer like a controller that keeps no memory, with a byte
// counter as data. The next n requests can be made to fail.
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/result.h"
#include "platform/usb.h"

namespace orbisk::test {

// The error of a failed transfer in these tests: ERROR_GEN_FAILURE.
inline constexpr HResult kGenFailure = static_cast<HResult>(0x8007001Fu);

struct WireRequest {
    uint8_t type = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
    std::vector<uint8_t> data;  // bytes sent, or bytes answered
    bool failed = false;
    bool in() const { return (type & 0x80) != 0; }
    uint8_t selector() const { return uint8_t(value >> 8); }
};

// Common answering rules of both mocks.
class ScriptedReplies {
  public:
    // The next `count` requests (after `skip` good ones) fail with `error`.
    void FailNext(int count, HResult error = kGenFailure, int skip = 0) {
        fail_skip_ = skip;
        fail_count_ = count;
        fail_error_ = error;
    }
    // Data answers, used in order before the byte counter.
    void QueueReply(std::vector<uint8_t> bytes) { replies_.push_back(std::move(bytes)); }
    // The byte counter starts again at 0.
    void ResetCounter() { next_byte_ = 0; }
    // Byte 0 of the status block read from the command control.
    uint8_t status_code = 0xFE;
    // Bytes cut from the end of every device-to-host answer.
    uint16_t short_by = 0;

  protected:
    // Whether this request fails, and with what.
    bool TakeFailure(HResult* error);
    void FillData(uint8_t* data, uint16_t length);
    void FillStatus(uint8_t* data, uint16_t length);

  private:
    int fail_skip_ = 0;
    int fail_count_ = 0;
    HResult fail_error_ = kGenFailure;
    std::deque<std::vector<uint8_t>> replies_;
    uint8_t next_byte_ = 0;
};

class MockUsbDevice : public UsbDeviceHandle, public ScriptedReplies {
  public:
    HResult ControlTransfer(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index,
                            uint8_t* data, uint16_t length, uint32_t timeout_ms,
                            uint32_t* transferred) override;
    HResult ClaimInterface(uint8_t interface_number) override {
        claims.push_back(interface_number);
        return claim_result;
    }

    // The answer to GET_LEN of the data control.
    uint16_t data_length = 8;
    HResult claim_result = kOk;
    std::vector<WireRequest> requests;
    std::vector<uint8_t> claims;
    std::vector<uint32_t> timeouts;
};

struct DriverQuery {
    char op = 0;  // 'S' set, 'G' get, 'L' length
    uint8_t unit = 0;
    uint8_t selector = 0;
    uint16_t length = 0;
    std::vector<uint8_t> data;
    bool failed = false;
};

class MockCameraDriver : public CameraDriverControl, public ScriptedReplies {
  public:
    HResult SetCur(uint8_t unit, uint8_t selector, const uint8_t* data, uint16_t length) override;
    HResult GetCur(uint8_t unit, uint8_t selector, uint8_t* data, uint16_t length) override;
    HResult GetLen(uint8_t unit, uint8_t selector, uint16_t* length) override;

    // Controls the driver knows, with their lengths; others answer "no such control".
    std::map<std::pair<uint8_t, uint8_t>, uint16_t> lengths;
    std::vector<DriverQuery> queries;
};

// "00 D0 00 00 08 00 00 00" as bytes.
std::vector<uint8_t> Bytes(const std::string& hex);
std::string Hex(const std::vector<uint8_t>& bytes);

}  // namespace orbisk::test
