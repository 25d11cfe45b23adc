#include "transport/ext_unit_base.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/logger.h"

namespace orbisk {

const char* ExtUnitStatusName(uint8_t code) {
    static constexpr const char* kNames[] = {"VCMD_STS_CMD",          "VCMD_STS_DATA_IN",
                                             "VCMD_STS_DATA_OUT",     "VCMD_STS_ERR_DIR",
                                             "VCMD_STS_NOT_FINISH",   "VCMD_STS_ERR_LEN",
                                             "VCMD_STS_UNKNOWN_SCMD", "VCMD_STS_ERR_OUTRANGE",
                                             "VCMD_STS_UNKNOWN_CMD",  "VCMD_STS_HW_ERR"};
    if (code < std::size(kNames)) return kNames[code];
    if (code == 0xFE) return "VCMD_STS_RET_NO_ERR";
    return "Undefined ExtUnit error code\n";
}

CExtUnitBase::CExtUnitBase(Logger& logger, std::shared_ptr<DeviceLock> lock)
    : logger_(logger), lock_(std::move(lock)) {}

CExtUnitBase::~CExtUnitBase() = default;

HResult CExtUnitBase::SetCmd(const xu::Cmd& cmd, const Params& params) {
    uint8_t block[8] = {cmd.group, cmd.opcode, 0, 0, uint8_t(cmd.p2), uint8_t(cmd.p2 >> 8), 0, 0};
    for (int i = 0; i < params.count; ++i) {
        block[2 + 2 * i] = uint8_t(params.p[i]);
        block[3 + 2 * i] = uint8_t(params.p[i] >> 8);
    }
    return SendCmd(block);
}

HResult CExtUnitBase::GetData(uint8_t* out, uint16_t n, uint16_t* done, ProgressCallback progress,
                              void* context) {
    const uint32_t s = data_control_size_;
    const uint32_t whole = n / s;
    *done = 0;
    // Whole packets go straight into the caller's buffer.
    for (uint32_t i = 0; i < whole; ++i) {
        const HResult hr = GetData(out + i * s);
        if (IsTransferFailure(hr)) {
            *done = uint16_t(i * s);
            return hr;
        }
        if (progress != nullptr) progress(context, s);
    }
    const uint32_t rest = n % s;
    if (rest != 0) {
        std::memset(transfer_, 0, s);
        const HResult hr = GetData(transfer_);
        if (IsTransferFailure(hr)) {
            *done = uint16_t(whole * s);
            return hr;
        }
        std::memcpy(out + whole * s, transfer_, rest);
        if (progress != nullptr) progress(context, rest);
    }
    *done = n;
    return kOk;
}

HResult CExtUnitBase::SetData(const uint8_t* in, uint16_t n, uint16_t* done,
                              ProgressCallback progress, void* context) {
    const uint32_t s = data_control_size_;
    const uint32_t whole = n / s;
    *done = 0;
    for (uint32_t i = 0; i < whole; ++i) {
        const HResult hr = SetData(in + i * s);
        if (IsTransferFailure(hr)) {
            *done = uint16_t(i * s);
            return hr;
        }
        if (progress != nullptr) progress(context, s);
    }
    const uint32_t rest = n % s;
    if (rest != 0) {
        std::memset(transfer_, 0, s);
        std::memcpy(transfer_, in + whole * s, rest);
        const HResult hr = SetData(transfer_);
        if (IsTransferFailure(hr)) {
            *done = uint16_t(whole * s);
            return hr;
        }
        if (progress != nullptr) progress(context, rest);
    }
    *done = n;
    return kOk;
}

void CExtUnitBase::ReportError(const std::string& label, HResult result) {
    std::string message = label;
    last_cmd_status_ = 0xFF;
    if (result == kDeviceGone) {
        message += "Device not connected";
    } else {
        std::memset(transfer_, 0, 8);
        const HResult status = GetCmdStatus(transfer_);
        char text[160];
        if (status != kOk) {
            std::snprintf(text, sizeof text, " error %x, and fail to get err_code %x",
                          uint32_t(result), uint32_t(status));
        } else {
            std::snprintf(text, sizeof text, " error %x, %s", uint32_t(result),
                          ExtUnitStatusName(transfer_[0]));
            last_cmd_status_ = transfer_[0];
        }
        message += text;
        // Whatever the abort answers, the failure has been reported already.
        SetCmd(xu::kAbort, P());
    }
    logger_.DebugPrint("%s\n", message.c_str());
}

HResult CExtUnitBase::Command(const char* name, const xu::Cmd& cmd, const Params& params) {
    return Locked(name, [&] {
        const HResult hr = SetCmd(cmd, params);
        if (hr != kOk) ReportError(std::string(name) + " SetCmd", hr);
        return hr;
    });
}

HResult CExtUnitBase::ReadPacket(const char* name, const xu::Cmd& cmd, const Params& params,
                                 uint8_t* out, uint32_t count) {
    return Locked(name, [&] {
        if (count > data_control_size_) return kInvalidArg;
        HResult hr = SetCmd(cmd, params);
        if (hr != kOk) {
            ReportError(std::string(name) + " SetCmd", hr);
            return hr;
        }
        std::memset(transfer_, 0, data_control_size_);
        hr = GetData(transfer_);
        if (IsTransferFailure(hr)) {
            ReportError(std::string(name) + " GetData", hr);
            return hr;
        }
        std::memcpy(out, transfer_, count);
        return kOk;
    });
}

HResult CExtUnitBase::WritePacket(const char* name, const xu::Cmd& cmd, const Params& params,
                                  const uint8_t* in, uint32_t count) {
    return Locked(name, [&] {
        if (count > data_control_size_) return kInvalidArg;
        HResult hr = SetCmd(cmd, params);
        if (hr != kOk) {
            ReportError(std::string(name) + " SetCmd", hr);
            return hr;
        }
        std::memset(transfer_, 0, data_control_size_);
        std::memcpy(transfer_, in, count);
        hr = SetData(transfer_);
        if (IsTransferFailure(hr)) {
            ReportError(std::string(name) + " SetData", hr);
            return hr;
        }
        return kOk;
    });
}

namespace {
std::string StepLabel(const char* name, const char* step, std::optional<uint32_t> addr,
                      uint16_t done) {
    std::string label = std::string(name) + step;
    if (addr) {
        char text[16];
        std::snprintf(text, sizeof text, " 0x%X", *addr + done);
        label += text;
    }
    return label;
}
}  // namespace

HResult CExtUnitBase::ReadBytes(const char* name, const xu::Cmd& cmd, const Params& params,
                                uint8_t* out, uint16_t n, std::optional<uint32_t> addr,
                                ProgressCallback progress, void* context) {
    return Locked(name, [&] {
        HResult hr = SetCmd(cmd, params);
        if (hr != kOk) {
            ReportError(std::string(name) + " SetCmd", hr);
            return hr;
        }
        uint16_t done = 0;
        hr = GetData(out, n, &done, progress, context);
        if (IsTransferFailure(hr)) {
            ReportError(StepLabel(name, " GetData", addr, done), hr);
            return hr;
        }
        return kOk;
    });
}

HResult CExtUnitBase::WriteBytes(const char* name, const xu::Cmd& cmd, const Params& params,
                                 const uint8_t* in, uint16_t n, std::optional<uint32_t> addr,
                                 ProgressCallback progress, void* context) {
    return Locked(name, [&] {
        HResult hr = SetCmd(cmd, params);
        if (hr != kOk) {
            ReportError(std::string(name) + " SetCmd", hr);
            return hr;
        }
        uint16_t done = 0;
        hr = SetData(in, n, &done, progress, context);
        if (IsTransferFailure(hr)) {
            ReportError(StepLabel(name, " SetData", addr, done), hr);
            return hr;
        }
        return kOk;
    });
}

// Identity, status and resets.

bool CExtUnitBase::DevQualify() {
    static constexpr uint8_t kSignature[8] = {'Z', 'O', 'R', 'V', 'I', 'N', 'E', 0};
    uint8_t reply[8] = {};
    const HResult hr = ReadPacket("DevQualify", xu::kDevQualify, P(), reply,
                                  std::min<uint32_t>(8, data_control_size_));
    if (hr != kOk) return false;
    if (std::memcmp(reply, kSignature, 8) != 0) {
        logger_.DebugPrint("Not zorvine device");
        return false;
    }
    return true;
}

HResult CExtUnitBase::GetDevStatus(uint16_t first, uint8_t* out, uint32_t count) {
    return Locked("GetDevStatus", [&] {
        const uint32_t records = count / 8;
        const uint32_t rest = count % 8;
        const uint32_t copy = std::min<uint32_t>(8, data_control_size_);
        for (uint32_t i = 0; i < records + (rest != 0 ? 1 : 0); ++i) {
            const uint32_t record = first + i;
            HResult hr = SetCmd(xu::kGetDevStatus, P(record, 8));
            if (hr != kOk) {
                ReportError("GetDevStatus SetCmd", hr);
                return hr;
            }
            std::memset(transfer_, 0, data_control_size_);
            hr = GetData(transfer_);
            if (IsTransferFailure(hr)) {
                ReportError("GetDevStatus GetData", hr);
                return hr;
            }
            const uint32_t wanted = i < records ? 8 : rest;
            std::memset(out + i * 8, 0, wanted);
            std::memcpy(out + i * 8, transfer_, std::min(wanted, copy));
        }
        return kOk;
    });
}

HResult CExtUnitBase::ProbeMipiIO() {
    static constexpr uint8_t kMipiIo[8] = {'M', 'I', 'P', 'I', ' ', 'I', 'O', 0};
    mipi_io_ = false;
    uint8_t status[32] = {};
    if (GetDevStatus(0, status, sizeof status) != kOk) return 1;
    if (std::memcmp(status + 24, kMipiIo, 8) != 0) return 1;
    mipi_io_ = true;
    return kOk;
}

HResult CExtUnitBase::ResetToUpdateFW(uint16_t arg) {
    return Command("ResetToUpdateFW", xu::kResetToUpdateFW, P(arg));
}
HResult CExtUnitBase::ResetToNewCode(uint16_t arg) {
    return Command("ResetToNewCode", xu::kResetToNewCode, P(arg));
}
HResult CExtUnitBase::ResetToRom() {
    return Command("ResetToRom", xu::kResetToRom, P());
}

// Memory and code access.

HResult CExtUnitBase::ReadIMem(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                               void* context) {
    return SplitTransfer(
        "ReadIMem", xu::kReadIMem, kUnpaged, addr, len, buf, progress, context,
        [&](uint32_t a, uint32_t n, auto b) { return ReadIMem(a, n, b, progress, context); });
}

HResult CExtUnitBase::ReadMem(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                              void* context) {
    return SplitTransfer(
        "ReadMem", xu::kReadMem, kPaged, addr, len, buf, progress, context,
        [&](uint32_t a, uint32_t n, auto b) { return ReadMem(a, n, b, progress, context); });
}

HResult CExtUnitBase::WriteMem(uint32_t addr, uint32_t len, const uint8_t* buf,
                               ProgressCallback progress, void* context) {
    return SplitTransfer(
        "WriteMem", xu::kWriteMem, kPaged, addr, len, buf, progress, context,
        [&](uint32_t a, uint32_t n, auto b) { return WriteMem(a, n, b, progress, context); });
}

HResult CExtUnitBase::ReadCode(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                               void* context) {
    return SplitTransfer(
        "ReadCode", xu::kReadCode, kUnpaged, addr, len, buf, progress, context,
        [&](uint32_t a, uint32_t n, auto b) { return ReadCode(a, n, b, progress, context); });
}

// One command per byte: the physical registers are reached one address at a time.
HResult CExtUnitBase::ReadPhy(uint32_t addr, uint32_t len, uint8_t* buf) {
    return Locked("ReadPhy", [&] {
        HResult hr = SplitLarge(
            addr, len, buf, [&](uint32_t a, uint32_t n, uint8_t* b) { return ReadPhy(a, n, b); });
        for (uint32_t i = 0; hr == kOk && i < len; ++i)
            hr = ReadPacket("ReadPhy", xu::kReadPhy, P((addr + i) & 0xFFFF), buf + i, 1);
        return hr;
    });
}

HResult CExtUnitBase::WritePhy(uint32_t addr, uint32_t len, const uint8_t* buf) {
    return Locked("WritePhy", [&] {
        HResult hr = SplitLarge(addr, len, buf, [&](uint32_t a, uint32_t n, const uint8_t* b) {
            return WritePhy(a, n, b);
        });
        for (uint32_t i = 0; hr == kOk && i < len; ++i)
            hr = WritePacket("WritePhy", xu::kWritePhy, P((addr + i) & 0xFFFF), buf + i, 1);
        return hr;
    });
}

// NOR and serial flash.

HResult CExtUnitBase::NorFlash_Erase() {
    return Command("NorFlash_Erase", xu::kNorFlashErase, P());
}

HResult CExtUnitBase::NorFlash_Read(uint32_t addr, uint32_t len, uint8_t* buf,
                                    ProgressCallback progress, void* context) {
    return SplitTransfer(
        "NorFlash_Read", xu::kNorFlashRead, kUnpaged, addr, len, buf, progress, context,
        [&](uint32_t a, uint32_t n, auto b) { return NorFlash_Read(a, n, b, progress, context); });
}

HResult CExtUnitBase::NorFlash_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                                     ProgressCallback progress, void* context) {
    return SplitTransfer(
        "NorFlash_Write", xu::kNorFlashWrite, kUnpaged, addr, len, buf, progress, context,
        [&](uint32_t a, uint32_t n, auto b) { return NorFlash_Write(a, n, b, progress, context); });
}

