#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "platform/device_lock.h"
#include "transport/ext_unit_catalogue.h"
#include "transport/sync_operate.h"
#include "transport/vendor_cmd_common.h"

namespace orbisk {

class Logger;

// Status names of the extension unit's status block, byte 0.
const char* ExtUnitStatusName(uint8_t code);

// The extension-unit command protocol, independent of how the controls reach the device: an
// 8-byte command block to the command control (selector 10), a data phase in packets of the
// data-control size on the data control (selector 11), and the status block read back from
// the command control after a failure. Every operation runs under the device lock.
class CExtUnitBase : public CVendorCmdCommon {
  public:
    static constexpr uint8_t kCommandSelector = 10;
    static constexpr uint8_t kDataSelector = 11;
    static constexpr uint32_t kTransferBufferSize = 1024;
    // Each piece of a transfer above 0xFFFF bytes.
    static constexpr uint32_t kSplitPiece = 0x8000;

    CExtUnitBase(Logger& logger, std::shared_ptr<DeviceLock> lock);
    ~CExtUnitBase() override;

    bool DevQualify() override;
    HResult GetDevStatus(uint16_t first_record, uint8_t* out, uint32_t count) override;
    HResult ResetToUpdateFW(uint16_t arg) override;
    HResult ResetToNewCode(uint16_t arg) override;
    HResult ResetToRom() override;
    HResult ReadIMem(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                     void* context) override;
    HResult ReadMem(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                    void* context) override;
    HResult WriteMem(uint32_t addr, uint32_t len, const uint8_t* buf, ProgressCallback progress,
                     void* context) override;
    HResult ReadCode(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                     void* context) override;
    HResult ReadPhy(uint32_t addr, uint32_t len, uint8_t* buf) override;
    HResult WritePhy(uint32_t addr, uint32_t len, const uint8_t* buf) override;
    HResult NorFlash_Erase() override;
    HResult NorFlash_Read(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                          void* context) override;
    HResult NorFlash_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                           ProgressCallback progress, void* context) override;
    HResult NorFlash_WriteTag() override;
    HResult SPI_SF_ReadID(uint8_t* id) override;
    HResult SPI_SF_FastRead(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t mode,
                            ProgressCallback progress, void* context) override;
    HResult SPI_SF_Read(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t mode,
                        ProgressCallback progress, void* context) override;
    HResult SPI_SF_Write(uint32_t addr, uint32_t len, const uint8_t* buf, ProgressCallback progress,
                         void* context) override;
    HResult SPI_SF_ReadSr(uint8_t* status) override;
    HResult SPI_SF_WriteSr(uint8_t value) override;
    HResult SPI_SF_EraseChip(uint32_t ignored) override;
    HResult SPI_SF_EraseSector(uint32_t addr, uint32_t sector_size) override;
    HResult SPI_SF_WriteTag() override;
    HResult I2C_EEP8_Erase(uint32_t len) override;
    HResult I2C_EEP8_Read(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                          void* context) override;
    HResult I2C_EEP8_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                           ProgressCallback progress, void* context) override;
    HResult I2C_EEP16_Erase(uint32_t len) override;
    HResult I2C_EEP16_Read(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                           void* context) override;
    HResult I2C_EEP16_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                            ProgressCallback progress, void* context) override;
    HResult I2CRead(uint8_t slave, uint16_t len, uint8_t* buf) override;
    HResult I2CRead(uint8_t width, uint32_t reg, uint16_t* value) override;
    HResult I2CWrite(uint8_t slave, uint16_t len, const uint8_t* data) override;
    HResult I2CWrite(uint8_t width, uint32_t reg, uint16_t value) override;
    HResult GetSensorImgDir(uint8_t* value) override;
    HResult SetSensorImgDir(uint8_t value) override;
    HResult GetSensorEffect(uint8_t* value) override;
    HResult SetSensorEffect(uint8_t value) override;
    HResult I2CGenRead(uint8_t addr, uint16_t len, uint8_t* buf) override;
    HResult I2CGenWrite(uint8_t addr, uint16_t len, const uint8_t* buf) override;
    HResult I2CRandomRead(uint8_t slave, uint16_t len, uint8_t* buf) override;
    HResult I2CRandomWrite(uint8_t slave, uint16_t len, const uint8_t* buf) override;
    HResult I2CSuperRead(uint8_t slave, uint16_t len, uint8_t* buf) override;
    HResult I2CSuperWrite(uint8_t slave, uint16_t len, const uint8_t* buf) override;
    HResult I2CLongRead(uint16_t slave, uint16_t reg, uint32_t len, uint8_t* buf,
                        ProgressCallback progress, void* context) override;
    HResult I2CLongWrite(uint16_t slave, uint16_t reg, uint32_t piece_size, uint32_t len,
                         const uint8_t* buf, ProgressCallback progress, void* context) override;
    HResult GetSensorFormat(uint8_t* value) override;
    HResult SetOSDSRAM(const uint8_t* data, uint16_t len) override;
    HResult SetOSDTIME(const uint8_t* data, uint16_t len) override;
    HResult SetAEMotionDetectSensitivity(uint8_t value) override;
    HResult GetAEMotionDetectSensitivity(uint8_t* value) override;
    HResult GetAEMotinoDetectResult(uint8_t* result) override;
    HResult GetCircumStatus(uint8_t* value) override;
    HResult ReadOSDCFGString(uint8_t* buf, uint16_t len) override;
    HResult WriteOSDCFGString(const uint8_t* buf, uint16_t len) override;
    HResult SetCircumCtrl(uint8_t value) override;
    HResult SetMTDSensitivity(const uint8_t* values) override;
    HResult GetMTDSensitivity(uint8_t* values) override;
    HResult SetPowerMipi(uint8_t state) override;
    HResult ProbeMipiIO() override;
    HResult Shale_MJPG_Q_GET(uint8_t* value) override;
    HResult Shale_MJPG_Q_SET(uint8_t value) override;
    HResult Shale_Crop_Start_Set(const uint8_t* data, uint16_t len) override;
    HResult Shale_Crop_Start_Get(uint16_t len, uint8_t* buf) override;
    HResult GetIRMode(uint8_t* buf, uint16_t len) override;
    HResult GetIRResolution(uint16_t* width, uint16_t* height, uint8_t* extra) override;
    HResult IsSupportUVTag(uint32_t* supported) override;
    HResult Shale_Camera_Switch(uint8_t value) override;
    HResult Shale_Denoise_Set(uint8_t value) override;
    HResult OTP_Write(uint16_t addr, uint16_t len, uint16_t bank, const uint8_t* data, uint32_t,
                      uint32_t) override;
    HResult OTP_Read(uint16_t addr, uint16_t len, uint8_t* out, uint32_t, uint32_t) override;
    HResult OTP_BlankCheck(uint16_t addr, uint16_t len, uint8_t* out, uint32_t, uint32_t) override;
    HResult OTP_AllBlankCheck(uint16_t start, uint16_t len, uint8_t* out, uint32_t,
                              uint32_t) override;
    HResult OTP_ReadProgramFailAdr(uint16_t len, uint8_t* out) override;
    HResult SetSrcSwap(uint8_t channel, uint8_t value) override;
    HResult GetSrsSwap(uint8_t channel, uint8_t* value) override;
    HResult BpsThresholdSet(uint8_t value) override;
    HResult BpsThresholdGet(uint8_t* value) override;
    HResult MeRangeSet(uint8_t first, uint8_t second) override;
    HResult MeRangeGet(uint8_t* first, uint8_t* second) override;
    HResult AudioHWVersionGet(uint8_t* value) override;
    HResult MDIORead(uint16_t arg, uint16_t len, uint8_t* buf) override;
    HResult MDIOWrite(uint16_t arg, uint16_t len, const uint8_t* buf) override;
    HResult MDIORead2(uint16_t arg, uint16_t len, uint8_t* buf) override;
    HResult MDIOWrite2(uint16_t arg, uint16_t len, const uint8_t* buf) override;
    HResult VD3AVersionGet(uint8_t index, uint8_t* version) override;
    HResult SecureBioByPass(const uint8_t* data, uint16_t len) override;
    bool IsSecureBioByPass() override;
    HResult GetWPStatus(uint8_t* value) override;

    // Own operations of the extension-unit family.
    // Logs a failed step and brings the device back to a clean state: reads its status block
    // and sends the abort block, unless the device is gone.
    void ReportError(const std::string& label, HResult result);
    HResult SWWriteProtect(uint8_t value);
    // Negotiates the data-control size. True when the device took *size; otherwise *size
    // holds the size now in force.
    virtual bool ChangeDataControlSize(uint16_t* size) = 0;
    HResult LoadIQPatch();
    HResult GetTouch2AStatus(uint8_t* value);
    HResult SetTouch2APos(const uint8_t* data, uint16_t len);
    HResult GetTouch2ASize(uint8_t* buf, uint16_t len);
    HResult SetGOPVal(uint8_t value);
    HResult GetGOPVal(uint8_t* value);
    HResult SetJpegQTableScale(uint8_t value);
    HResult GetJpegQTableScale(uint8_t* value);
    HResult SetH264VSCMDRate(uint8_t value);
    HResult GetH264VSCMDRate(uint8_t* value);
    HResult SetH264MaxQP(uint8_t value);
    HResult GetH264MaxQP(uint8_t* value);
    HResult SetH264BitRate(const uint8_t* rate /* 4 bytes */);
    HResult GetH264BitRate(uint8_t* rate /* 4 bytes */);
    HResult SetPThresHoldCoeff(uint8_t value);
    HResult GetPThresHoldCoeff(uint8_t* value);
    HResult SetBackGroundMTD(const uint8_t* data, uint16_t len);
    HResult StopBackGroundMTD();
    HResult OTPTestDec(uint16_t arg, uint16_t len, uint8_t* buf);
    HResult OTPWriteTest(uint16_t addr, uint16_t len, uint16_t bank, const uint8_t* data);
    HResult SetMode(uint8_t first, uint8_t second);
    HResult GetMode(uint8_t* first, uint8_t* second);
    HResult SNRSelSet(uint8_t value);
    HResult FT2MIPISkewCheck(uint8_t* result /* 8 bytes */);
    HResult SetDMICI2SMode(uint8_t value);
    HResult GetDMICI2SMode(uint8_t* value);

    // Status byte of the last failed command; 0xFF when it could not be read.
    uint8_t GetLastCmdStatus() const { return last_cmd_status_; }
    uint32_t data_control_size() const { return data_control_size_; }
    bool mipi_io() const { return mipi_io_; }
    // The lock wait; tests shorten it.
    void set_lock_timeout_ms(uint32_t ms) { lock_timeout_ms_ = ms; }

  protected:
    struct Params {
        uint8_t count = 0;
        uint16_t p[3] = {0, 0, 0};
    };
    static Params P() { return {}; }
    static Params P(uint32_t p1) { return {1, {uint16_t(p1), 0, 0}}; }
    static Params P(uint32_t p1, uint32_t p2) { return {2, {uint16_t(p1), uint16_t(p2), 0}}; }
    static Params P(uint32_t p1, uint32_t p2, uint32_t p3) {
        return {3, {uint16_t(p1), uint16_t(p2), uint16_t(p3)}};
    }

    // Transport primitives.
    // Sends the 8-byte command block to the command control.
    virtual HResult SendCmd(const uint8_t* block) = 0;
    virtual HResult GetCmdStatus(uint8_t* status /* 8 bytes */) = 0;
    // One packet of the data-control size from or to the data control.
    virtual HResult GetData(uint8_t* packet) = 0;
    virtual HResult SetData(const uint8_t* packet) = 0;
    // How the packet loops judge a primitive's result.
    virtual bool IsTransferFailure(HResult result) const { return result != kOk; }

    // Fills the parameters into a copy of the template and sends it.
    HResult SetCmd(const xu::Cmd& cmd, const Params& params);
    // Packet loops over n bytes; *done tells how far they got.
    HResult GetData(uint8_t* out, uint16_t n, uint16_t* done, ProgressCallback progress = nullptr,
                    void* context = nullptr);
    HResult SetData(const uint8_t* in, uint16_t n, uint16_t* done,
                    ProgressCallback progress = nullptr, void* context = nullptr);

    // The operation steps, each under the lock labelled "CExtUnitBase::<name>".
    // A command without data phase.
    HResult Command(const char* name, const xu::Cmd& cmd, const Params& params);
    // One packet through the transfer buffer: count bytes copied out or placed at its start.
    HResult ReadPacket(const char* name, const xu::Cmd& cmd, const Params& params, uint8_t* out,
                       uint32_t count);
    HResult WritePacket(const char* name, const xu::Cmd& cmd, const Params& params,
                        const uint8_t* in, uint32_t count);
    // n bytes through the packet loop; failures name the address reached when `addr` is set.
    HResult ReadBytes(const char* name, const xu::Cmd& cmd, const Params& params, uint8_t* out,
                      uint16_t n, std::optional<uint32_t> addr = {},
                      ProgressCallback progress = nullptr, void* context = nullptr);
    HResult WriteBytes(const char* name, const xu::Cmd& cmd, const Params& params,
                       const uint8_t* in, uint16_t n, std::optional<uint32_t> addr = {},
                       ProgressCallback progress = nullptr, void* context = nullptr);

    // Runs body under the device lock; a lock that is not taken gives 1.
    template <typename Body>
    HResult Locked(const char* name, Body&& body) {
        bool failed = true;
        CSyncOperate sync(*lock_, failed, std::string("CExtUnitBase::") + name, logger_,
                          lock_timeout_ms_);
        if (failed) return kLockFailed;
        return body();
    }

    Logger& logger() { return logger_; }
    DeviceLock& lock() { return *lock_; }
    uint32_t lock_timeout_ms() const { return lock_timeout_ms_; }
    // Accepts a negotiated size only when the transfer buffer can hold it.
    static bool IsUsableDataControlSize(uint32_t size) {
        return size >= 1 && size <= kTransferBufferSize;
    }

    uint8_t transfer_[kTransferBufferSize] = {};
    uint32_t data_control_size_ = 8;
    bool mipi_io_ = false;
    uint8_t last_cmd_status_ = 0xFF;

  private:
    // The address-taking operations peel off 0x8000-byte pieces while more than 0xFFFF bytes
    // remain, each through the interface; what is left goes out as one command.
    template <typename Ptr, typename Piece>
    static HResult SplitLarge(uint32_t& addr, uint32_t& len, Ptr& buf, Piece&& piece) {
        while (len > 0xFFFF) {
            const HResult hr = piece(addr, kSplitPiece, buf);
            if (hr != kOk) return hr;
            addr += kSplitPiece;
            buf += kSplitPiece;
            len -= kSplitPiece;
        }
        return kOk;
    }
    enum AddressPaging : bool { kUnpaged = false, kPaged = true };
    // A read (buf writable) or write (buf const) of any length, under the lock: 0x8000-byte
    // pieces go through `self` while more than 0xFFFF bytes remain, the rest as one command
    // whose third parameter carries the address bits 16..31 when the command is paged.
    template <typename Byte, typename Self>
    HResult SplitTransfer(const char* name, const xu::Cmd& cmd, AddressPaging paging, uint32_t addr,
                          uint32_t len, Byte* buf, ProgressCallback progress, void* context,
                          Self&& self) {
        return Locked(name, [&] {
            HResult hr = SplitLarge(addr, len, buf, self);
            if (hr != kOk || len == 0) return hr;
            const Params params =
                paging == kPaged ? P(addr & 0xFFFF, len, addr >> 16) : P(addr & 0xFFFF, len);
            if constexpr (std::is_const_v<Byte>)
                return WriteBytes(name, cmd, params, buf, uint16_t(len), addr, progress, context);
            else
                return ReadBytes(name, cmd, params, buf, uint16_t(len), addr, progress, context);
        });
    }
    HResult EepromErase(const char* name, const xu::Cmd& write_cmd, uint32_t len);
    // One piece of an I2C long transfer: written from `in`, or read into `out`.
    HResult LongPiece(uint16_t slave, uint16_t reg, const uint8_t* in, uint8_t* out, uint16_t len,
                      ProgressCallback progress, void* context);

    Logger& logger_;
    std::shared_ptr<DeviceLock> lock_;
    uint32_t lock_timeout_ms_ = kDeviceLockTimeoutMs;
};

}  // namespace orbisk
