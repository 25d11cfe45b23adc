#include "device/mp_flow5.h"

#include <algorithm>

#include "base/status_codes.h"
#include "device/flash_codes.h"

namespace orbisk {

using namespace codes;

namespace {

constexpr uint32_t kPieceSize = 64;
// The bridge's write-protect registers (bit 0 of each) and its flash's status values.
constexpr uint16_t kWpEnable = 0xFEA0;
constexpr uint16_t kWpLevel = 0xFEA6;
constexpr uint8_t kStatusUnlocked = 0x00;
constexpr uint8_t kStatusLocked = 0x8C;
constexpr int kIdleRereads = 20;
constexpr uint32_t kIdlePollMs = 50;

}  // namespace

int CMpFlow5::MP_Open7608RomDevice() {
    LogScope scope(process_.logger, "CMpFlow5::MP_Open7608RomDevice");
    camlib_.CamLib_Bridge_SetParams(conn_.camera_handle, kPieceSize, conn_.command_options);
    process_.Report(kReportStepText, kStatusStepWaitReset);
    if (!HasCamera()) return 0;
    const int mode = camlib_.CamLib_Bridge_GetMode(conn_.camera_handle, 0);
    if (mode == 0) return 0;
    if (mode == 1) return 1;
    if (!camlib_.CamLib_Bridge_Command0507(conn_.camera_handle, 0)) {
        scope.Section("Devcie ResetToUpdateFW Fail\n");
        process_.Report(kReportFailure, kStatusResetDeviceFail);
        return 0;
    }
    if (const int result = camlib_.CamLib_Bridge_WaitMode1(conn_.camera_handle)) return result;
    scope.Section("Can't Enter ROM Code\n");
    process_.Report(kReportFailure, kStatusResetDeviceFail);
    return 0;
}

int CMpFlow5::MP_7608ResetToRom() {
    if (!HasCamera()) return 0;
    process_.logger.DebugPrint("MP_7608ResetToRom>>\n");
    return camlib_.CamLib_Bridge_Command0508(conn_.camera_handle);
}

int CMpFlow5::BridgeWriteProtect(bool enable, const char* scope_name) {
    LogScope scope(process_.logger, scope_name);
    if (!HasCamera()) return 0;
    const uint64_t h = conn_.camera_handle;
    uint8_t output_enable = 0, level = 0;
    if (!camlib_.CamLib_Bridge_ReadMem(h, kWpEnable, 1, &output_enable) ||
        !camlib_.CamLib_Bridge_ReadMem(h, kWpLevel, 1, &level))
        return 0;
    output_enable |= 0x01;
    // The pin high lets the flash's status be written; low keeps a locked flash locked.
    level = enable ? static_cast<uint8_t>(level & 0xFE) : static_cast<uint8_t>(level | 0x01);
    if (!camlib_.CamLib_Bridge_WriteMem(h, kWpEnable, 1, &output_enable) ||
        !camlib_.CamLib_Bridge_WriteMem(h, kWpLevel, 1, &level))
        return 0;
    if (!camlib_.CamLib_Bridge_FlashWriteStatus(h, enable ? kStatusLocked : kStatusUnlocked))
        return 0;
    // The status write takes the part a while: wait for its busy bit, within 20 re-reads; the
    // wait counts as done when they are used up.
    uint8_t status = 0;
    for (int reread = 0;; ++reread) {
        if (!camlib_.CamLib_Bridge_FlashReadStatus(h, &status)) {
            process_.logger.DebugPrint("Waiting for failed\n");
            return 0;
        }
        if (!(status & 0x01) || reread == kIdleRereads) return 1;
        process_.logger.DebugPrint("Waiting for SPI_SF_WriteSr\n");
        process_.clock.sleep_ms(kIdlePollMs);
    }
}

int CMpFlow5::MP_7608DisableWriteProtect() {
    return BridgeWriteProtect(false, "CMpFlow5::MP_7608DisableWriteProtect");
}

int CMpFlow5::MP_7608EnableWriteProtect() {
    return BridgeWriteProtect(true, "CMpFlow5::MP_7608EnableWriteProtect");
}

int CMpFlow5::MP_7608SPI_SF_ReadCRC(uint32_t len, uint8_t* out) {
    if (!HasCamera()) return 0;
    process_.logger.DebugPrint("MP_7608SPI_SF_ReadCRC>>\n");
    process_.Report(kReportStepText, kStatusStepReadCrc);
    return camlib_.CamLib_Bridge_FlashChecksum(conn_.camera_handle, 0, len, out);
}

int CMpFlow5::MP_7608SPI_SF_Write(uint32_t start, uint32_t len, std::span<const uint8_t> data) {
    if (!HasCamera()) return 0;
    process_.logger.DebugPrint("MP_7608SPI_SF_Write>>\n");
    process_.logger.DebugPrint("MP_7608SPI_SF_Write_Section2>>\n");
    process_.Report(kReportStepText, kStatusStepDownload);
    if (len == 0 || len > data.size()) return 0;
    for (uint32_t done = 0; done < len;) {
        if (process_.CheckCancel()) return 0;
        const uint32_t chunk = std::min(kBridgeChunk, len - done);
        process_.logger.DebugPrint("MP_Update7608SPIFlashWithRetry>>\n");
        if (!camlib_.CamLib_Bridge_FlashProgram(conn_.camera_handle, start + done, chunk,
                                                data.data() + done))
            return 0;
        done += chunk;
        process_.Report(kReportProgress, 50 + uint64_t{done} * 20 / len);
    }
    process_.logger.DebugPrint("MP_7608SPI_SF_Write_Section3>>\n");
    return camlib_.CamLib_Bridge_FlashProgramWait(conn_.camera_handle);
}

int CMpFlow5::BridgeReadChunks(uint32_t start, uint32_t len, std::span<uint8_t> out, bool report) {
    if (!HasCamera()) return 0;
    process_.logger.DebugPrint("MP_7608SPI_SF_Read>>\n");
    if (report) process_.Report(kReportStepText, kStatusStepVerify);
    if (len == 0 || len > out.size()) return 0;
    int result = 0;
    for (uint32_t done = 0; done < len;) {
        if (process_.CheckCancel()) return 0;
        const uint32_t chunk = std::min(kBridgeChunk, len - done);
        process_.logger.DebugPrint("MP_Read7608SPIFlashWithRetry>>\n");
        result = camlib_.CamLib_Bridge_FlashRead(conn_.camera_handle, start + done, chunk,
                                                 out.data() + done);
        if (!result) return 0;
        done += chunk;
        if (report) process_.Report(kReportProgress, 70 + uint64_t{done} * 20 / len);
    }
    return result;
}

int CMpFlow5::MP_7608SPI_SF_Read(uint32_t len, std::span<uint8_t> out) {
    return BridgeReadChunks(0, len, out, true);
}

int CMpFlow5::MP_7608SPI_SF_ReadAt(uint32_t start, uint32_t len, std::span<uint8_t> out) {
    return BridgeReadChunks(start, len, out, false);
}

int CMpFlow5::MP_7608RewriteSector(std::span<const uint8_t> sector) {
    if (!HasCamera() || sector.size() < kBridgeSectorSize) return 0;
    int result = MP_7608DisableWriteProtect();
    if (result) {
        result = camlib_.CamLib_Bridge_FlashErase08(conn_.camera_handle, kBridgeRewriteSector);
        if (result) result = MP_7608SPI_SF_Write(kBridgeRewriteSector, kBridgeSectorSize, sector);
    }
    MP_7608EnableWriteProtect();
    return result;
}

}  // namespace orbisk
