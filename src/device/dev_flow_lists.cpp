// The list operations of the device flow: they fill the dialog's device selector, choose a
// camera, and leave no camera open.
#include <map>
#include <optional>
#include <utility>

#include "base/logger.h"
#include "base/process.h"
#include "camera/cam_lib.h"
#include "catalogue/ic_type_ini.h"
#include "catalogue/image_selection.h"
#include "device/dev_flow.h"

namespace orbisk {

namespace {
// A physical camera: its hub port and hub. Two functions of one device share it.
using Location = std::pair<uint32_t, uint64_t>;
}  // namespace

// The state one list operation builds while it walks the enumeration.
struct CDevFlow::ListPass {
    int count = 0;
    int found_position = -1;
    bool found = false;
    // Selector position of each physical camera listed so far.
    std::map<Location, int> positions;
    int next_position = 0;
    // What the object knew of the selected camera when it was examined.
    std::optional<DeviceConnection> selected_conn;
    std::optional<DeviceTexts> selected_texts;
};

void CDevFlow::KeepSelected(ListPass& pass) {
    pass.selected_conn = conn_;
    pass.selected_texts = texts_;
}

void CDevFlow::RestoreSelected(const ListPass& pass) {
    if (!pass.selected_conn || !pass.selected_texts) return;
    DeviceConnection conn = *pass.selected_conn;
    // The handle and the transport settings belong to the object, not to a camera.
    conn.camera_handle = conn_.camera_handle;
    conn.command_options = conn_.command_options;
    conn.reset_kind = conn_.reset_kind;
    conn.gpio_reset = conn_.gpio_reset;
    conn_ = conn;
    texts_ = *pass.selected_texts;
}

int CDevFlow::CheckCandidate(int32_t ini, int32_t bin, bool lenient_ini) {
    DEV_ReadChipIdentity();
    MP_GetDeviceInfo();
    DEV_CheckRecovery();
    const int fits = CheckImageForChip();
    if (process_.project_type == 6) otp_space_used = ReadOtpSpaceUsed();
    // A camera in its boot ROM answers with the controller's identity: what it may receive
    // is decided by its recovery record and its chip.
    if (texts_.recovery.InRom()) return check_result = RomCameraCheck(fits, ini);
    const bool file = !process_.image_file.empty();
    if (ini != 0) {
        if (ini == 2)
            check_result = CheckVidPidListWithRev(process_, notice_, texts_.identity_label);
        else
            check_result =
                lenient_ini ? 1 : CheckVidPidListWithoutRev(process_, notice_, texts_.vid_pid);
    } else if (bin != 0) {
        // The cameras the carried image is meant for say nothing of an image file.
        check_result =
            file ? 1
                 : CheckImageVidPid(texts_.vid_pid, texts_.identity_label, &peer_->matched_camera);
    }
    if (file) check_result = FileCheckResult(check_result, fits);
    return check_result;
}

int CDevFlow::FileCheckResult(int allowed, int fits) {
    // An image file the operator chose is written only to a camera it fits (chip, identity).
    if (allowed == 0 || fits == 0) return 0;
    peer_->matched_camera = texts_.identity_label;
    return 1;
}

int CDevFlow::DEV_GetDefaultDeviceForAllInOne() {
    LogScope scope(process_.logger, "CDevFlow::DEV_GetDefaultDeviceForAllInOne");
    if (conn_.camera_handle != 0) return 1;
    const bool auto_run = process_.ConfigInt("AutoRun", 0) != 0;
    if (auto_run) {
        scope.Text("Before SetEvent\n");
        if (peer_->wake) peer_->wake(false);
    }
    const int32_t ini = process_.ConfigInt("CheckVIDPID_INI", 0);
    // An absent key enables the image check here.
    const int32_t bin = process_.ConfigInt("CheckVIDPID_BIN", 1);
    const int count = camlib_.CamLib_GetDeviceCount();
    if (peer_->selector) peer_->selector->Clear();
    selected_index = -1;
    ListPass pass;
    for (int i = 0; i < count; ++i) {
        if (!MP_OpenDevice(i)) continue;
        ReadPortPair();
        const Location location{conn_.port_number, conn_.hub};
        if (pass.positions.count(location)) {
            MP_CloseDevice();
            continue;
        }
        const int k = pass.next_position++;
        pass.positions[location] = k;
        const std::string label = ListLabel();
        if (peer_->selector) peer_->selector->Insert(k, label);
        if (!pass.found) {
            if (ini != 0 || bin != 0) {
                if (CheckCandidate(ini, bin, true) != 0) {
                    StorePortPair();
                    pass.found = true;
                }
            } else {
                const int fits = DeviceInfoForListedCamera();
                if (texts_.recovery.InRom())
                    check_result = RomCameraCheck(fits, ini);
                else if (!process_.image_file.empty())
                    check_result = FileCheckResult(1, fits);
                StorePortPair();
                pass.found = true;
            }
            // A camera that fails keeps the selection until a later one passes.
            selected_index = k;
            KeepSelected(pass);
        }
        MP_CloseDevice();
    }
    RestoreSelected(pass);
    if (selected_index == -1) {
        Report(kReportDeviceInfo, kStatusDetectDeviceFail);
    } else {
        if (peer_->selector) {
            peer_->selector->Select(selected_index);
            peer_->selected_label = peer_->selector->SelectedText();
        }
        Report(kReportDeviceInfo, kStatusDeviceInfoSucceed);
    }
    if (auto_run && peer_->wake) peer_->wake(true);
    return selected_index != -1;
}

int CDevFlow::DEV_GetDeviceListForAllInOne(int32_t flag) {
    LogScope scope(process_.logger, "CDevFlow::DEV_GetDeviceListForAllInOne");
    if (conn_.camera_handle != 0) return 1;
    const bool auto_run = process_.ConfigInt("AutoRun", 0) != 0;
    if (auto_run) {
        scope.Text("Before SetEvent\n");
        if (peer_->wake) peer_->wake(false);
    }
    const int count = camlib_.CamLib_GetDeviceCount();
    if (peer_->selector) peer_->selector->Clear();
    selected_index = -1;
    ListPass pass;
    const Location remembered{peer_->remembered_port, peer_->remembered_hub};

    // First pass: list every physical camera once and look for the remembered one.
    for (int i = 0; i < count; ++i) {
        if (!MP_OpenDevice(i)) continue;
        ReadPortPair();
        const Location location{conn_.port_number, conn_.hub};
        if (pass.positions.count(location)) {
            MP_CloseDevice();
            continue;
        }
        const int k = pass.next_position++;
        pass.positions[location] = k;
        const std::string label = ListLabel();
        if (location == remembered && !pass.found) {
            selected_index = k;
            pass.found = true;
            const int fits = DeviceInfoForListedCamera();
            // A new image file is checked against the camera it is to be written to.
            if (!process_.image_file.empty() && !texts_.recovery.InRom())
                check_result = FileCheckResult(1, fits);
            KeepSelected(pass);
        }
        scope.Text("MP_CloseDevice\n");
        MP_CloseDevice();
        if (auto_run) {
            scope.Text("SetEvent\n");
            if (peer_->wake) peer_->wake(true);
        }
        if (peer_->selector) peer_->selector->Insert(k, label);
    }

    // Second pass: the first camera that passes the enabled checks.
    if (!pass.found) {
        const int32_t ini = process_.ConfigInt("CheckVIDPID_INI", 0);
        const int32_t bin = process_.ConfigInt("CheckVIDPID_BIN", 0);
        for (int i = 0; i < count && !pass.found; ++i) {
            if (!MP_OpenDevice(i)) continue;
            ReadPortPair();
            StorePortPair();
            const auto at = pass.positions.find({conn_.port_number, conn_.hub});
            const int k = at == pass.positions.end() ? -1 : at->second;
            ReadIdentity();
            if (ini != 0 || bin != 0) {
                if (CheckCandidate(ini, bin, false) != 0) pass.found = true;
            } else {
                const int fits = DeviceInfoForListedCamera();
                if (texts_.recovery.InRom())
                    check_result = RomCameraCheck(fits, ini);
                else if (!process_.image_file.empty())
                    check_result = FileCheckResult(1, fits);
                pass.found = true;
            }
            if (k != -1) {
                selected_index = k;
                KeepSelected(pass);
            }
            MP_CloseDevice();
        }
    }
    RestoreSelected(pass);

    if (selected_index != -1 && pass.next_position > 0) {
        if (peer_->selector) {
            peer_->selector->Select(selected_index);
            peer_->selected_label = peer_->selector->SelectedText();
        }
        Report(kReportDeviceInfo, kStatusDeviceInfoSucceed, flag);
    } else {
        Report(kReportDeviceInfo, kStatusDetectDeviceFail, 0);
    }
    return selected_index != -1;
}

int CDevFlow::DEV_GetDeviceListAfterReset() {
    LogScope scope(process_.logger, "CDevFlow::DEV_GetDeviceListAfterReset");
    if (conn_.camera_handle != 0) return 1;
    if (selected_index == -1) {
        Report(kReportDeviceInfo, kStatusDetectDeviceFail);
        return 0;
    }
    const std::string wanted = peer_->selected_label;
    const int32_t ini = process_.ConfigInt("CheckVIDPID_INI", 0);
    const int32_t bin = process_.ConfigInt("CheckVIDPID_BIN", 0);
    const int count = camlib_.CamLib_GetDeviceCount();
    bool found = false;
    // An entry's position is never above its camera's enumeration index (duplicates are left
    // out of the selector), so the search starts there.
    for (int i = selected_index; i < count && !found; ++i) {
        if (!MP_OpenDevice(i)) continue;
        if (ListLabel() == wanted) {
            found = true;
            selected_index = i;
            ReadPortPair();
            StorePortPair();
            const int fits = DeviceInfoForListedCamera();
            if (ini == 2)
                check_result = CheckVidPidListWithRev(process_, notice_, texts_.identity_label);
            else if (ini != 0)
                check_result = CheckVidPidListWithoutRev(process_, notice_, texts_.vid_pid);
            const bool file = !process_.image_file.empty();
            if (ini == 0 && bin != 0)
                check_result = file ? 1
                                    : CheckImageVidPid(texts_.vid_pid, texts_.identity_label,
                                                       &peer_->matched_camera);
            if (file) check_result = FileCheckResult(ini != 0 || bin != 0 ? check_result : 1, fits);
            if (texts_.recovery.InRom()) check_result = RomCameraCheck(fits, ini);
        }
        MP_CloseDevice();
    }
    Report(kReportDeviceInfo, found ? kStatusDeviceInfoSucceed : kStatusDetectDeviceFail);
    return 1;
}

}  // namespace orbisk