HResult CExtUnitBase::NorFlash_WriteTag() {
    return Command("NorFlash_WriteTag", xu::kNorFlashWriteTag, P());
}

HResult CExtUnitBase::SPI_SF_ReadID(uint8_t* id) {
    return ReadPacket("SPI_SF_ReadID", xu::kSpiReadID, P(), id, 8);
}

HResult CExtUnitBase::SPI_SF_FastRead(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t mode,
                                      ProgressCallback progress, void* context) {
    return Locked("SPI_SF_FastRead", [&] {
        HResult hr = SplitLarge(addr, len, buf, [&](uint32_t a, uint32_t n, uint8_t* b) {
            return SPI_SF_FastRead(a, n, b, mode, progress, context);
        });
        if (hr != kOk || len == 0) return hr;
        const xu::Cmd& cmd = mode == 1   ? xu::kSpiFastRead1
                             : mode == 2 ? xu::kSpiFastRead2
                             : mode == 3 ? xu::kSpiFastRead3
                                         : xu::kSpiRead;
        return ReadBytes("SPI_SF_FastRead", cmd, P(addr & 0xFFFF, len, addr >> 16), buf,
                         uint16_t(len), addr, progress, context);
    });
}

HResult CExtUnitBase::SPI_SF_Read(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t mode,
                                  ProgressCallback progress, void* context) {
    return SplitTransfer("SPI_SF_Read", xu::kSpiRead, kPaged, addr, len, buf, progress, context,
                         [&](uint32_t a, uint32_t n, auto b) {
                             return SPI_SF_Read(a, n, b, mode, progress, context);
                         });
}

