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
constexpr uint32_t kNorAddressSpace = 0x10000;

}  // namespace

int CNORFlashInfo_USB::NorSequence() {
    const uint8_t options = process_.download_options;
    std::vector<uint8_t>& image = images_.front;
    const uint32_t length = static_cast<uint32_t>(image.size());
    auto failed = [&](uint32_t code) {
        process_.Report(kReportFailure, code);
        return 0;
    };
    // The tag is held back like on serial flash: the image goes out with 0xFF in its place
    // and the device writes the tag only after the read-back matched, so an interrupted or
    // wrong write never leaves a tagged image that the boot ROM would start.
    const uint32_t tag = TagAddress();
    if ((options & 0x10) && uint64_t{tag} + 2 > length) return failed(kUpdateFlashFail);
    // NOR commands carry 16-bit addresses: a longer image would be cut short after the erase.
    if (length > kNorAddressSpace) return failed(kUpdateFlashFail);
    if (!AllocateReadback(length)) return failed(kMallocFail);
    if (!MP_OpenRomDevice()) return 0;
    if (!MP_EraseNorFlash()) return failed(kEraseFlashFail);
    if ((options & 0x02) && !MP_CheckNorFlashEmpty(length, readback_))
        return failed(kCheckEmptyFail);
    if (options & 0x10) {
        const uint8_t saved[2] = {image[tag], image[tag + 1]};
        image[tag] = image[tag + 1] = 0xFF;
        const bool written = MP_WriteNorFlash(length, image);
        const bool read = written && MP_VerifyReadNorFlash(length, readback_);
        const bool same = read && std::memcmp(image.data(), readback_.data(), length) == 0;
        image[tag] = saved[0];
        image[tag + 1] = saved[1];
        if (!written) return failed(kUpdateFlashFail);
        if (!read) return failed(kReadFlashFail);
        if (!same) return failed(kCompareFail);
        process_.Report(kReportStepText, kStepWriteTag);
        if (!camlib_.CamLib_NorFlash_WriteTag(conn_.camera_handle, conn_.command_options))
            return failed(kWriteTagFail);
        // An acknowledged command is not a written tag: read it back.
        readback_[tag] = static_cast<uint8_t>(~image[tag]);
        readback_[tag + 1] = static_cast<uint8_t>(~image[tag + 1]);
        if (!MP_ReadSPIFlashWithRetry(tag, 2, readback_) || readback_[tag] != image[tag] ||
            readback_[tag + 1] != image[tag + 1])
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
    // As on serial flash: the camera's serial number goes into the image (with "SaveSN"), and
    // the recovery record is written before anything is erased.
    if (!PrepareForWriting(scope)) return 0;
    const int result = NorSequence();
    if (result == 1) ForgetRecovery(scope);
    MP_GetDevStatus(status_);
    MP_GetFWVersionText();
    return result;
}

}  // namespace orbisk
