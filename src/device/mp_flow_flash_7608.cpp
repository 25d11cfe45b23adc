// The flash sequences for a camera behind a MIPI bridge: update (verified by the bridge's CRC
// in dialog mode, by reading back on the command line), erase, read and the dump check.
#include <cstring>

#include "base/status_codes.h"
#include "device/flash_codes.h"
#include "device/mp_flow_flash.h"

namespace orbisk {

using namespace codes;

namespace {

// The CRC worker needs a few milliseconds for 128 KB; a worker that never answers must not
// hold the update for good.
constexpr uint32_t kCrcWaitMs = 10000;

}  // namespace

int CMpFlow_Flash::FF_UpdateExMipi(std::span<const uint8_t> image) {
    if (!AllocateReadback(static_cast<uint32_t>(image.size()))) {
        process_.Report(kReportFailure, kStatusMallocFail);
        return 0;
    }
    if (process_.CheckCancel()) {
        process_.Report(kReportFailure, kStatusResetDeviceFail);
        return 0;
    }
    uint32_t status = kStatusResetDeviceFail;
    const int result = FF_UpdateEx_For7608(image, status);
    if (result) return result;
    MP_7608EnableWriteProtect();
    process_.Report(kReportFailure, status);
    return 0;
}

int CMpFlow_Flash::FF_UpdateEx_For7608(std::span<const uint8_t> image, uint32_t& status) {
    LogScope scope(process_.logger, "CMpFlow_Flash::FF_UpdateEx_For7608");
    const uint8_t options = process_.download_options;
    const uint32_t length = static_cast<uint32_t>(image.size());
    const uint64_t h = conn_.camera_handle;
    auto fail = [&](const char* text, uint32_t code) {
        scope.Section(text);
        status = code;
        return 0;
    };
    // An image the bridge's flash cannot take is refused before its flash is erased.
    if ((options & kOptProgram) && (length == 0 || length > kBridgeFlashSize))
        return fail("Write Flash Code Fail\n", kStatusUpdateFail);

    if (!MP_7608DisableWriteProtect())
        return fail("Disable Write Protect Fail\n", kStatusDisableWpFail);
    process_.Report(kReportStepText, kStatusStepErasing);
    if (!camlib_.CamLib_Bridge_FlashCommand07(h))
        return fail("Erase Flash Fail\n", kStatusEraseFlashFail);
    if (options & kOptProgram) {
        if (!MP_7608SPI_SF_Write(0, length, image))
            return fail("Write Flash Code Fail\n", kStatusUpdateFail);
        if (process_.run_mode == kRunDialog) {
            uint8_t reply[4] = {};
            if (!MP_7608SPI_SF_ReadCRC(length, reply))
                return fail("Read Flash Code Fail\n", kStatusReadFlashFail);
            uint32_t expected = 0;
            if (!image_crc_ || !image_crc_(kCrcWaitMs, &expected)) {
                scope.Text("The CRC of the image did not come\n");
                return fail("Check Flash Code Fail\n", kStatusCompareFail);
            }
            const uint32_t flash_crc = uint32_t{reply[0]} << 24 | uint32_t{reply[1]} << 16 |
                                       uint32_t{reply[2]} << 8 | reply[3];
            process_.Report(kReportStepText, kStatusStepCompareCrc);
            if (flash_crc != expected) return fail("Check Flash Code Fail\n", kStatusCompareFail);
        } else {
            if (!MP_7608SPI_SF_Read(length, readback_))
                return fail("Read Flash Code Fail\n", kStatusReadFlashFail);
            if (std::memcmp(readback_.data(), image.data(), length) != 0)
                return fail("Check Flash Code Fail\n", kStatusCompareFail);
        }
        process_.Report(kReportStepText, kStatusStepWriteTag);
        if (!camlib_.CamLib_Bridge_FlashCommand09(h))
            return fail("Write Tag Fail\n", kStatusWriteTagFail);
    }
    if (!MP_7608EnableWriteProtect())
        return fail("Enable Write Protect Fail\n", kStatusEnableWpFail);
    if (options & kOptReset) {
        process_.Report(kReportStepText, kStatusStepResetToNewCode);
        if (!MP_7608ResetToRom()) return fail("Devcie ResetToCache Fail\n", kStatusResetDeviceFail);
    }
    return 1;
}

int CMpFlow_Flash::FF_EraseEx_For7608() {
    LogScope scope(process_.logger, "CMpFlow_Flash::FF_EraseEx_For7608");
    auto fail = [&](const char* text, uint32_t code) {
        scope.Section(text);
        process_.Report(kReportFailure, code);
        return 0;
    };
    if (!MP_7608DisableWriteProtect())
        return fail("Disable Write Protect Fail\n", kStatusDisableWpFail);
    process_.Report(kReportStepText, kStatusStepErasing);
    if (!camlib_.CamLib_Bridge_FlashCommand07(conn_.camera_handle))
        return fail("Erase Flash Fail\n", kStatusEraseFlashFail);
    const int result = MP_7608EnableWriteProtect();
    if (!result) return fail("Enable Write Protect Fail\n", kStatusEnableWpFail);
    return result;
}

int CMpFlow_Flash::FF_ReadEx_For7608(uint32_t read_length) {
    LogScope scope(process_.logger, "CMpFlow_Flash::FF_ReadEx_For7608");
    auto fail = [&](const char* text, uint32_t code) {
        scope.Section(text);
        process_.Report(kReportFailure, code);
        return 0;
    };
    const int result = MP_7608SPI_SF_Read(read_length, readback_);
    if (!result) return fail("Read Flash Code Fail\n", kStatusReadFlashFail);
    if (!(process_.download_options & kOptReset)) return result;
    process_.Report(kReportStepText, kStatusStepResetToNewCode);
    process_.logger.DebugPrint("MP_7608ResetToRom>>\n");
    const int reset = camlib_.CamLib_Bridge_Command0508(conn_.camera_handle);
    if (!reset) return fail("Devcie ResetToCache Fail\n", kStatusResetDeviceFail);
    return reset;
}

int CMpFlow_Flash::FF_ReadExDumpCheckFor7608() {
    LogScope scope(process_.logger, "CMpFlow_Flash::FF_ReadExDumpCheckFor7608");
    return ReadAndCompare(
        scope, kBridgeFlashSize,
        [this](uint32_t n, std::span<uint8_t> out) { return MP_7608SPI_SF_Read(n, out); },
        [this] { return BridgeDumpCompare(); });
}

}  // namespace orbisk
