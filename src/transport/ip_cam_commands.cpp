// The IP camera's numbered get and set commands and the file upload.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <limits>

#include "base/logger.h"
#include "platform/tuning_lock.h"
#include "transport/ip_cam_vendor_cmd.h"

namespace orbisk {
namespace {
// Command 16 reads its value with this selector byte.
constexpr uint8_t kValue16Read = 0x80;
// Replies of command 16 carry the value in their first byte; nothing else is this long.
constexpr uint32_t kValue16ReplyMax = 16;
constexpr uint32_t kSwitchOn = 1;
constexpr uint32_t kSwitchOff = 2;
}  // namespace

HResult CIpCamVendorCmd::Simple(uint16_t command, uint32_t parameter, const uint8_t* data,
                                uint32_t length) {
    // A camera may echo the request's data; it sends no more than that.
    IpCamReply reply;
    return Exchange(command, parameter, data, length, length, &reply);
}

HResult CIpCamVendorCmd::Fetch(uint16_t command, uint32_t parameter, const uint8_t* data,
                               uint32_t length, uint8_t* buf, uint32_t size, uint32_t* stored) {
    if (buf == nullptr && size != 0) return kInvalidArg;
    IpCamReply reply;
    // A reply that does not fit the caller's buffer is refused before it is read.
    if (HResult hr = Exchange(command, parameter, data, length, size, &reply); hr != kOk) return hr;
    if (!reply.data.empty()) std::memcpy(buf, reply.data.data(), reply.data.size());
    if (stored != nullptr) *stored = static_cast<uint32_t>(reply.data.size());
    return kOk;
}

HResult CIpCamVendorCmd::GetSwitch(uint16_t command, uint32_t* value) {
    if (value == nullptr) return kInvalidArg;
    IpCamReply reply;
    if (HResult hr = Exchange(command, 0, nullptr, 0, 0, &reply); hr != kOk) return hr;
    *value = reply.header.parameter;
    return kOk;
}

HResult CIpCamVendorCmd::IpCamCommand3() {
    return Simple(ipcam::kCommand3, 0, nullptr, 0);
}

HResult CIpCamVendorCmd::IpCamCommand3Ex() {
    const uint8_t zero = 0;
    return Simple(ipcam::kCommand3, 0x12345678, &zero, 1);
}

HResult CIpCamVendorCmd::IpCamQuery4(uint8_t* buf, uint32_t size, uint8_t value) {
    return Fetch(ipcam::kQuery4, 0, &value, 1, buf, size, nullptr);
}

HResult CIpCamVendorCmd::IpCamQuery5(uint8_t* buf, uint32_t size, uint8_t value) {
    return Fetch(ipcam::kQuery5, 0, &value, 1, buf, size, nullptr);
}

HResult CIpCamVendorCmd::IpCamGet9(uint32_t* value) {
    return GetSwitch(ipcam::kSwitch9, value);
}
HResult CIpCamVendorCmd::IpCamSet9(bool on) {
    return Simple(ipcam::kSwitch9, on ? kSwitchOn : kSwitchOff, nullptr, 0);
}
HResult CIpCamVendorCmd::IpCamGet8(uint32_t* value) {
    return GetSwitch(ipcam::kSwitch8, value);
}
HResult CIpCamVendorCmd::IpCamSet8(bool on) {
    return Simple(ipcam::kSwitch8, on ? kSwitchOn : kSwitchOff, nullptr, 0);
}
HResult CIpCamVendorCmd::IpCamGet7(uint32_t* value) {
    return GetSwitch(ipcam::kSwitch7, value);
}

HResult CIpCamVendorCmd::IpCamSet7(bool on, const char* path) {
    if (!on || path == nullptr || *path == '\0')
        return Simple(ipcam::kSwitch7, on ? kSwitchOn : kSwitchOff, nullptr, 0);
    std::vector<uint8_t> bytes;
    if (HResult hr = ReadWholeFile(path, ipcam::kMaxRequestData, &bytes); hr != kOk) return hr;
    return Simple(ipcam::kSwitch7, kSwitchOn, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

HResult CIpCamVendorCmd::IpCamGet10(uint8_t* buf, uint32_t* len) {
    if (len == nullptr) return kInvalidArg;
    return Fetch(ipcam::kData10, 0, nullptr, 0, buf, *len, len);
}

HResult CIpCamVendorCmd::IpCamSet10(const uint8_t* data, uint32_t len) {
    if ((data == nullptr && len != 0) || len > ipcam::kMaxRequestData) return kInvalidArg;
    return Simple(ipcam::kData10, 1, data, len);
}

HResult CIpCamVendorCmd::IpCamGet11(uint8_t* buf, uint32_t* len) {
    if (len == nullptr) return kInvalidArg;
    return Fetch(ipcam::kData11, 0, nullptr, 0, buf, *len, len);
}

HResult CIpCamVendorCmd::IpCamGet12(uint8_t* buf, uint32_t size) {
    return Fetch(ipcam::kText12, 0, nullptr, 0, buf, size, nullptr);
}
HResult CIpCamVendorCmd::IpCamGet13(uint8_t* buf, uint32_t size) {
    return Fetch(ipcam::kText13, 0, nullptr, 0, buf, size, nullptr);
}
HResult CIpCamVendorCmd::IpCamGet14(uint8_t* buf, uint32_t size) {
    return Fetch(ipcam::kText14, 0, nullptr, 0, buf, size, nullptr);
}

HResult CIpCamVendorCmd::IpCamGet16(uint8_t* value) {
    if (value == nullptr) return kInvalidArg;
    IpCamReply reply;
    if (HResult hr = Exchange(ipcam::kValue16, 0, &kValue16Read, 1, kValue16ReplyMax, &reply);
        hr != kOk)
        return hr;
    if (reply.data.empty()) {
        logger_.DebugPrint("command 16 answered without its value\n");
        channel_.Close();
        return kIpTransportFailure;
    }
    *value = reply.data[0];
    return kOk;
}

HResult CIpCamVendorCmd::IpCamSet16(uint8_t value) {
    const uint8_t data[9] = {0, 0, 0, 0, 0, 0, 0, 0, value};
    return Simple(ipcam::kValue16, 0, data, sizeof data);
}

HResult CIpCamVendorCmd::IpCamCommand19(uint8_t value) {
    return Simple(ipcam::kCommand19, 0, &value, 1);
}

HResult CIpCamVendorCmd::IpCamCommand17(uint8_t value) {
    return Simple(ipcam::kCommand17, 0, &value, 1);
}

HResult CIpCamVendorCmd::IpCamQuery18(uint8_t* buf, uint32_t size) {
    const uint8_t zero = 0;
    return Fetch(ipcam::kQuery18, 0, &zero, 1, buf, size, nullptr);
}

HResult CIpCamVendorCmd::IpCamSet20(uint32_t param, uint32_t value) {
    const uint8_t data[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return Simple(ipcam::kParam20, param, data, sizeof data);
}

HResult CIpCamVendorCmd::IpCamGet20(uint32_t param, uint32_t* value) {
    if (value == nullptr) return kInvalidArg;
    IpCamReply reply;
    // The value is a 32-bit number: a longer reply is not one.
    if (HResult hr = Exchange(ipcam::kParam20, param, nullptr, 0, 4, &reply); hr != kOk) return hr;
    uint32_t number = 0;
    for (size_t i = reply.data.size(); i > 0; --i) number = (number << 8) | reply.data[i - 1];
    *value = number;
    return kOk;
}

HResult CIpCamVendorCmd::ReadWholeFile(const char* path, uint64_t limit,
                                       std::vector<uint8_t>* bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        logger_.DebugPrint("cannot open %s\n", path);
        return kIpTransportFailure;
    }
    struct stat info {};
    HResult result = kOk;
    if (::fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        logger_.DebugPrint("%s is not a file\n", path);
        result = kIpTransportFailure;
    } else if (static_cast<uint64_t>(info.st_size) > limit) {
        logger_.DebugPrint("%s holds %lld bytes, more than one message carries (%llu)\n", path,
                           static_cast<long long>(info.st_size),
                           static_cast<unsigned long long>(limit));
        result = kInvalidArg;
    } else {
        bytes->resize(static_cast<size_t>(info.st_size));
        const size_t got = bytes->empty() ? 0 : std::fread(bytes->data(), 1, bytes->size(), file);
        // A file that changed size meanwhile is not sent half.
        if (got != bytes->size() || std::fgetc(file) != EOF) {
            logger_.DebugPrint("%s could not be read completely\n", path);
            result = kIpTransportFailure;
        }
    }
    std::fclose(file);
    return result;
}

HResult CIpCamVendorCmd::IpCamSendFile(const char* path) {
    return SendFile(path, nullptr, nullptr);
}

HResult CIpCamVendorCmd::SendFile(const char* path, ProgressCallback progress, void* context) {
    if (path == nullptr) return kInvalidArg;
    std::vector<uint8_t> bytes;
    if (HResult hr = ReadWholeFile(path, std::numeric_limits<uint32_t>::max(), &bytes); hr != kOk)
        return hr;
    if (bytes.empty()) {
        logger_.DebugPrint("%s is empty: nothing to send\n", path);
        return kInvalidArg;
    }
    TuningLockScope lock(*lock_, logger_, "CIpCamVendorCmd::IpCamSendFile");
    if (!lock.held()) return kIpTransportFailure;
    // Every upload starts on a fresh connection.
    channel_.Close();
    uint16_t status = 0;
    const ipcam::Header header{ipcam::kUpload, 0, 0, static_cast<uint32_t>(bytes.size())};
    if (HResult hr =
            channel_.Upload(header, bytes.data(), bytes.size(), progress, context, &status);
        hr != kOk)
        return hr;
    if (status != 0) logger_.DebugPrint("IpCamSendFile: the camera answered status %u\n", status);
    return status;
}

}  // namespace orbisk
