#include "device/nor_flash_info_usb.h"

#include <cstring>

namespace orbisk {

namespace {

constexpr uint32_t kResetDeviceFail = 41512;
constexpr uint32_t kReadFlashFail = 41704;
constexpr uint32_t kEraseFlashFail = 41705;
constexpr uint32_t kUpdateFlashFail = 41706;
constexpr uint32_t kMallocFail = 41708;
constexpr uint32_t kCompareFail = 41709;
constexpr uint32_t kWriteTagFail = 41712;
constexpr uint32_t kCheckEmptyFail = 41717;
constexpr uint32_t kStepWriteTag = 41723;
constexpr uint32_t kStepResetToNewCode = 41724;
constexpr uint32_t kDownloadSucceed = 41755;

}  // namespace

int CNORFlashInfo_USB::NorSequence() {
    const uint8_t options = process_.download_options;
    std::vector<uint8_t>& image = images_.front;
    const uint32_t length = static_cast<uint32_t>(image.size());
    auto failed = [&](uint32_t code) {
        process_.Report(kReportFailure, code);
        return 0;
    };
    if (!AllocateReadback(length)) return failed(kMallocFail);
    if (!MP_OpenRomDevice()) return 0;
    if (!MP_EraseNorFlash()) return failed(kEraseFlashFail);
    if ((options & 0x02) && !MP_CheckNorFlashEmpty(length, readback_))
        return failed(kCheckEmptyFail);
    if (options & 0x10) {
        if (!MP_WriteNorFlash(length, image)) return failed(kUpdateFlashFail);
        if (!MP_VerifyReadNorFlash(length, readback_)) return failed(kReadFlashFail);
        if (std::memcmp(image.data(), readback_.data(), length) != 0) return failed(kCompareFail);
        process_.Report(kReportStepText, kStepWriteTag);
        if (!camlib_.CamLib_NorFlash_WriteTag(conn_.camera_handle, conn_.command_options))
            return failed(kWriteTagFail);
    }
    if (options & 0x01) {
        process_.Report(kReportStepText, kStepResetToNewCode);
        if (!MP_ResetToCode(kBootNewCode, 0)) return failed(kResetDeviceFail);
    }
    process_.Report(kReportProgress, 100);
    process_.Report(kReportSuccess, kDownloadSucceed);
    return 1;
}

int CNORFlashInfo_USB::Download() {
    LogScope scope(process_.logger, "CNORFlashInfo_USB::FFU_Download");
    const int result = NorSequence();
    MP_GetDevStatus(status_);
    MP_GetFWVersionText();
    return result;
}

}  // namespace orbisk
