#include "device/dev_flow.h"

#include "base/logger.h"
#include "base/process.h"
#include "camera/cam_lib.h"
#include "catalogue/ic_type_ini.h"

namespace orbisk {

namespace {
constexpr uint32_t kMipiPowerSettleMs = 1000;
constexpr uint8_t kMipiPowerOn = 3;
constexpr uint8_t kMipiPowerOff = 2;
}  // namespace

CDevFlow::CDevFlow(Process& process, CamLib& camlib, CICTypeIni& profiles)
    : CDevTypeInfo(process, camlib, profiles) {}

CDevFlow::~CDevFlow() = default;

void CDevFlow::Report(uint32_t kind, uint32_t code, intptr_t extra) {
    process_.Report(kind, code, extra);
}

void CDevFlow::Fail(LogScope& scope, const char* text) {
    scope.Section(text);
    if (process_.run_mode == kRunCommandLine && peer_->console) peer_->console(text);
}

bool CDevFlow::ReadPortPair() {
    uint32_t port = 0;
    uint64_t hub = 0;
    const bool ok = camlib_.CamLib_GetPortLocation(conn_.camera_handle, &port, &hub) == 1;
    conn_.port_number = port;
    conn_.hub = hub;
    return ok;
}

void CDevFlow::StorePortPair() {
    peer_->remembered_port = conn_.port_number;
    peer_->remembered_hub = conn_.hub;
}

bool CDevFlow::ReadIdentity() {
    const bool ok =
        camlib_.CamLib_GetIdentity(&conn_.vid, &conn_.pid, &conn_.rev, &texts_.manufacturer) == 1;
    texts_.manufacturer_read = ok;
    texts_.vid_pid = VidPidText(conn_.vid, conn_.pid);
    texts_.identity_label = IdentityLabel(conn_.vid, conn_.pid, conn_.rev);
    return ok;
}

bool CDevFlow::IdentifyOpenedCamera(LogScope& scope, bool with_identity) {
    // Each read is checked: a camera that goes away half-way must not be taken for another
    // chip or product ("Firmware is not for the device!") or leave an empty serial number.
    const bool ok = ReadPortPair() && DEV_ReadChipIdentity() &&
                    (!with_identity || ReadIdentity()) && DEV_CheckRecovery();
    if (ok) return true;
    scope.Section("Camera lost while it was opened\n");
    MP_CloseDevice();
    Report(kReportDeviceInfo, kStatusDetectDeviceFail);
    return false;
}

int CDevFlow::ProbeMipi() {
    const int probe = camlib_.CamLib_ProbeMipiBridge(conn_.camera_handle);
    conn_.mipi_bridge = probe != 0;
    conn_.mipi_simulation = probe == 2;
    return probe;
}

std::string CDevFlow::ListLabel() {
    ReadIdentity();
    if (process_.ConfigInt("MIPI Camera", 0) && ProbeMipi() != 0) return "MIPI Camera";
    return texts_.identity_label;
}

int CDevFlow::CheckImageForChip() {
    ImageSelection selection = Selection();
    selection.chosen_image_path = &texts_.chosen_image_path;
    selection.image_identity = &texts_.image_identity;
    return CheckImageForChipIdentity(selection, conn_.chip_identity);
}

int CDevFlow::FindFirstImage() {
    ImageSelection selection{process_, profiles_, images_, conn_.vid, conn_.pid};
    selection.chosen_image_path = &texts_.chosen_image_path;
    return FindFirstLoadableImage(selection);
}

int CDevFlow::DEV_ReadChipIdentity() {
    conn_.chip_identity = {0, 0};
    if (conn_.camera_handle == 0) return 1;
    uint8_t raw[2] = {0xFF, 0xFF};
    // A failed read must not pass for a chip: 0xFF 0xFF would name no profile and turn a lost
    // camera into "Firmware is not for the device!".
    if (!MP_ReadMem(0xFE21, 2, raw)) return 0;
    if (raw[0] == 0x00 && raw[1] == 0x60) {
        // This register pair means the chip cannot tell who it is.
        conn_.chip_identity = {0xFF, 0xFF};
        return 1;
    }
    conn_.chip_identity = {static_cast<uint8_t>(raw[0] & 0xF0),
                           static_cast<uint8_t>(raw[1] & 0xF0)};
    if (conn_.chip_identity[0] == 0x00 && conn_.chip_identity[1] == 0x40) {
        // Two chips share this masked value; the low nibble of byte 0 tells them apart.
        raw[0] = raw[1] = 0xFF;
        if (!MP_ReadMem(0xFE21, 2, raw)) {
            conn_.chip_identity = {0, 0};
            return 0;
        }
        conn_.chip_identity = {raw[0], static_cast<uint8_t>(raw[1] & 0xF0)};
        if (raw[0] == 0x01 && (raw[1] & 0xF0) == 0x40) conn_.chip_identity = {0x00, 0x50};
    }
    return 1;
}

void CDevFlow::Notice(const std::string& text) {
    CDevTypeInfo::Notice(text);
    if (notice_) notice_(text);
}

int CDevFlow::DEV_ReadMipiCameraInfo() {
    ReadMipiDeviceInfo();
    const int found = FindFirstImage();
    // Nothing of an earlier camera is kept for this one.
    set_mipi_reserved({});
    CheckBridgeRecovery();
    if (const int32_t reserve = process_.ConfigInt("MIPI Reserve", 0); reserve != 0) {
        const BridgeRecovery& bridge = texts_.bridge_recovery;
        std::vector<uint8_t> kept;
        // A bridge an update left in its boot ROM may hold a half-written flash: its reserved
        // data come from the record of that update, or from nowhere.
        if (bridge.record && ReservedDataFromRecord(&kept))
            set_mipi_reserved(std::move(kept));
        else if (!bridge.in_rom)
            ReadMipiReserve(reserve);
    }
    process_.project_type = 5;
    return found;
}

int CDevFlow::DeviceInfoForListedCamera() {
    if (process_.ConfigInt("MIPI Camera", 0) && ProbeMipi() != 0) return DEV_ReadMipiCameraInfo();
    DEV_ReadChipIdentity();
    MP_GetDeviceInfo();
    DEV_CheckRecovery();
    const int fits = CheckImageForChip();
    if (process_.project_type == 6) otp_space_used = ReadOtpSpaceUsed();
    return fits;
}

int CDevFlow::DEV_OpenDeviceByICIni(int index) {
    LogScope scope(process_.logger, "CDevFlow::DEV_OpenDeviceByICIni");
    if (conn_.camera_handle != 0) return 1;
    if (!MP_OpenDevice(index)) {
        Report(kReportDeviceInfo, kStatusDetectDeviceFail);
        return 0;
    }
    if (!IdentifyOpenedCamera(scope, true)) return 0;
    StorePortPair();
    profiles_.ApplyProfile();
    Report(kReport1055, 0);
    return 1;
}

int CDevFlow::DEV_OpenMIPIDevice() {
    LogScope scope(process_.logger, "CDevFlow::DEV_OpenMIPIDevice");
    if (conn_.camera_handle != 0) return 1;
    if (!MP_OpenDevice(0)) {
        Report(kReportDeviceInfo, kStatusDetectDeviceFail);
        return 0;
    }
    if (ProbeMipi() != 0) {
        process_.project_type = 5;
    } else {
        if (!IdentifyOpenedCamera(scope, true)) return 0;
        StorePortPair();
        profiles_.ApplyProfile();
    }
    Report(kReport1055, 0);
    return 1;
}

int CDevFlow::DEV_OpenDeviceByVIDPID() {
    LogScope scope(process_.logger, "CDevFlow::DEV_OpenDeviceByVIDPID");
    if (conn_.camera_handle != 0) return 1;
    const bool lock_port = process_.ConfigInt("LockPort", 0) != 0;
    const int32_t port_no = process_.ConfigInt("PortNo", 0);
    const int count = camlib_.CamLib_GetDeviceCount();
    if (count == 0) {
        Report(kReportDeviceInfo, kStatusDetectDeviceFail);
        Fail(scope, "Cannot find Zantrel Camera!\n");
        return 0;
    }
    bool taken = false;
    for (int i = 0; i < count && !taken; ++i) {
        if (!MP_OpenDevice(i)) continue;
        if (!ReadPortPair() || !ReadIdentity()) {
            MP_CloseDevice();
            continue;
        }
        StorePortPair();
        // A camera in its boot ROM is listed under the identity its recovery record names.
        DEV_CheckRecovery();
        const RecoveryState& recovery = texts_.recovery;
        const std::string listed = recovery.rom == RecoveryState::Rom::kWithRecord
                                       ? VidPidText(recovery.record.vid, recovery.record.pid)
                                       : texts_.vid_pid;
        if (CheckVidPidListExact(process_, scope, listed)) {
            if (!lock_port) {
                taken = true;
            } else if (port_no == 0) {
                // The first matching camera claims its port for every later run.
                process_.config.SetValueI(kConfigSection, "PortNo",
                                          static_cast<int32_t>(conn_.port_number));
                scope.Text("Set Value\n");
                taken = true;
            } else if (static_cast<uint32_t>(port_no) == conn_.port_number) {
                taken = true;
            }
        }
        if (!taken) MP_CloseDevice();
    }
    if (!taken) {
        Report(kReportFailure, kStatusVidPidMismatch);
        Fail(scope, "Check VID/PID Mismatch!\n");
        return 0;
    }
    if (!IdentifyOpenedCamera(scope, false)) return 0;
    profiles_.ApplyProfile();
    Report(kReport1055, 0);
    return 1;
}

int CDevFlow::DEV_GetDeviceInfo() {
    LogScope scope(process_.logger, "CDevFlow::DEV_GetDeviceInfo");
    if (process_.project_type == 5)
        ReadMipiDeviceInfo();
    else
        MP_GetDeviceInfo();
    Report(kReportDeviceInfo, 0);
    return 1;
}

int CDevFlow::Dev_OpenDeviceForMultiCamera() {
    LogScope scope(process_.logger, "CDevFlow::Dev_OpenDeviceForMultiCamera");
    if (conn_.camera_handle != 0) return 1;
    if (selected_index == -1) {
        Report(kReportDeviceInfo, kStatusDetectDeviceFail);
        return 0;
    }
    const int count = camlib_.CamLib_GetDeviceCount();
    bool opened = false;
    for (int i = selected_index; i < count && !opened; ++i) opened = MP_OpenDevice(i) != 0;
    if (!opened) return 0;
    ReadPortPair();
    if (conn_.mipi_bridge && !conn_.mipi_simulation) {
        scope.Text("UVC_SetPowerControlLib\n");
        camlib_.CamLib_SetPowerMipi(conn_.camera_handle, kMipiPowerOn, conn_.command_options);
        process_.clock.sleep_ms(kMipiPowerSettleMs);
    }
    return 1;
}

void CDevFlow::DEV_CloseDevice() {
    LogScope scope(process_.logger, "CDevFlow::DEV_CloseDevice");
    if (conn_.mipi_bridge && !conn_.mipi_simulation) {
        scope.Text("UVC_SetPowerControlLib\n");
        if (conn_.camera_handle != 0)
            camlib_.CamLib_SetPowerMipi(conn_.camera_handle, kMipiPowerOff, conn_.command_options);
    }
    MP_CloseDevice();
}

void CDevFlow::DEV_SetTransportOptions() {
    uint8_t options = 0x13;
    if (process_.ConfigInt("ResetToCache", 1) == 0) options &= static_cast<uint8_t>(~0x01);
    if (process_.ConfigInt("Lib Type", 0) != 0) options |= 0x08;
    if (process_.ConfigInt("Normal Reset", 1) != 0) {
        conn_.reset_kind = 6;
    } else {
        options |= 0x04;
        conn_.reset_kind = 5;
    }
    if (process_.ConfigInt("GPIO", 0) != 0) {
        options |= 0x20;
        conn_.gpio_reset = 1;
    } else {
        conn_.gpio_reset = 0;
    }
    if (profiles_.chip_info == 10) options |= 0x04;
    process_.download_options = options;
}

int CDevFlow::DEV_RunCommand(char letter, const std::string& path) {
    process_.status.SetCode(0);
    if (letter == 'W') return SilenceWriteBin(path);
    process_.status.SetCode(kStatusNotSupport);
    return 0;
}

int CDevFlow::PreUpdate(const uint8_t*, uint32_t) {
    return 0;
}
int CDevFlow::Read() {
    return 0;
}
int CDevFlow::Erase() {
    return 0;
}
int CDevFlow::Update() {
    return 0;
}
int CDevFlow::Download() {
    return 0;
}
int CDevFlow::DumpCheck() {
    return 0;
}

namespace {
int NotSupported(Process& process) {
    process.status.SetCode(kStatusNotSupport);
    return 0;
}
}  // namespace

int CDevFlow::SilenceWriteBin(const std::string&) {
    return NotSupported(process_);
}
int CDevFlow::SilenceWriteSNBin(const std::string&) {
    return NotSupported(process_);
}
int CDevFlow::SilenceReadBin(const std::string&) {
    return NotSupported(process_);
}
int CDevFlow::SilenceVerifyBin(const std::string&) {
    return NotSupported(process_);
}
int CDevFlow::SilenceSaveHexBin(const std::string&) {
    return NotSupported(process_);
}
int CDevFlow::SilenceErase(int) {
    return NotSupported(process_);
}
int CDevFlow::SilenceDumpCheck(const std::string&) {
    return NotSupported(process_);
}

}  // namespace orbisk
