// Sensor I2C, OTP and protection operations of the extension-unit protocol.
#include <algorithm>
#include <cstring>

#include "base/logger.h"
#include "transport/ext_unit_base.h"
#include "transport/i2c_pieces.h"

namespace orbisk {
namespace {
constexpr uint32_t kI2CPacketMax = 64;
}  // namespace

// Single-packet I2C transfers: at most 64 bytes, and no more than one packet holds.
HResult CExtUnitBase::I2CRead(uint8_t slave, uint16_t len, uint8_t* buf) {
    if (len > kI2CPacketMax) return kInvalidArg;
    return ReadPacket("I2CRead", xu::kI2CReadSlave, P(slave, len), buf, len);
}

HResult CExtUnitBase::I2CWrite(uint8_t slave, uint16_t len, const uint8_t* data) {
    if (len > kI2CPacketMax) return kInvalidArg;
    return WritePacket("I2CWrite", xu::kI2CWriteSlave, P(slave, len), data, len);
}

HResult CExtUnitBase::I2CRandomRead(uint8_t slave, uint16_t len, uint8_t* buf) {
    if (len > kI2CPacketMax) return kInvalidArg;
    return ReadPacket("I2CRandomRead", xu::kI2CRandomRead, P(slave, len), buf, len);
}

HResult CExtUnitBase::I2CRandomWrite(uint8_t slave, uint16_t len, const uint8_t* buf) {
    if (len > kI2CPacketMax) return kInvalidArg;
    return WritePacket("I2CRandomWrite", xu::kI2CRandomWrite, P(slave, len), buf, len);
}

HResult CExtUnitBase::I2CRead(uint8_t width, uint32_t reg, uint16_t* value) {
    uint8_t bytes[2] = {};
    const HResult hr =
        ReadBytes("I2CRead", xu::kI2CReadReg, P(reg & 0xFFFF, 2, reg >> 16), bytes, 2);
    if (hr != kOk) return hr;
    *value = uint16_t(bytes[0] | (bytes[1] << 8));
    if (width == 1) *value &= 0x00FF;
    return kOk;
}

HResult CExtUnitBase::I2CWrite(uint8_t, uint32_t reg, uint16_t value) {
    const uint8_t bytes[2] = {uint8_t(value), uint8_t(value >> 8)};
    return WriteBytes("I2CWrite", xu::kI2CWriteReg, P(reg & 0xFFFF, 2, reg >> 16), bytes, 2);
}

HResult CExtUnitBase::I2CGenRead(uint8_t addr, uint16_t len, uint8_t* buf) {
    return ReadBytes("I2CGenRead", xu::kI2CGenRead, P(addr, len), buf, len);
}
HResult CExtUnitBase::I2CGenWrite(uint8_t addr, uint16_t len, const uint8_t* buf) {
    return WriteBytes("I2CGenWrite", xu::kI2CGenWrite, P(addr, len), buf, len);
}
HResult CExtUnitBase::I2CSuperRead(uint8_t slave, uint16_t len, uint8_t* buf) {
    return ReadBytes("I2CSuperRead", xu::kI2CSuperRead, P(slave, len), buf, len);
}
HResult CExtUnitBase::I2CSuperWrite(uint8_t slave, uint16_t len, const uint8_t* buf) {
    return WriteBytes("I2CSuperWrite", xu::kI2CSuperWrite, P(slave, len), buf, len);
}

HResult CExtUnitBase::LongPiece(uint16_t slave, uint16_t reg, const uint8_t* in, uint8_t* out,
                                uint16_t len, ProgressCallback progress, void* context) {
    if (in != nullptr) {
        return WriteBytes("I2CLongWrite", xu::kI2CLongWrite, P(reg, len, slave), in, len, {},
                          progress, context);
    }
    // The piece lands in a packet-sized scratch buffer before it reaches the caller.
    uint8_t packet[kI2CPacketMax] = {};
    const HResult hr = ReadBytes("I2CLongRead", xu::kI2CLongRead, P(reg, len, slave), packet, len,
                                 {}, progress, context);
    if (hr == kOk) std::memcpy(out, packet, len);
    return hr;
}

HResult CExtUnitBase::I2CLongRead(uint16_t slave, uint16_t reg, uint32_t len, uint8_t* buf,
                                  ProgressCallback progress, void* context) {
    return Locked("I2CLongRead", [&] {
        uint32_t done = 0;
        while (done < len) {
            const uint16_t piece = uint16_t(std::min(len - done, kI2CPacketMax));
            const HResult hr = LongPiece(slave, reg, nullptr, buf + done, piece, progress, context);
            if (hr != kOk) return hr;
            reg = uint16_t(reg + piece);
            done += piece;
        }
        return kOk;
    });
}

HResult CExtUnitBase::I2CLongWrite(uint16_t slave, uint16_t reg, uint32_t, uint32_t len,
                                   const uint8_t* buf, ProgressCallback progress, void* context) {
    return Locked("I2CLongWrite", [&] {
        return ForEachLongWritePiece(reg, len, [&](uint16_t at, uint32_t offset, uint32_t n) {
            return LongPiece(slave, at, buf + offset, nullptr, uint16_t(n), progress, context);
        });
    });
}

HResult CExtUnitBase::SetPowerMipi(uint8_t state) {
    return WritePacket("SetPowerMipi", xu::kSetPowerMipi, P(), &state, 1);
}

// OTP.

HResult CExtUnitBase::OTP_Write(uint16_t addr, uint16_t len, uint16_t bank, const uint8_t* data,
                                uint32_t, uint32_t) {
    return Locked("OTP_Write", [&] {
        last_cmd_status_ = 0;
        return WriteBytes("OTP_Write", xu::kOtpWrite, P(addr, len, bank), data, len, addr);
    });
}

HResult CExtUnitBase::OTP_Read(uint16_t addr, uint16_t len, uint8_t* out, uint32_t, uint32_t) {
    return ReadBytes("OTP_Read", xu::kOtpRead, P(addr, len), out, len, addr);
}

HResult CExtUnitBase::OTP_BlankCheck(uint16_t addr, uint16_t len, uint8_t* out, uint32_t,
                                     uint32_t) {
    return ReadBytes("OTP_BlankCheck", xu::kOtpBlankCheck, P(addr, len), out, len, addr);
}

HResult CExtUnitBase::OTP_AllBlankCheck(uint16_t start, uint16_t len, uint8_t* out, uint32_t,
                                        uint32_t) {
    return ReadBytes("OTP_AllBlankCheck", xu::kOtpAllBlankCheck, P(start, 8, len), out, len);
}

HResult CExtUnitBase::OTP_ReadProgramFailAdr(uint16_t len, uint8_t* out) {
    return ReadBytes("OTP_ReadProgramFailAdr", xu::kOtpReadProgramFailAdr, P(), out, len);
}

HResult CExtUnitBase::OTPTestDec(uint16_t arg, uint16_t len, uint8_t* buf) {
    return ReadBytes("OTPTestDec", xu::kOTPTestDec, P(arg, len), buf, len);
}

HResult CExtUnitBase::OTPWriteTest(uint16_t addr, uint16_t len, uint16_t bank,
                                   const uint8_t* data) {
    return WriteBytes("OTPWriteTest", xu::kOTPWriteTest, P(addr, len, bank), data, len, addr);
}

// Protection.

HResult CExtUnitBase::SecureBioByPass(const uint8_t* data, uint16_t len) {
    return WriteBytes("SecureBioByPass", xu::kSecureBioByPass, P(), data, len);
}

bool CExtUnitBase::IsSecureBioByPass() {
    uint8_t reply[5] = {};
    if (ReadPacket("IsSecureBioByPass", xu::kIsSecureBioByPass, P(), reply,
                   std::min<uint32_t>(5, data_control_size_)) != kOk)
        return false;
    if (std::memcmp(reply, "KOBIE", 5) != 0) {
        logger().DebugPrint("Not SecureBioByPass mode");
        return false;
    }
    return true;
}

HResult CExtUnitBase::GetWPStatus(uint8_t* value) {
    return ReadPacket("GetWPStatus", xu::kGetWPStatus, P(), value, 1);
}

HResult CExtUnitBase::SWWriteProtect(uint8_t value) {
    return WriteBytes("SWWriteProtect", xu::kSWWriteProtect, P(), &value, 1);
}

}  // namespace orbisk