HResult CExtUnitBase::SPI_SF_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                                   ProgressCallback progress, void* context) {
    return SplitTransfer(
        "SPI_SF_Write", xu::kSpiWrite, kPaged, addr, len, buf, progress, context,
        [&](uint32_t a, uint32_t n, auto b) { return SPI_SF_Write(a, n, b, progress, context); });
}

HResult CExtUnitBase::SPI_SF_ReadSr(uint8_t* status) {
    return ReadPacket("SPI_SF_ReadSr", xu::kSpiReadSr, P(), status, 1);
}
HResult CExtUnitBase::SPI_SF_WriteSr(uint8_t value) {
    return WritePacket("SPI_SF_WriteSr", xu::kSpiWriteSr, P(), &value, 1);
}
HResult CExtUnitBase::SPI_SF_EraseChip(uint32_t) {
    return Command("SPI_SF_EraseChip", xu::kSpiEraseChip, P());
}

HResult CExtUnitBase::SPI_SF_EraseSector(uint32_t addr, uint32_t sector_size) {
    // A misaligned address would erase data the caller did not name.
    if (sector_size == 0 || addr % sector_size != 0) return kInvalidArg;
    return Command("SPI_SF_EraseSector", xu::kSpiEraseSector, P(addr & 0xFFFF, 0, addr >> 16));
}

