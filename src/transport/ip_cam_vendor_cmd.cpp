// The IP camera's exchange, its register access (command 6) and the operations built on it.
#include "transport/ip_cam_vendor_cmd.h"

#include <algorithm>
#include <cstring>

#include "base/logger.h"
#include "platform/tuning_lock.h"

namespace orbisk {
namespace {
constexpr const char* kLockLabel = "CIpCamVendorCmd";
}  // namespace

CIpCamVendorCmd::CIpCamVendorCmd(std::string address, TcpNetwork& network, Logger& logger,
                                 std::shared_ptr<DeviceLock> tuning_lock, IpCamTimeouts timeouts,
                                 std::unique_ptr<TcpConnection> connection)
    : logger_(logger),
      lock_(std::move(tuning_lock)),
      channel_(std::move(address), network, logger, timeouts, std::move(connection)) {}

CIpCamVendorCmd::~CIpCamVendorCmd() = default;

HResult CIpCamVendorCmd::Exchange(uint16_t command, uint32_t parameter, const uint8_t* data,
                                  uint32_t length, uint32_t max_reply, IpCamReply* reply) {
    TuningLockScope lock(*lock_, logger_, kLockLabel);
    if (!lock.held()) return kIpTransportFailure;
    return channel_.Exchange(ipcam::Request(command, parameter, data, length), max_reply, reply);
}

HResult CIpCamVendorCmd::Access(uint16_t code, uint8_t extra, uint32_t addr, uint32_t len,
                                const uint8_t* out, uint8_t* in, ProgressCallback progress,
                                void* context) {
    const bool read = (code & ipcam::kAccessRead) != 0;
    if (len == 0) return kOk;
    if (read ? in == nullptr : out == nullptr) return kInvalidArg;
    // Each piece names its address in 16 bits; a transfer that would wrap is refused.
    const uint64_t last_piece = (uint64_t{len} - 1) / ipcam::kRegisterPiece * ipcam::kRegisterPiece;
    if (addr + last_piece > 0xFFFF) return kInvalidArg;
    // The pieces of one transfer belong together: no other tool's exchange between them.
    TuningLockScope lock(*lock_, logger_, kLockLabel);
    if (!lock.held()) return kIpTransportFailure;
    for (uint32_t done = 0; done < len;) {
        const uint32_t piece = std::min(ipcam::kRegisterPiece, len - done);
        uint8_t data[ipcam::kPayloadHeaderSize + ipcam::kRegisterPiece];
        ipcam::EncodePayload(
            {code, extra, static_cast<uint8_t>(piece), 0, static_cast<uint16_t>(addr + done)},
            data);
        if (!read) std::memcpy(data + ipcam::kPayloadHeaderSize, out + done, piece);
        const uint32_t length =
            static_cast<uint32_t>(ipcam::kPayloadHeaderSize) + (read ? 0 : piece);
        IpCamReply reply;
        const HResult hr = Exchange(ipcam::kRegister, 0, data, length, sizeof data, &reply);
        if (hr != kOk) return hr;
        if (read) {
            if (reply.data.size() < ipcam::kPayloadHeaderSize + piece) {
                logger_.DebugPrint("register read of %u bytes answered %zu\n", piece,
                                   reply.data.size());
                channel_.Close();
                return kIpTransportFailure;
            }
            std::memcpy(in + done, reply.data.data() + ipcam::kPayloadHeaderSize, piece);
        }
        done += piece;
        if (progress != nullptr) progress(context, piece);
    }
    return kOk;
}

HResult CIpCamVendorCmd::ReadByte(uint16_t code, uint8_t* value) {
    return Access(code | ipcam::kAccessRead, 0, 0, 1, nullptr, value);
}

HResult CIpCamVendorCmd::WriteByte(uint16_t code, uint8_t value) {
    return Access(code, 0, 0, 1, &value, nullptr);
}

HResult CIpCamVendorCmd::ReadMem(uint32_t addr, uint32_t len, uint8_t* buf,
                                 ProgressCallback progress, void* context) {
    return Access(ipcam::kAccessMemory | ipcam::kAccessRead, 0, addr, len, nullptr, buf, progress,
                  context);
}

HResult CIpCamVendorCmd::WriteMem(uint32_t addr, uint32_t len, const uint8_t* buf,
                                  ProgressCallback progress, void* context) {
    return Access(ipcam::kAccessMemory, 0, addr, len, buf, nullptr, progress, context);
}

HResult CIpCamVendorCmd::IpCamRegRead83(uint32_t addr, uint32_t len, uint8_t* buf) {
    return Access(ipcam::kAccessRegister03 | ipcam::kAccessRead, 0, addr, len, nullptr, buf);
}

HResult CIpCamVendorCmd::IpCamRegWrite03(uint32_t addr, uint32_t len, const uint8_t* buf) {
    return Access(ipcam::kAccessRegister03, 0, addr, len, buf, nullptr);
}

HResult CIpCamVendorCmd::I2CGenRead(uint8_t addr, uint16_t len, uint8_t* buf) {
    return Access(ipcam::kAccessI2C | ipcam::kAccessRead, 0, addr, len, nullptr, buf);
}

HResult CIpCamVendorCmd::I2CGenWrite(uint8_t addr, uint16_t len, const uint8_t* buf) {
    return Access(ipcam::kAccessI2C, 0, addr, len, buf, nullptr);
}

HResult CIpCamVendorCmd::I2CRandomRead(uint8_t slave, uint16_t len, uint8_t* buf) {
    return Access(ipcam::kAccessI2C | ipcam::kAccessRead, 1, slave, len, nullptr, buf);
}

HResult CIpCamVendorCmd::I2CRandomWrite(uint8_t slave, uint16_t len, const uint8_t* buf) {
    return Access(ipcam::kAccessI2C, 1, slave, len, buf, nullptr);
}

HResult CIpCamVendorCmd::I2CRead(uint8_t width, uint32_t reg, uint16_t* value) {
    if (width != 1 && width != 2) return kFail;
    if (value == nullptr) return kInvalidArg;
    // Select and read are one sequence: another tool must not move the register between them.
    TuningLockScope lock(*lock_, logger_, kLockLabel);
    if (!lock.held()) return kIpTransportFailure;
    const uint8_t select = static_cast<uint8_t>(reg);
    if (HResult hr = I2CGenWrite(ipcam::kSensorAddress, 1, &select); hr != kOk) return hr;
    uint8_t bytes[2] = {0, 0};
    if (HResult hr = I2CGenRead(ipcam::kSensorAddress, width, bytes); hr != kOk) return hr;
    *value = static_cast<uint16_t>(bytes[1] * 256 + bytes[0]);
    return kOk;
}

HResult CIpCamVendorCmd::I2CWrite(uint8_t width, uint32_t reg, uint16_t value) {
    if (width != 1 && width != 2) return kFail;
    TuningLockScope lock(*lock_, logger_, kLockLabel);
    if (!lock.held()) return kIpTransportFailure;
    const uint8_t select = static_cast<uint8_t>(reg);
    if (HResult hr = I2CGenWrite(ipcam::kSensorAddress, 1, &select); hr != kOk) return hr;
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    return I2CGenWrite(ipcam::kSensorAddress, width, bytes);
}

HResult CIpCamVendorCmd::IpCamRead0581(uint8_t selector, uint32_t len, uint8_t* buf) {
    return Access(ipcam::kAccessBlock05 | ipcam::kAccessRead, selector, 0, len, nullptr, buf);
}

HResult CIpCamVendorCmd::IpCamWrite0501(uint8_t selector, uint32_t len, const uint8_t* buf) {
    return Access(ipcam::kAccessBlock05, selector, 0, len, buf, nullptr);
}

HResult CIpCamVendorCmd::IpCamWrite0A1D(uint8_t value) {
    return WriteByte(ipcam::kAccessByte1D, value);
}
HResult CIpCamVendorCmd::IpCamRead0A9D(uint8_t* value) {
    return ReadByte(ipcam::kAccessByte1D, value);
}
HResult CIpCamVendorCmd::IpCamRead0A81(uint8_t* value) {
    return ReadByte(ipcam::kAccessByte01, value);
}
HResult CIpCamVendorCmd::IpCamWrite0A01(uint8_t value) {
    return WriteByte(ipcam::kAccessByte01, value);
}
HResult CIpCamVendorCmd::IpCamRead0A85(uint8_t* value) {
    return ReadByte(ipcam::kAccessByte05, value);
}
HResult CIpCamVendorCmd::IpCamWrite0A05(uint8_t value) {
    return WriteByte(ipcam::kAccessByte05, value);
}
HResult CIpCamVendorCmd::IpCamRead0A86(uint8_t* value) {
    return ReadByte(ipcam::kAccessByte06, value);
}
HResult CIpCamVendorCmd::IpCamWrite0A06(uint8_t value) {
    return WriteByte(ipcam::kAccessByte06, value);
}

HResult CIpCamVendorCmd::IpCamUpdate0A81(uint8_t mask, uint8_t value) {
    TuningLockScope lock(*lock_, logger_, kLockLabel);
    if (!lock.held()) return kIpTransportFailure;
    uint8_t current = 0;
    if (HResult hr = IpCamRead0A81(&current); hr != kOk) return hr;
    return IpCamWrite0A01(static_cast<uint8_t>((current & ~mask) | (value & mask)));
}

}  // namespace orbisk
