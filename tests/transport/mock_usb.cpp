#include "transport/mock_usb.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace orbisk::test {

bool ScriptedReplies::TakeFailure(HResult* error) {
    if (fail_skip_ > 0) {
        --fail_skip_;
        return false;
    }
    if (fail_count_ > 0) {
        --fail_count_;
        *error = fail_error_;
        return true;
    }
    return false;
}

void ScriptedReplies::FillData(uint8_t* data, uint16_t length) {
    if (!replies_.empty()) {
        std::vector<uint8_t> reply = std::move(replies_.front());
        replies_.pop_front();
        std::memset(data, 0, length);
        std::memcpy(data, reply.data(), std::min<size_t>(reply.size(), length));
        return;
    }
    for (uint16_t i = 0; i < length; ++i) data[i] = next_byte_++;
}

void ScriptedReplies::FillStatus(uint8_t* data, uint16_t length) {
    std::memset(data, 0, length);
    if (length > 0) data[0] = status_code;
}

HResult MockUsbDevice::ControlTransfer(uint8_t request_type, uint8_t request, uint16_t value,
                                       uint16_t index, uint8_t* data, uint16_t length,
                                       uint32_t timeout_ms, uint32_t* transferred) {
    WireRequest r{request_type, request, value, index, length, {}, false};
    timeouts.push_back(timeout_ms);
    *transferred = 0;
    HResult error = kOk;
    if (TakeFailure(&error)) {
        r.failed = true;
        requests.push_back(r);
        return error;
    }
    if (!r.in()) {
        if (length > 0) r.data.assign(data, data + length);
        *transferred = length;
        requests.push_back(r);
        return kOk;
    }
    const bool class_request = (request_type & 0x60) == 0x20;
    if (class_request && request == 0x85) {
        data[0] = uint8_t(data_length);
        if (length > 1) data[1] = uint8_t(data_length >> 8);
    } else if (class_request && r.selector() == 10) {
        FillStatus(data, length);
    } else {
        FillData(data, length);
    }
    const uint16_t sent = length > short_by ? uint16_t(length - short_by) : 0;
    r.data.assign(data, data + sent);
    *transferred = sent;
    requests.push_back(r);
    return kOk;
}

HResult MockCameraDriver::SetCur(uint8_t unit, uint8_t selector, const uint8_t* data,
                                 uint16_t length) {
    DriverQuery q{'S', unit, selector, length, {data, data + length}, false};
    HResult error = kOk;
    q.failed = TakeFailure(&error);
    queries.push_back(q);
    return q.failed ? error : kOk;
}

HResult MockCameraDriver::GetCur(uint8_t unit, uint8_t selector, uint8_t* data, uint16_t length) {
    DriverQuery q{'G', unit, selector, length, {}, false};
    HResult error = kOk;
    if (TakeFailure(&error)) {
        q.failed = true;
        queries.push_back(q);
        return error;
    }
    if (selector == 10) {
        FillStatus(data, length);
    } else {
        FillData(data, length);
    }
    q.data.assign(data, data + length);
    queries.push_back(q);
    return kOk;
}

HResult MockCameraDriver::GetLen(uint8_t unit, uint8_t selector, uint16_t* length) {
    DriverQuery q{'L', unit, selector, 0, {}, false};
    HResult error = kOk;
    const auto known = lengths.find({unit, selector});
    if (TakeFailure(&error) || known == lengths.end()) {
        q.failed = true;
        queries.push_back(q);
        return error != kOk ? error : ResultFromErrno(ENOENT);
    }
    *length = known->second;
    q.length = known->second;
    queries.push_back(q);
    return kOk;
}

std::vector<uint8_t> Bytes(const std::string& hex) {
    std::vector<uint8_t> out;
    std::istringstream in(hex);
    std::string token;
    while (in >> token) out.push_back(uint8_t(std::stoul(token, nullptr, 16)));
    return out;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char text[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(text, sizeof text, i ? " %02X" : "%02X", bytes[i]);
        out += text;
    }
    return out;
}

}  // namespace orbisk::test
