#include "device/mp_flow2.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/status_codes.h"
#include "device/device_rules.h"

namespace orbisk {

namespace {

// Pause between two reads of the flash's busy bit.
// A status-register write takes milliseconds, a chip erase about a second; the status write
// is given the second that twenty re-reads 50 ms apart used to give it.
constexpr uint32_t kStatusWritePollMs = 1;
constexpr uint16_t kModeRecord = 8;
constexpr uint32_t kStatusWriteTimeoutMs = 1000;
constexpr uint32_t kErasePollMs = 10;

std::string Format(const char* format, uint32_t a, uint32_t b, uint32_t c = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

}  // namespace

// ---- status block and texts ----------------------------------------------------------------

int CMpFlow2::MP_GetDevStatus(DevStatusBlock& block) {
    block.fill(0);
    if (!HasCamera()) return 0;
    return camlib_.CamLib_GetDevStatus(conn_.camera_handle, block.data(), conn_.command_options)
               ? 1
               : 0;
}

int CMpFlow2::MP_IsRunningCode(int& running) {
    // A failed read answers neither way: the caller must not take it for the boot ROM (and
    // erase) nor for running code.
    // Only the two mode records (bytes 64 to 79) tell it; the rest of the block is not read.
    DevStatusBlock block{};
    const int read = HasCamera() && camlib_.CamLib_GetDevStatusRecords(
                                        conn_.camera_handle, kModeRecord, block.data() + 64, 16,
                                        conn_.command_options);
    running = read && RunsCode(block) ? 1 : 0;
    return read;
}

int CMpFlow2::MP_GetVersionStyle(int& style) {
    DevStatusBlock block{};
    const int result = MP_GetDevStatus(block);
    style = SelectStatus(block).version_style;
    return result;
}

std::string CMpFlow2::FormatFirmwareVersion(bool with_ids) {
    return FirmwareVersionText(status_, with_ids, conn_.vid, conn_.pid);
}

uint16_t CMpFlow2::ReadChipIdOrZero(bool keep_low_nibble) {
    uint16_t chip_id = 0;
    if (!ReadChipId(registers_, chip_id, keep_low_nibble)) return 0;
    return chip_id;
}

int CMpFlow2::MP_RefreshDeviceStatus() {
    LogScope scope(process_.logger, "CMpFlow::MP_RefreshDeviceStatus");
    if (!HasCamera()) {
        texts_.connection = "No ZN Camera";
        texts_.fw_version = texts_.usb_speed = "N/A";
        texts_.manufacturer = "N/A";
        return 1;
    }
    texts_.connection = "ZN Camera Connected";
    const int probe = camlib_.CamLib_ProbeMipiBridge(conn_.camera_handle);
    if (probe == 1) {
        conn_.mipi_bridge = 1;
        conn_.mipi_simulation = 0;
    } else if (probe == 2) {
        conn_.mipi_bridge = conn_.mipi_simulation = 1;
    } else {
        conn_.mipi_bridge = 0;
    }
    status_.fill(0);
    // Behind a bridge the status is read from record 1 on.
    camlib_.CamLib_GetDevStatus(conn_.camera_handle, status_.data(), conn_.command_options,
                                conn_.mipi_bridge ? 1 : 0);
    if (conn_.mipi_bridge && !conn_.mipi_simulation) {
        scope.Text("UVC_SetPowerControlLib\n");
        camlib_.CamLib_SetPowerMipi(conn_.camera_handle, 3, conn_.command_options);
    }
    camlib_.CamLib_GetVidPidRev(&conn_.vid, &conn_.pid, &conn_.rev);
    texts_.manufacturer_read = camlib_.CamLib_GetManufacturerString(&texts_.manufacturer) == 1;
    texts_.fw_version = FormatFirmwareVersion(true);

    const uint16_t chip_id = ReadChipIdOrZero();
    texts_.usb_speed = "N/A";
    if (chip_id == 0x1010 || chip_id == 0x6000) {
        uint8_t fc02 = 0, fa01 = 0;
        if (registers_.ReadReg(0xFC02, fc02) && registers_.ReadReg(0xFA01, fa01))
            texts_.usb_speed = UsbSpeedText(fc02, fa01);
    }

    if (!conn_.mipi_bridge) {
        int running = 0;
        conn_.rom_flag = !MP_IsRunningCode(running) ? 2 : running ? 0 : 1;
    } else if (conn_.mipi_simulation) {
        conn_.rom_flag = 2;
    } else {
        for (int read = 0; read < 2; ++read) {
            uint8_t value = 0;
            const uint8_t nibble = camlib_.CamLib_I2CLongRead(conn_.camera_handle, 0x78, 12, 1,
                                                              &value, conn_.command_options)
                                       ? (value & 0x0F)
                                       : 0x0F;
            if (nibble == 2) conn_.rom_flag = 0;
            if (nibble == 1) conn_.rom_flag = 1;
            if (nibble != 0) break;
            if (read == 1) conn_.rom_flag = 2;
        }
    }
    return 1;
}

int CMpFlow2::MP_GetFWVersionText() {
    if (!HasCamera()) {
        texts_.fw_version = "N/A";
        return 1;
    }
    MP_GetDevStatus(status_);
    texts_.fw_version = FormatFirmwareVersion(true);
    return 1;
}

int CMpFlow2::MP_GetDeviceInfo() {
    LogScope scope(process_.logger, "CMpFlow::MP_GetDeviceInfo");
    if (!HasCamera()) {
        texts_ = DeviceTexts{};
        texts_.connection = "No ZN Camera";
        texts_.fw_version = texts_.second_version = texts_.usb_speed = texts_.code_mode =
            texts_.memory_name = texts_.vid_pid = texts_.vid_pid_rev = texts_.name_label =
                texts_.serial = texts_.board = "N/A";
        return 1;
    }
    texts_.connection = "ZN Camera Connected";
    const bool status_read = MP_GetDevStatus(status_) == 1;
    const SelectedStatus selected = SelectStatus(status_);
    texts_.fw_version = FormatFirmwareVersion(false);
    texts_.second_version = SecondVersionText(status_);

    camlib_.CamLib_GetVidPidRev(&conn_.vid, &conn_.pid, &conn_.rev);
    // A failed read leaves the text empty and says so: it is never carried into an image.
    texts_.manufacturer_read = camlib_.CamLib_GetManufacturerString(&texts_.manufacturer) == 1;
    camlib_.CamLib_GetSerialString(&texts_.serial);
    texts_.vid_pid = Format("VID_%04X&PID_%04X", conn_.vid, conn_.pid);
    texts_.vid_pid_rev = Format("VID_%04X&PID_%04X&REV_%04X", conn_.vid, conn_.pid, conn_.rev);
    std::string name;
    camlib_.CamLib_GetFriendlyName(&name);
    texts_.name_label = name + "&" + texts_.vid_pid_rev;

    // An unread status block tells nothing of where the camera runs.
    conn_.rom_flag = !status_read ? 2 : selected.run_mode == 1 ? 0 : 1;
    texts_.code_mode = status_read && selected.run_mode == 1 ? "Vendor Code" : "N/A";

    const int32_t chip_info = profiles_.chip_info;
    texts_.code_signature = 0;
    for (uint32_t address : CodeSignatureAddresses(chip_info)) {
        uint8_t signature[2] = {0, 0};
        if (camlib_.CamLib_ReadCode(conn_.camera_handle, address, 2, signature) &&
            signature[0] == 0x55 && signature[1] == 0xAA) {
            texts_.code_signature = 1;
            break;
        }
    }
    texts_.memory_name =
        MemoryName(process_.project_type, static_cast<uint32_t>(images_.front.size()));
    // This chip can run a second code, which keeps its own patch bytes: the status block tells
    // which code runs by the record it fills.
    texts_.second_code = chip_info == 13 && status_read && selected.secondary ? 1 : 0;
    texts_.board = system_info_ ? system_info_->BaseBoardProduct().value_or("") : "";
    scope.Text("#### Base Board Information ####\r\n\r\n%s\r\n",
               texts_.board.empty() ? "N/A" : texts_.board.c_str());
    texts_.usb_speed = "N/A";
    if (chip_info == 10 || chip_info == 15) {
        uint8_t fc02 = 0, fa01 = 0;
        if (registers_.ReadReg(0xFC02, fc02) && registers_.ReadReg(0xFA01, fa01))
            texts_.usb_speed = UsbSpeedText(fc02, fa01);
    }
    return 1;
}

// ---- serial-flash control ------------------------------------------------------------------

bool CMpFlow2::WaitWhileBusy(LogScope& scope, uint32_t poll_ms, uint32_t timeout_ms) {
    // The part takes nothing else until its busy bit clears; polling at a fraction of the
    // operation's own duration ends the wait at most one poll late.
    const uint64_t deadline = process_.clock.now_ms() + timeout_ms;
    for (;;) {
        uint8_t status = 0;
        if (!camlib_.CamLib_SPI_SF_ReadSr(conn_.camera_handle, &status, conn_.command_options))
            return false;
        if (!(status & 0x01)) return true;
        if (process_.CheckCancel()) return false;
        if (process_.clock.now_ms() >= deadline) {
            scope.Text("Waiting Time Out\n");
            return false;
        }
        process_.clock.sleep_ms(poll_ms);
    }
}

bool CMpFlow2::IdleWaitAfterWriteSr(LogScope& scope) {
    if (WaitWhileBusy(scope, kStatusWritePollMs, kStatusWriteTimeoutMs)) return true;
    scope.Text("Waiting for failed\n");
    return false;
}

bool CMpFlow2::WaitForErase(LogScope& scope, int32_t timeout_ms) {
    if (WaitWhileBusy(scope, kErasePollMs, static_cast<uint32_t>(std::max(timeout_ms, 0))))
        return true;
    scope.Section("Waiting for SPI_SF_EraseChip failed\n");
    return false;
}

bool CMpFlow2::SpiWriteProtect(bool enable, const char* scope_name) {
    LogScope scope(process_.logger, scope_name);
    if (!HasCamera()) return false;
    uint16_t chip_id = 0;
    if (!ReadChipId(registers_, chip_id)) return false;
    if (!SetWriteProtectPins(registers_, chip_id, enable)) return false;
    if (!camlib_.CamLib_SPI_SF_WriteSr(conn_.camera_handle, enable ? 0x8C : 0x00,
                                       conn_.command_options))
        return false;
    return IdleWaitAfterWriteSr(scope);
}

int CMpFlow2::MP_DisableSPIWriteProtect() {
    return SpiWriteProtect(false, "CMpFlow2::MP_DisableSPIWriteProtect") ? 1 : 0;
}

int CMpFlow2::MP_EnableSPIWriteProtect() {
    return SpiWriteProtect(true, "CMpFlow2::MP_EnableSPIWriteProtect") ? 1 : 0;
}

int CMpFlow2::MP_EraseSPIFlash() {
    LogScope scope(process_.logger, "CMpFlow2::MP_EraseSPIFlash");
    if (!HasCamera()) return 0;
    const int32_t timeout = process_.ConfigInt(cfg::kEraseTimeOut);
    const int32_t settle = process_.ConfigInt(cfg::kEraseCommandTime);
    process_.Report(kReportStepText, kStatusStepErasing);
    bool result = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (process_.CheckCancel()) {
            result = false;
            break;
        }
        // The command ignores the time-out; it bounds the wait for the erase to finish.
        result = camlib_.CamLib_SPI_SF_EraseChip(conn_.camera_handle, conn_.command_options) &&
                 WaitForErase(scope, timeout);
        if (result) break;
        process_.clock.sleep_ms(128);
    }
    if (settle > 0) process_.clock.sleep_ms(static_cast<uint32_t>(settle));
    process_.Report(kReportProgress, 5);
    return result ? 1 : 0;
}

bool CMpFlow2::ChipMayBe(uint8_t masked0, uint8_t masked1) const {
    const auto& id = conn_.chip_identity;
    const bool known = !(id[0] == 0 && id[1] == 0) && !(id[0] == 0xFF && id[1] == 0xFF);
    return !known || (id[0] == masked0 && id[1] == masked1);
}

int CMpFlow2::MP_Accelerate6644Download() {
    LogScope scope(process_.logger, "CMpFlow2::MP_Accelerate6644Download");
    if (!HasCamera()) return 0;
    // Not attempted on another chip: a failed register read there would fail the update of a
    // camera the switch was never for.
    if (!ChipMayBe(0x00, 0x60)) return 1;
    return Accelerate6644(registers_, process_, scope) ? 1 : 0;
}

int CMpFlow2::MP_Accelerate6521Download() {
    if (!HasCamera()) return 0;
    if (!ChipMayBe(0x10, 0x10)) return 1;
    return Accelerate6521(registers_) ? 1 : 0;
}

int CMpFlow2::MP_Prepare6521Erase() {
    if (!HasCamera()) return 0;
    if (!ChipMayBe(0x10, 0x10)) return 1;
    return Prepare6521Erase(registers_) ? 1 : 0;
}

int CMpFlow2::MP_ChangeDataControlSize(uint16_t size) {
    if (!HasCamera()) return 0;
    return camlib_.CamLib_ChangeDataControlSize(conn_.camera_handle, &size) ? 1 : 0;
}

uint16_t CMpFlow2::MP_UseLargestDataControlSize() {
    if (!HasCamera()) return 0;
    constexpr uint16_t kLargest = 1024, kLarge = 64;
    uint16_t size = kLargest;
    if (camlib_.CamLib_ChangeDataControlSize(conn_.camera_handle, &size)) return size;
    // Refused, or the camera reported the length it took instead: that length is in use when
    // the packet loops can carry it.
    if (size >= kLarge) {
        process_.logger.DebugPrint("The camera takes data packets of %u bytes, not %u\n", size,
                                   kLargest);
        return size;
    }
    process_.logger.DebugPrint("The camera refused data packets of %u bytes; asking for %u\n",
                               kLargest, kLarge);
    size = kLarge;
    camlib_.CamLib_ChangeDataControlSize(conn_.camera_handle, &size);
    return size;
}

// ---- chunked transfers ---------------------------------------------------------------------

ChunkOp CMpFlow2::DeviceOp(MemoryOp op) {
    return [this, op](uint32_t address, uint32_t length, uint8_t* data) -> bool {
        const uint64_t h = conn_.camera_handle;
        const uint32_t options = conn_.command_options;
        switch (op) {
            case MemoryOp::kSpiRead:
                return camlib_.CamLib_SPI_SF_Read(h, address, length, data, nullptr, nullptr,
                                                  options);
            case MemoryOp::kSpiWrite:
                return camlib_.CamLib_SPI_SF_Write(h, address, length, data, nullptr, nullptr,
                                                   options);
            case MemoryOp::kNorWrite:
                return camlib_.CamLib_NorFlash_Write(h, address, length, data, options);
            case MemoryOp::kEep16Read:
                return camlib_.CamLib_I2C_EEP16_Read(h, address, length, data, nullptr, nullptr,
                                                     options);
            case MemoryOp::kEep16Write:
                return camlib_.CamLib_I2C_EEP16_Write(h, address, length, data, nullptr, nullptr,
                                                      options);
            case MemoryOp::kEep8Read:
                return camlib_.CamLib_I2C_EEP8_Read(h, address, length, data, options);
            case MemoryOp::kEep8Write:
                return camlib_.CamLib_I2C_EEP8_Write(h, address, length, data, options);
            // The MTP operations take the camera only, without command options.
            case MemoryOp::kMtpRead:
                return camlib_.CamLib_MTP_Read(h, address, length, data, nullptr, nullptr);
            case MemoryOp::kMtpWrite:
                return camlib_.CamLib_MTP_Write(h, address, length, data, nullptr, nullptr);
        }
        return false;
    };
}

int CMpFlow2::Transfer(ChunkedKind kind, MemoryOp op, uint32_t start, uint32_t len,
                       std::span<uint8_t> memory, bool skip_erased) {
    if (!HasCamera()) return 0;
    return RunChunkedTransfer(process_, kind, start, len, memory, DeviceOp(op), skip_erased) ? 1
                                                                                             : 0;
}

int CMpFlow2::EmptyCheck(ChunkedKind kind, MemoryOp op, uint32_t len, std::span<uint8_t> memory,
                         const char* scope_name, const char* failure) {
    LogScope scope(process_.logger, scope_name);
    if (!HasCamera()) return 0;
    const ChunkPlan& plan = ChunkPlanFor(kind);
    const uint32_t compared = plan.limit != 0 ? std::min(len, plan.limit) : len;
    // The 64-byte checks go on to the comparison with a zero length; the others fail on it.
    const bool skipped = plan.limit != 0 && compared == 0;
    if (!RunChunkedTransfer(process_, kind, 0, len, memory, DeviceOp(op)) && !skipped) {
        if (failure) scope.Section(failure);
        return 0;
    }
    if (compared > memory.size()) return 0;
    return IsErased(memory.first(compared)) ? 1 : 0;
}

int CMpFlow2::MP_WriteSPIFlash(uint32_t start, uint32_t len, std::span<uint8_t> memory) {
    return Transfer(ChunkedKind::kSpiWrite, MemoryOp::kSpiWrite, start, len, memory);
}

int CMpFlow2::MP_WriteErasedSPIFlash(uint32_t len, std::span<uint8_t> memory) {
    // Programming can only clear bits: a block of 0xFF leaves erased memory as it is. The
    // verify still reads and compares every byte.
    return Transfer(ChunkedKind::kSpiWrite, MemoryOp::kSpiWrite, 0, len, memory, true);
}

int CMpFlow2::OneChunk(MemoryOp op, uint32_t address, uint32_t len, std::span<uint8_t> memory) {
    if (!HasCamera() || uint64_t{address} + len > memory.size()) return 0;
    return ChunkWithRetry(process_, DeviceOp(op), address, len, memory.data() + address) ? 1 : 0;
}

int CMpFlow2::MP_WriteSPIFlashWithRetry(uint32_t address, uint32_t len, std::span<uint8_t> memory) {
    return OneChunk(MemoryOp::kSpiWrite, address, len, memory);
}

int CMpFlow2::MP_ReadSPIFlashWithRetry(uint32_t address, uint32_t len, std::span<uint8_t> memory) {
    return OneChunk(MemoryOp::kSpiRead, address, len, memory);
}

int CMpFlow2::MP_CheckSPIFlashEmpty(uint32_t len, std::span<uint8_t> memory) {
    return EmptyCheck(ChunkedKind::kSpiCheckEmpty, MemoryOp::kSpiRead, len, memory,
                      "CMpFlow2::MP_CheckSPIFlashEmpty", "Read Flash Code Fail\n");
}

int CMpFlow2::MP_VerifyReadSPIFlash(uint32_t len, std::span<uint8_t> memory) {
    return Transfer(ChunkedKind::kSpiVerify, MemoryOp::kSpiRead, 0, len, memory);
}

int CMpFlow2::MP_ReadSPIFlash(uint32_t len, std::span<uint8_t> memory) {
    return Transfer(ChunkedKind::kSpiRead, MemoryOp::kSpiRead, 0, len, memory);
}

int CMpFlow2::MP_ReadSPIFlashRange(uint32_t start, uint32_t len, std::span<uint8_t> memory) {
    return Transfer(ChunkedKind::kSpiReadRange, MemoryOp::kSpiRead, start, len, memory);
}

int CMpFlow2::MP_WriteNorFlash(uint32_t len, std::span<uint8_t> memory) {
    return Transfer(ChunkedKind::kNorWrite, MemoryOp::kNorWrite, 0, len, memory);
}

// The NOR verify and empty check read through the serial-flash read.
int CMpFlow2::MP_VerifyReadNorFlash(uint32_t len, std::span<uint8_t> memory) {
    return Transfer(ChunkedKind::kNorVerify, MemoryOp::kSpiRead, 0, len, memory);
}

int CMpFlow2::MP_CheckNorFlashEmpty(uint32_t len, std::span<uint8_t> memory) {
    return EmptyCheck(ChunkedKind::kNorCheckEmpty, MemoryOp::kSpiRead, len, memory,
                      "CMpFlow2::MP_CheckNorFlashEmpty", nullptr);
}

int CMpFlow2::MP_EraseNorFlash() {
    if (!HasCamera()) return 0;
    return EraseWithAttempts(process_, [this] {
        return camlib_.CamLib_NorFlash_Erase(conn_.camera_handle, conn_.command_options) != 0;
    });
}

int CMpFlow2::MP_WriteEeprom16(uint32_t start, uint32_t len, std::span<uint8_t> memory) {
    return Transfer(ChunkedKind::kEep16Write, MemoryOp::kEep16Write, start, len, memory);
}

int CMpFlow2::MP_ReadEeprom16(uint32_t len, std::span<uint8_t> memory) {
    return Transfer(ChunkedKind::kEep16Read, MemoryOp::kEep16Read, 0, len, memory);
}

int CMpFlow2::MP_VerifyReadEeprom16(uint32_t len, std::span<uint8_t> memory) {
    return Transfer(ChunkedKind::kEep16Verify, MemoryOp::kEep16Read, 0, len, memory);
}

int CMpFlow2::MP_EraseEeprom16(uint32_t len) {
    if (!HasCamera()) return 0;
    return EraseWithAttempts(process_, [this, len] {
        return camlib_.CamLib_I2C_EEP16_Erase(conn_.camera_handle, len, conn_.command_options) != 0;
    });
}

int CMpFlow2::MP_WriteEeprom8(uint32_t len, std::span<uint8_t> memory) {
    return Transfer(ChunkedKind::kEep8Write, MemoryOp::kEep8Write, 0, len, memory);
}

int CMpFlow2::MP_ReadEeprom8(uint32_t len, std::span<uint8_t> memory) {
    return Transfer(ChunkedKind::kEep8Read, MemoryOp::kEep8Read, 0, len, memory);
}

int CMpFlow2::MP_CheckEeprom8Empty(uint32_t len, std::span<uint8_t> memory) {
    return EmptyCheck(ChunkedKind::kEep8CheckEmpty, MemoryOp::kEep8Read, len, memory,
                      "CMpFlow2::MP_CheckEeprom8Empty", nullptr);
}

int CMpFlow2::MP_EraseEeprom8(uint32_t len) {
    if (!HasCamera()) return 0;
    return EraseWithAttempts(process_, [this, len] {
        return camlib_.CamLib_I2C_EEP8_Erase(conn_.camera_handle, len, conn_.command_options) != 0;
    });
}

int CMpFlow2::MP_WriteEeprom8Tag() {
    if (!HasCamera()) return 0;
    process_.Report(kReportStepText, 41723);
    return camlib_.CamLib_I2C_EEP8_WriteTag(conn_.camera_handle, conn_.command_options) ? 1 : 0;
}

int CMpFlow2::MP_WriteMTP(uint32_t len, std::span<uint8_t> memory) {
    return Transfer(ChunkedKind::kMtpWrite, MemoryOp::kMtpWrite, 0, len, memory);
}

int CMpFlow2::MP_ReadMTP(uint32_t len, std::span<uint8_t> memory) {
    return Transfer(ChunkedKind::kMtpRead, MemoryOp::kMtpRead, 0, len, memory);
}

int CMpFlow2::MP_CheckMTPEmpty(uint32_t len, std::span<uint8_t> memory) {
    return EmptyCheck(ChunkedKind::kMtpCheckEmpty, MemoryOp::kMtpRead, len, memory,
                      "CMpFlow2::MP_CheckMTPEmpty", "Read MTP Fail\n");
}

int CMpFlow2::MP_EraseMTP(uint32_t len) {
    if (!HasCamera()) return 0;
    return EraseWithAttempts(
        process_, [this, len] { return camlib_.CamLib_MTP_Erase(conn_.camera_handle, len) != 0; });
}

}  // namespace orbisk
