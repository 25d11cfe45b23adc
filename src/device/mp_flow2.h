#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "base/process.h"
#include "camera/cam_lib.h"
#include "catalogue/ic_type_ini.h"
#include "device/chunked_transfer.h"
#include "device/device_status.h"
#include "device/mp_flow.h"
#include "device/register_sequences.h"
#include "platform/sysinfo.h"

namespace orbisk {

// Serial-flash primitives and the device helpers: status and version texts, write protection,
// chip erase, the fast-download switches and every chunked transfer.
class CMpFlow2 : public CMpFlow {
  public:
    CMpFlow2(Process& process, CamLib& camlib, CICTypeIni& profiles)
        : CMpFlow(process, camlib), profiles_(profiles) {}

    // Status block and texts.
    int MP_GetDevStatus(DevStatusBlock& block);
    int MP_IsRunningCode(int& running);
    int MP_GetVersionStyle(int& style);
    int MP_RefreshDeviceStatus();
    int MP_GetFWVersionText();
    int MP_GetDeviceInfo() override;

    // Serial-flash control.
    int MP_DisableSPIWriteProtect();
    int MP_EnableSPIWriteProtect();
    int MP_EraseSPIFlash();
    int MP_Accelerate6644Download();
    int MP_Accelerate6521Download();
    int MP_Prepare6521Erase();

    // Chunked transfers; `memory` is indexed by device address.
    int MP_WriteSPIFlash(uint32_t start, uint32_t len, std::span<uint8_t> memory);
    // The write after a whole-chip erase: blocks of only 0xFF are not sent.
    int MP_WriteErasedSPIFlash(uint32_t len, std::span<uint8_t> memory);
    int MP_WriteSPIFlashWithRetry(uint32_t address, uint32_t len, std::span<uint8_t> memory);
    // A few bytes read back quietly (no step text, no progress), tried like a chunk.
    int MP_ReadSPIFlashWithRetry(uint32_t address, uint32_t len, std::span<uint8_t> memory);
    int MP_CheckSPIFlashEmpty(uint32_t len, std::span<uint8_t> memory);
    int MP_VerifyReadSPIFlash(uint32_t len, std::span<uint8_t> memory);
    int MP_ReadSPIFlash(uint32_t len, std::span<uint8_t> memory);
    int MP_ReadSPIFlashRange(uint32_t start, uint32_t len, std::span<uint8_t> memory);
    int MP_WriteNorFlash(uint32_t len, std::span<uint8_t> memory);
    int MP_VerifyReadNorFlash(uint32_t len, std::span<uint8_t> memory);
    int MP_CheckNorFlashEmpty(uint32_t len, std::span<uint8_t> memory);
    int MP_EraseNorFlash();
    int MP_WriteEeprom16(uint32_t start, uint32_t len, std::span<uint8_t> memory);
    int MP_ReadEeprom16(uint32_t len, std::span<uint8_t> memory);
    int MP_VerifyReadEeprom16(uint32_t len, std::span<uint8_t> memory);
    int MP_EraseEeprom16(uint32_t len);
    int MP_WriteEeprom8(uint32_t len, std::span<uint8_t> memory);
    int MP_ReadEeprom8(uint32_t len, std::span<uint8_t> memory);
    int MP_CheckEeprom8Empty(uint32_t len, std::span<uint8_t> memory);
    int MP_EraseEeprom8(uint32_t len);
    int MP_WriteEeprom8Tag();
    int MP_WriteMTP(uint32_t len, std::span<uint8_t> memory);
    int MP_ReadMTP(uint32_t len, std::span<uint8_t> memory);
    int MP_CheckMTPEmpty(uint32_t len, std::span<uint8_t> memory);
    int MP_EraseMTP(uint32_t len);

    // The data-control size of the extension unit (8 normally, 64 for large transfers).
    int MP_ChangeDataControlSize(uint16_t size);
    // The largest data-control size the camera takes, up to 1,024 bytes, as its length
    // read-back reports it; when it takes less than 64, 64 as the large transfers ask. Returns
    // the size the camera then uses.
    uint16_t MP_UseLargestDataControlSize();

    const DevStatusBlock& last_status() const { return status_; }
    // The host facts that the device information shows (the base board); may stay unset.
    void SetSystemInfo(CSystemInfo* info) { system_info_ = info; }
    CICTypeIni& profiles() { return profiles_; }

  protected:
    bool HasCamera() const { return conn_.camera_handle != 0; }
    // Whether a chip-specific step may concern the open camera: the chip identity read when it
    // was opened (masked bytes) is that chip's, or was not read.
    bool ChipMayBe(uint8_t masked0, uint8_t masked1) const;
    uint16_t ReadChipIdOrZero(bool keep_low_nibble = false);
    RegisterPort& registers() { return registers_; }
    // Polls the serial flash's busy bit every `poll_ms` until it clears; false on a failed
    // read, a stop request or `timeout_ms` passing.
    bool WaitWhileBusy(LogScope& scope, uint32_t poll_ms, uint32_t timeout_ms);
    bool IdleWaitAfterWriteSr(LogScope& scope);
    bool WaitForErase(LogScope& scope, int32_t timeout_ms);
    bool SpiWriteProtect(bool enable, const char* scope_name);
    // The device operation of one chunk.
    enum class MemoryOp {
        kSpiRead,
        kSpiWrite,
        kNorWrite,
        kEep16Read,
        kEep16Write,
        kEep8Read,
        kEep8Write,
        kMtpRead,
        kMtpWrite,
    };
    ChunkOp DeviceOp(MemoryOp op);
    int Transfer(ChunkedKind kind, MemoryOp op, uint32_t start, uint32_t len,
                 std::span<uint8_t> memory, bool skip_erased = false);
    // A few bytes at `address` as one chunk, tried like a chunk, without reports.
    int OneChunk(MemoryOp op, uint32_t address, uint32_t len, std::span<uint8_t> memory);
    int EmptyCheck(ChunkedKind kind, MemoryOp op, uint32_t len, std::span<uint8_t> memory,
                   const char* scope_name, const char* failure);
    std::string FormatFirmwareVersion(bool with_ids);

    CICTypeIni& profiles_;
    CSystemInfo* system_info_ = nullptr;
    DevStatusBlock status_{};

  private:
    // Register access through MP_ReadMem and MP_WriteMem.
    class Registers : public RegisterPort {
      public:
        explicit Registers(CMpFlow2& flow) : flow_(flow) {}
        bool ReadRegs(uint32_t address, uint32_t length, uint8_t* out) override {
            return flow_.MP_ReadMem(address, length, out) != 0;
        }
        bool WriteRegs(uint32_t address, uint32_t length, const uint8_t* data) override {
            return flow_.MP_WriteMem(address, length, data) != 0;
        }

      private:
        CMpFlow2& flow_;
    };
    Registers registers_{*this};
};

}  // namespace orbisk