HResult CExtUnitBase::SPI_SF_WriteTag() {
    return Command("SPI_SF_WriteTag", xu::kSpiWriteTag, P());
}

// I2C EEPROM.

HResult CExtUnitBase::EepromErase(const char* name, const xu::Cmd& write_cmd, uint32_t len) {
    return Locked(name, [&] {
        const std::vector<uint8_t> blank(std::min<uint32_t>(len, 0xFFFF), 0xFF);
        uint32_t offset = 0;
        while (len - offset > 0) {
            const uint32_t piece = len - offset > 0xFFFF ? kSplitPiece : len - offset;
            const HResult hr = WriteBytes(name, write_cmd, P(offset & 0xFFFF, piece, offset >> 16),
                                          blank.data(), uint16_t(piece), offset);
            if (hr != kOk) return hr;
            offset += piece;
        }
        return kOk;
    });
}

HResult CExtUnitBase::I2C_EEP8_Erase(uint32_t len) {
    return EepromErase("I2C_EEP8_Erase", xu::kEep8Write, len);
}
HResult CExtUnitBase::I2C_EEP16_Erase(uint32_t len) {
    return EepromErase("I2C_EEP16_Erase", xu::kEep16Write, len);
}

HResult CExtUnitBase::I2C_EEP8_Read(uint32_t addr, uint32_t len, uint8_t* buf,
                                    ProgressCallback progress, void* context) {
    return SplitTransfer(
        "I2C_EEP8_Read", xu::kEep8Read, kPaged, addr, len, buf, progress, context,
        [&](uint32_t a, uint32_t n, auto b) { return I2C_EEP8_Read(a, n, b, progress, context); });
}

