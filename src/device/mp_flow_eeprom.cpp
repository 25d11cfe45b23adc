#include "device/mp_flow_eeprom.h"

#include <algorithm>
#include <cstring>

#include "device/flash_codes.h"

namespace orbisk {

namespace {

constexpr uint8_t kOptLarge = 0x08;
constexpr uint16_t kWp6099Register = 0xFF9C;
constexpr uint16_t kGpioRegisters[4] = {0xFEA0, 0xFEA6, 0xFEA1, 0xFEA7};
constexpr uint32_t kNotInCacheMode = 41935;  // "Device is not in cache mode"

}  // namespace

std::vector<uint8_t> CMpFlow_Eeprom::WithTagHeldBack(std::span<const uint8_t> image) {
    std::vector<uint8_t> copy(image.begin(), image.end());
    if (copy.size() > kByteMemoryTagAddress) copy[kByteMemoryTagAddress] = 0xFF;
    return copy;
}

bool CMpFlow_Eeprom::EepromWriteProtect(bool enable, bool by_profile) {
    if (!HasCamera()) return false;
    // The selected profile's own name: the image check selects the profile of the camera's chip
    // without applying it.
    const bool ff9c = by_profile && profiles_.GetValue(kConfigSection, "Ic Name", "") == "ORV6099";
    process_.logger.DebugPrint(
        "EEPROM write protect %s through %s\n", enable ? "on" : "off",
        ff9c ? (conn_.gpio_reset ? "0xFF9C GPIO 1" : "0xFF9C GPIO 0") : "the GPIO registers");
    if (ff9c) {
        uint8_t value = 0;
        if (!MP_ReadMem(kWp6099Register, 1, &value)) return false;
        const bool pin1 = conn_.gpio_reset != 0;
        if (enable) {
            value &= static_cast<uint8_t>(pin1 ? ~0x02 : ~0x01);
        } else {
            value &= static_cast<uint8_t>(pin1 ? ~0x08 : ~0x04);
            value |= pin1 ? 0x02 : 0x01;
        }
        return MP_WriteMem(kWp6099Register, 1, &value) != 0;
    }
    uint8_t r[4] = {};
    for (int i = 0; i < 4; ++i)
        if (!MP_ReadMem(kGpioRegisters[i], 1, &r[i])) return false;
    if (enable) {
        r[0] &= 0xDF;
        r[1] |= 0x01;
        r[2] &= 0xFD;
        r[3] |= 0x01;
    } else {
        r[0] |= 0x20;
        r[1] &= 0xDF;
        r[2] |= 0x02;
        r[3] &= 0xFD;
    }
    for (int i = 0; i < 4; ++i)
        if (!MP_WriteMem(kGpioRegisters[i], 1, &r[i])) return false;
    return true;
}

bool CMpFlow_Eeprom::WriteTagChecked(const std::function<bool()>& write,
                                     const std::function<bool(uint8_t*)>& read) {
    process_.Report(kReportStepText, codes::kStepWriteTag);
    if (!write()) return false;
    uint8_t tag = static_cast<uint8_t>(~kByteMemoryTag);
    return read(&tag) && tag == kByteMemoryTag;
}

uint32_t CMpFlow_Eeprom::ResetIntoWrittenCode(LogScope& scope, bool image_written,
                                              const char* failure) {
    process_.Report(kReportStepText, codes::kStepResetToNewCode);
    if (!MP_ResetToCode(kBootNewCode, 0)) {
        scope.Section(failure);
        return codes::kResetDeviceFail;
    }
    if (!image_written) return 0;
    // A written, verified and tagged image that the camera does not start is no success.
    int running = 0;
    if (!MP_IsRunningCode(running)) {
        scope.Section("Device status read Fail\n");
        return codes::kResetDeviceFail;
    }
    if (!running) {
        scope.Section("Device is not in cache mode\n");
        return kNotInCacheMode;
    }
    return 0;
}

int CMpFlow_Eeprom::EE16_UpdateEx_Cmd2(std::span<const uint8_t> image, uint32_t& code) {
    LogScope scope(process_.logger, "CMpFlow_Eeprom::EE16_UpdateEx_Cmd2");
    const uint8_t options = process_.download_options;
    const auto fail = [&](const char* text, uint32_t failure) {
        scope.Section(text);
        code = failure;
        return 0;
    };
    if (!EepromWriteProtect(false, true))
        return fail("Disable Write Protect Fail\n", codes::kDisableWpFail);
    if (options & kOptLarge) MP_ChangeDataControlSize(64);
    if (options & codes::kOptProgram) {
        // The tag is held back: an update cut short leaves an EEPROM the boot ROM does not start.
        if (image.size() <= kByteMemoryTagAddress)
            return fail("Write I2CEEP Fail\n", codes::kUpdateEepromFail);
        std::vector<uint8_t> held = WithTagHeldBack(image);
        const auto n = static_cast<uint32_t>(held.size());
        if (!MP_WriteEeprom16(0, n, held))
            return fail("Write I2CEEP Fail\n", codes::kUpdateEepromFail);
        if (!MP_VerifyReadEeprom16(n, readback_))
            return fail("Read I2CEEP Fail\n", codes::kReadEepromFail);
        if (readback_.size() < n || std::memcmp(readback_.data(), held.data(), n) != 0)
            return fail("Check I2CEEP Fail\n", codes::kCompareFail);
        const uint64_t h = conn_.camera_handle;
        const uint32_t o = conn_.command_options;
        if (!WriteTagChecked([&] { return camlib_.CamLib_I2C_EEP16_WriteTag(h, o) != 0; },
                             [&](uint8_t* tag) {
                                 return camlib_.CamLib_I2C_EEP16_Read(h, kByteMemoryTagAddress, 1,
                                                                      tag, nullptr, nullptr,
                                                                      o) != 0;
                             }))
            return fail("Write I2CEEP Tag Fail\n", codes::kWriteTagFail);
    }
    if (options & kOptLarge) MP_ChangeDataControlSize(8);
    if (!EepromWriteProtect(true, true))
        return fail("Enable Write Protect Fail\n", codes::kEnableWpFail);
    if (options & codes::kOptReset) {
        const uint32_t failure = ResetIntoWrittenCode(scope, (options & codes::kOptProgram) != 0,
                                                      "Device ResetToRom Fail\n");
        if (failure) {
            code = failure;
            return 0;
        }
    }
    return 1;
}

int CMpFlow_Eeprom::EE16_UpdateExWrapper(std::span<const uint8_t> image) {
    uint32_t code = codes::kResetDeviceFail;
    if (process_.CheckCancel()) {
        process_.Report(kReportFailure, code);
        return 0;
    }
    if (EE16_UpdateEx_Cmd2(image, code)) return 1;
    MP_ChangeDataControlSize(8);
    EepromWriteProtect(true, true);  // result ignored: the failure is reported as it was
    process_.Report(kReportFailure, code);
    return 0;
}

int CMpFlow_Eeprom::EE16_UpdateEx(std::span<const uint8_t> image) {
    if (!AllocateReadback(static_cast<uint32_t>(image.size()))) {
        process_.Report(kReportFailure, codes::kMallocFail);
        return 0;
    }
    return EE16_UpdateExWrapper(image);
}

}  // namespace orbisk
