#include "device/mp_flow_flash.h"

#include <cstring>
#include <new>

#include "base/status_codes.h"

namespace orbisk {

namespace {

// Tries of each step after a verified, tagged image.
constexpr int kFinishAttempts = 3;

constexpr uint8_t kOptReset = 0x01, kOptCheckEmpty = 0x02, kOptLarge = 0x08, kOptProgram = 0x10;
constexpr uint32_t kExtUnitOption = 0x20;

}  // namespace

bool CMpFlow_Flash::AllocateReadback(uint32_t length) {
    readback_.clear();
    readback_.shrink_to_fit();
    try {
        readback_.assign(length, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

uint32_t CMpFlow_Flash::TagAddress() {
    return static_cast<uint32_t>(profiles_.ReadVendorValue("TagAddress"));
}

int CMpFlow_Flash::FF_UpdateEx(std::span<uint8_t> image) {
    if (process_.project_type == 5) return FF_UpdateExMipi(image);
    if (!AllocateReadback(static_cast<uint32_t>(image.size()))) {
        process_.Report(kReportFailure, kStatusMallocFail);
        return 0;
    }
    return StandardUpdate(image);
}

int CMpFlow_Flash::StandardUpdate(std::span<uint8_t> image) {
    uint32_t error = kStatusResetDeviceFail;
    if (process_.CheckCancel()) {
        process_.Report(kReportFailure, error);
        return 0;
    }
    const int result = FF_UpdateEx_Standard(image, error);
    if (result) return result;
    // A verified, tagged image needs no clean-up; the steps after it were tried already.
    if (error != kStatusWrittenNotFinished) {
        MP_ChangeDataControlSize(8);
        MP_EnableSPIWriteProtect();
    }
    // A failure that already reported itself (the camera not back in its code) sets no code.
    if (error != 0) process_.Report(kReportFailure, error);
    return 0;
}

bool CMpFlow_Flash::MemoryHoldsImage(std::span<const uint8_t> image, LogScope& scope) {
    // Only a camera found in its boot ROM can hold an image an earlier run wrote, verified and
    // tagged without finishing; reading it costs less than writing it again.
    if (!texts_.recovery.InRom() || readback_.size() < image.size()) return false;
    const uint32_t length = static_cast<uint32_t>(image.size());
    if (!MP_VerifyReadSPIFlash(length, readback_)) return false;
    if (std::memcmp(readback_.data(), image.data(), length) != 0) return false;
    scope.Text("The memory holds this image, verified and tagged: only the last steps remain\n");
    return true;
}

bool CMpFlow_Flash::WriteTagChecked(std::span<uint8_t> image, uint32_t tag) {
    if (!MP_WriteSPIFlashWithRetry(tag, 2, image)) return false;
    // An acknowledged write is not a written tag, and the boot ROM starts the image only with
    // it: read it back.
    if (readback_.size() < uint64_t{tag} + 2) return false;
    readback_[tag] = static_cast<uint8_t>(~image[tag]);
    readback_[tag + 1] = static_cast<uint8_t>(~image[tag + 1]);
    if (!MP_ReadSPIFlashWithRetry(tag, 2, readback_)) return false;
    return readback_[tag] == image[tag] && readback_[tag + 1] == image[tag + 1];
}

int CMpFlow_Flash::FinishUpdate(LogScope& scope, bool image_written, uint32_t& error) {
    const uint8_t options = process_.download_options;
    const uint64_t camera = conn_.camera_handle;
    const uint32_t wait = static_cast<uint32_t>(process_.ConfigInt(cfg::kWaitTime));
    // After a verified, tagged image nothing can be lost any more: each last step is tried
    // again (the camera opened afresh on its port), and a failure says what the camera holds.
    const int attempts = image_written ? kFinishAttempts : 1;
    bool locked = false;
    const char* failure = "Enable Write Protect Fail\n";
    uint32_t code = kStatusEnableWpFail;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) {
            scope.Text("Trying again after: %s", failure);
            if (!MP_ReopenCamera(camera, wait)) continue;
            // A reset that did not happen left the larger packets set.
            if (large_packets_) MP_ChangeDataControlSize(8);
        }
        if (!locked) {
            if (!MP_EnableSPIWriteProtect()) {
                failure = "Enable Write Protect Fail\n";
                code = kStatusEnableWpFail;
                continue;
            }
            locked = true;
        }
        if (!(options & kOptReset)) return 1;
        process_.Report(kReportStepText, kStatusStepResetToNewCode);
        if (!MP_ResetToCode(kBootNewCode, 0)) {
            failure = "Devcie ResetToCache Fail\n";
            code = kStatusResetDeviceFail;
            continue;
        }
        if (!(options & kOptProgram)) return 1;
        int running = 0;
        if (!MP_IsRunningCode(running)) {
            failure = "Device status read Fail\n";
            code = kStatusResetDeviceFail;
            continue;
        }
        if (running) return 1;
        failure = "Device is not in cache mode\n";
        code = kStatusNotInCacheMode;
    }
    scope.Section(failure);
    if (image_written) {
        scope.Section("Firmware written and verified; the next update finishes it\n");
        error = kStatusWrittenNotFinished;
    } else {
        error = code;
    }
    return 0;
}

int CMpFlow_Flash::FF_UpdateEx_Standard(std::span<uint8_t> image, uint32_t& error) {
    LogScope scope(process_.logger, "CMpFlow_Flash::FF_UpdateEx_Standard");
    const uint8_t options = process_.download_options;
    const uint32_t length = static_cast<uint32_t>(image.size());
    auto fail = [&](const char* text, uint32_t code) {
        scope.Section(text);
        error = code;
        return 0;
    };

    large_packets_ = false;
    const uint32_t tag = TagAddress();
    const bool program = (options & kOptProgram) != 0;
    // A tag address outside the image cannot be held back; refuse before the flash is touched.
    if (program && uint64_t{tag} + 2 > length)
        return fail("Write Flash Code Fail\n", kStatusUpdateFail);
    if (program && MemoryHoldsImage(image, scope)) return FinishUpdate(scope, true, error);

    if (!MP_DisableSPIWriteProtect())
        return fail("Disable Write Protect Fail\n", kStatusDisableWpFail);
    if (!MP_EraseSPIFlash()) return fail("Erase Flash Fail\n", kStatusEraseFlashFail);
    if (!MP_Prepare6521Erase()) return fail("6521 Operation Fail\n", kStatusEraseFlashFail);
    // The fast profile: the largest packets the camera takes, and no empty check when the
    // verify reads every byte anyway (a flash that did not erase fails the compare).
    const bool fast = process_.ConfigInt(cfg::kFastProfile) == 1;
    if (fast && camlib_.CamLib_DataInPackets(conn_.camera_handle, conn_.command_options)) {
        const uint16_t size = MP_UseLargestDataControlSize();
        scope.Text("Data packets of %u bytes\n", size);
        large_packets_ = size > 8;
    } else if (options & kOptLarge) {
        MP_ChangeDataControlSize(64);
        large_packets_ = true;
    }
    if ((options & kOptCheckEmpty) && !(fast && program)) {
        if (!MP_CheckSPIFlashEmpty(length, readback_)) {
            const uint8_t* b = readback_.data();
            uint8_t head[16] = {};
            std::memcpy(head, b, std::min<size_t>(16, readback_.size()));
            char line[128];
            std::snprintf(line, sizeof line,
                          "Byte0~8 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x",
                          head[0], head[1], head[2], head[3], head[4], head[5], head[6], head[7]);
            process_.logger.DebugPrint("Fail %s\n", line);
            std::snprintf(line, sizeof line,
                          "Byte9~16 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x",
                          head[8], head[9], head[10], head[11], head[12], head[13], head[14],
                          head[15]);
            process_.logger.DebugPrint("Fail %s\n", line);
            return fail("Check Flash Empty Fail\n", kStatusCheckEmptyFail);
        }
    }
    if (program) {
        const uint8_t saved[2] = {image[tag], image[tag + 1]};
        image[tag] = image[tag + 1] = 0xFF;
        auto restore = [&] {
            image[tag] = saved[0];
            image[tag + 1] = saved[1];
        };
        if (!MP_WriteErasedSPIFlash(length, image)) {
            restore();
            return fail("Write Flash Code Fail\n", kStatusUpdateFail);
        }
        if (!MP_VerifyReadSPIFlash(length, readback_)) {
            restore();
            return fail("Read Flash Code Fail\n", kStatusReadFlashFail);
        }
        if (std::memcmp(image.data(), readback_.data(), length) != 0) {
            restore();
            return fail("Check Flash Code Fail\n", kStatusCompareFail);
        }
        restore();
        scope.Text("Verified; writing the tag\n");
        if (!WriteTagChecked(image, tag)) return fail("Write Tag Fail\n", kStatusWriteTagFail);
    }
    // The reset into the new code sets the size back by itself.
    if (large_packets_ && !(options & kOptReset)) MP_ChangeDataControlSize(8);
    return FinishUpdate(scope, program, error);
}

int CMpFlow_Flash::FF_EraseEx() {
    LogScope scope(process_.logger, "CMpFlow_Flash::FF_EraseEx");
    if (conn_.mipi_bridge) return FF_EraseEx_For7608();
    if (!MP_DisableSPIWriteProtect()) {
        process_.Report(kReportFailure, kStatusDisableWpFail);
        return 0;
    }
    if (!MP_EraseSPIFlash()) {
        process_.Report(kReportFailure, kStatusEraseFlashFail);
        return 0;
    }
    int result = MP_EnableSPIWriteProtect();
    if (!result) {
        process_.Report(kReportFailure, kStatusEnableWpFail);
        return 0;
    }
    if (process_.download_options & kOptReset) {
        process_.Report(kReportStepText, kStatusStepResetToNewCode);
        result = MP_ResetToCode(kBootNewCode, 0);
        if (!result) {
            process_.Report(kReportFailure, kStatusResetDeviceFail);
            return 0;
        }
    }
    return result;
}

int CMpFlow_Flash::FF_ReadEx() {
    LogScope scope(process_.logger, "CMpFlow_Flash::FF_ReadEx");
    if (!AllocateReadback(read_length_)) {
        process_.Report(kReportFailure, kStatusMallocFail);
        return 0;
    }
    conn_.command_options |= kExtUnitOption;
    MP_ChangeDataControlSize(64);
    int result = 0;
    if (conn_.mipi_bridge) {
        result = FF_ReadEx_For7608(read_length_);
    } else {
        result = MP_ReadSPIFlash(read_length_, readback_);
        if (!result) process_.Report(kReportFailure, kStatusReadFlashFail);
    }
    if (result && conn_.rom_flag == 0) {
        process_.Report(kReportStepText, kStatusStepResetToNewCode);
        result = MP_ResetToCode(kBootNewCode, 0);
        if (!result) process_.Report(kReportFailure, kStatusResetDeviceFail);
    }
    MP_ChangeDataControlSize(8);
    conn_.command_options &= ~kExtUnitOption;
    return result;
}

int CMpFlow_Flash::ReadAndCompare(LogScope& scope, uint32_t length,
                                  const std::function<int(uint32_t, std::span<uint8_t>)>& read,
                                  const std::function<int()>& compare) {
    if (!AllocateReadback(length)) {
        process_.Report(kReportFailure, kStatusMallocFail);
        return 0;
    }
    if (!read(length, readback_)) {
        scope.Section("Read Flash Fail!\n");
        process_.Report(kReportFailure, kStatusReadFlashFail);
        return 0;
    }
    const int result = compare();
    if (result == 0) dump_mismatch_ = true;
    return result;
}

int CMpFlow_Flash::FF_ReadExDumpCheck(uint32_t read_length) {
    LogScope scope(process_.logger, "CMpFlow_Flash::FF_ReadExDumpCheck");
    return ReadAndCompare(
        scope, read_length,
        [this](uint32_t n, std::span<uint8_t> out) { return MP_ReadSPIFlash(n, out); },
        [this] { return DumpCompare(); });
}

}  // namespace orbisk