HResult CExtUnitBase::I2C_EEP8_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                                     ProgressCallback progress, void* context) {
    return SplitTransfer(
        "I2C_EEP8_Write", xu::kEep8Write, kPaged, addr, len, buf, progress, context,
        [&](uint32_t a, uint32_t n, auto b) { return I2C_EEP8_Write(a, n, b, progress, context); });
}

HResult CExtUnitBase::I2C_EEP16_Read(uint32_t addr, uint32_t len, uint8_t* buf,
                                     ProgressCallback progress, void* context) {
    return SplitTransfer(
        "I2C_EEP16_Read", xu::kEep16Read, kPaged, addr, len, buf, progress, context,
        [&](uint32_t a, uint32_t n, auto b) { return I2C_EEP16_Read(a, n, b, progress, context); });
}

HResult CExtUnitBase::I2C_EEP16_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                                      ProgressCallback progress, void* context) {
    return Locked("I2C_EEP16_Write", [&] {
        HResult hr = SplitLarge(addr, len, buf, [&](uint32_t a, uint32_t n, const uint8_t* b) {
            return I2C_EEP16_Write(a, n, b, progress, context);
        });
        if (hr != kOk || len == 0) return hr;
        return WriteBytes("I2C_EEP16_Write", xu::kEep16Write, P(addr & 0xFFFF, len, addr >> 16),
                          buf, uint16_t(len), addr, progress, context);
    });
}

}  // namespace orbisk
