#include "device/mp_flow4.h"

#include <cstdio>

#include "base/status_codes.h"
#include "device/device_rules.h"

namespace orbisk {

int CMpFlow4::MP_ResetToCode(int target, uint8_t sub_mode) {
    if (process_.CheckCancel()) return 0;
    const uint32_t wait = static_cast<uint32_t>(process_.ConfigInt(cfg::kWaitTime));
    uint64_t handle = conn_.camera_handle;
    bool ok = false;
    if (target == kBootUpdateMode)
        ok = camlib_.CamLib_ResetToUpdateFW(&handle, sub_mode, conn_.command_options, wait);
    else if (target == kBootNewCode)
        ok = camlib_.CamLib_ResetToRomAndReconnect(&handle, conn_.command_options, wait);
    else
        return 0;
    // The old handle is stale after any reset attempt; the library's is the one to use.
    conn_.camera_handle = handle;
    return ok ? 1 : 0;
}

int CMpFlow4::MP_ResetToRomCode() {
    LogScope scope(process_.logger, "CMpFlow::MP_ResetToRomCode");
    if (!HasCamera()) return 0;
    int running = 0;
    if (!MP_IsRunningCode(running)) {
        scope.Text("Device status read Fail\n");
        return 0;
    }
    uint8_t id[2] = {0, 0};
    if (!MP_ReadMem(kChipIdAddress, 2, id)) return 0;
    const uint16_t raw = static_cast<uint16_t>(id[1] << 8 | id[0]);
    const uint16_t masked = ChipIdFromBytes(id[0], id[1]);

    if (IsSpecialResetChip(profiles_.chip_name, masked)) {
        if (conn_.reset_kind == 0) return 1;
        conn_.rom_flag = 0;
        if (raw == 0xB013 || raw == 0xB014) return MP_ResetToCode(kBootNewCode, 0);
        return MP_ResetToCode(kBootUpdateMode, conn_.reset_kind);
    }
    if (!running) {
        conn_.rom_flag = 1;
        if (!MP_ReadMem(kChipIdAddress, 2, id)) return 0;
        if (ChipIdFromBytes(id[0], id[1]) != 0x3000) return 1;
    }
    conn_.rom_flag = 0;
    const uint8_t sub_mode = RomSubMode(process_.download_options, conn_.reset_kind,
                                        process_.ConfigInt(cfg::kLibType), process_.project_type);
    return MP_ResetToCode(kBootUpdateMode, sub_mode);
}

int CMpFlow4::MP_OpenRomDevice() {
    LogScope scope(process_.logger, "CMpFlow4::MP_OpenRomDevice");
    process_.Report(kReportStepText, kStatusStepWaitReset);
    const int result = MP_ResetToRomCode();
    if (!result) {
        scope.Section("Device ResetToUpdateFW Fail\n");
        process_.Report(kReportFailure, kStatusResetDeviceFail);
        return 0;
    }
    int running = 0;
    if (!MP_IsRunningCode(running)) {
        // Nothing may be erased before the boot ROM is known to run.
        scope.Section("Device status read Fail\n");
        process_.Report(kReportFailure, kStatusResetDeviceFail);
        return 0;
    }
    if (running) {
        scope.Text("Device is not in rom mode\n");
        process_.Report(kReportFailure, kStatusNotInRomMode);
        return 0;
    }
    return result;
}

bool CMpFlow4::FindTarnCamera(bool rear) {
    for (int index = 0;; ++index) {
        if (process_.CheckCancel()) return false;
        if (!MP_OpenDevice(index)) break;
        DevStatusBlock block{};
        MP_GetDevStatus(block);
        camlib_.CamLib_GetVidPidRev(&conn_.vid, &conn_.pid, &conn_.rev);
        char key[32];
        std::snprintf(key, sizeof key, "VID_%04X&PID_%04X", conn_.vid, conn_.pid);
        const bool runs = RunsCode(block);
        const bool rear_bit = (block[32] & 0x01) != 0;
        const bool configured_rear = process_.ConfigInt(key, 0) != 0;
        const bool front = runs ? !rear_bit : !configured_rear;
        const bool back = (runs && rear_bit) || configured_rear;
        if (rear ? back : front) return true;
        MP_CloseDevice();
    }
    process_.clock.sleep_ms(128);
    return false;
}

bool CMpFlow4::FindFarrowCamera(bool rear) {
    for (int index = 0;; ++index) {
        if (process_.CheckCancel()) return false;
        if (!MP_OpenDevice(index)) break;
        uint8_t id[2] = {0xFF, 0xFF};
        if (MP_ReadMem(kChipIdAddress, 2, id)) {
            profiles_.MatchAnyProfile(static_cast<uint8_t>(id[0] & 0xF0),
                                      static_cast<uint8_t>(id[1] & 0xF0));
            const bool front = (id[1] & 0xF0) == 0xF0 && id[0] < 0x10;
            const bool is_rear = ChipIdFromBytes(id[0], id[1]) == 0x1010;
            if (rear ? is_rear : front) return true;
        }
        MP_CloseDevice();
    }
    process_.clock.sleep_ms(128);
    return false;
}

int CMpFlow4::OpenRomFor(bool found, const char* scope_name, const char* not_found, uint32_t code) {
    LogScope scope(process_.logger, scope_name);
    if (!found) {
        scope.Text("%s", not_found);
        process_.Report(kReportFailure, code);
        return 0;
    }
    process_.Report(kReportStepText, kStatusStepWaitReset);
    const int result = MP_ResetToRomCode();
    if (!result) {
        scope.Text("Devcie ResetToUpdateFW Fail\n");
        process_.Report(kReportFailure, kStatusResetDeviceFail);
        return 0;
    }
    return result;
}

int CMpFlow4::MP_OpenFrontRomDevice() {
    return OpenRomFor(FindTarnCamera(false), "CMpFlow4::MP_OpenFrontRomDevice",
                      "Open Front Device Fail\n", kStatusResetDeviceFail);
}

int CMpFlow4::MP_OpenRearRomDevice() {
    return OpenRomFor(FindTarnCamera(true), "CMpFlow4::MP_OpenRearRomDevice",
                      "Open Rear Device Fail\n", kStatusResetDeviceFail);
}

int CMpFlow4::MP_OpenFrontRomFarrowDevice() {
    return OpenRomFor(FindFarrowCamera(false), "CMpFlow4::MP_OpenFrontRomFarrowDevice",
                      "Open Farrow Front Device Fail\n", kStatusDetectDeviceFail)
               ? 1
               : 0;
}

int CMpFlow4::MP_OpenRearRomFarrowDevice() {
    return OpenRomFor(FindFarrowCamera(true), "CMpFlow4::MP_OpenRearRomFarrowDevice",
                      "Open Farrow Rear Device Fail\n", kStatusDetectDeviceFail)
               ? 1
               : 0;
}

}  // namespace orbisk
