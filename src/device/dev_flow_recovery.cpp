// Cameras that an update left in their boot ROM: the record of what the update was about to
// overwrite, kept from before the camera leaves its code until the update has passed, and the
// way the device flow finds, accepts and writes such a camera.
#include <cstdio>
#include <ctime>

#include "base/logger.h"
#include "base/process.h"
#include "base/sha256.h"
#include "camera/cam_lib.h"
#include "catalogue/ic_type_ini.h"
#include "device/dev_flow.h"
#include "device/device_status.h"
#include "image/firmware_image.h"

namespace orbisk {

namespace {

using Rom = RecoveryState::Rom;

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace

uint16_t CDevFlow::ChipIdentityWord() const {
    return static_cast<uint16_t>(conn_.chip_identity[1] << 8 | conn_.chip_identity[0]);
}

int CDevFlow::DEV_CheckRecovery() {
    RecoveryState& state = texts_.recovery;
    state = RecoveryState{};
    if (conn_.camera_handle == 0) return 0;
    state.port = PortChainText(conn_.camera_handle);
    state.record_path = RecoveryRecordPath(process_.program_folder, state.port);
    DevStatusBlock block{};
    if (!MP_GetDevStatus(block)) {
        state.rom = Rom::kUnknown;
        return 0;
    }
    if (RunsCode(block)) return 1;
    switch (ReadRecoveryRecord(state.record_path, state.port, &state.record, &state.problem)) {
        case RecordRead::kValid:
            state.rom = Rom::kWithRecord;
            // A record left by another camera on this port must not give this one its serial.
            if (const uint16_t chip = ChipIdentityWord();
                chip != 0 && chip != 0xFFFF && chip != state.record.chip_identity) {
                char text[96];
                std::snprintf(text, sizeof text,
                              "it was written for chip identity 0x%04X, this camera has 0x%04X",
                              state.record.chip_identity, chip);
                state.problem = text;
                state.rom = Rom::kDamagedRecord;
            }
            break;
        case RecordRead::kMissing:
            state.rom = Rom::kWithoutRecord;
            break;
        case RecordRead::kDamaged:
            state.rom = Rom::kDamagedRecord;
            break;
    }
    return 1;
}

bool CDevFlow::CameraMayBeWritten() const {
    switch (texts_.recovery.rom) {
        case Rom::kNo:
        case Rom::kWithRecord:
            return true;
        case Rom::kWithoutRecord:
            return recover_without_record_;
        case Rom::kUnknown:
        case Rom::kDamagedRecord:
            return false;
    }
    return false;
}

std::string CDevFlow::SerialNumberText() const {
    const RecoveryState& state = texts_.recovery;
    if (state.rom == Rom::kWithRecord) return state.record.serial;
    if (state.InRom()) return {};
    return texts_.manufacturer;
}

void CDevFlow::ImageIdentity(uint16_t* vid, uint16_t* pid, bool* any) const {
    const RecoveryState& state = texts_.recovery;
    *vid = conn_.vid;
    *pid = conn_.pid;
    *any = false;
    if (state.rom == Rom::kWithRecord) {
        // The boot ROM's identity says nothing of the product; the record says what ran.
        *vid = state.record.vid;
        *pid = state.record.pid;
    } else if (state.rom == Rom::kWithoutRecord) {
        *any = true;
    }
}

ImageSelection CDevFlow::Selection() {
    ImageSelection selection{process_, profiles_, images_};
    ImageIdentity(&selection.vid, &selection.pid, &selection.any_identity);
    selection.file = process_.image_file;
    const RecoveryState& state = texts_.recovery;
    // Without a file named now, a camera in its boot ROM gets what its update was writing: a
    // file the record names is taken only as it was then.
    if (selection.file.empty() && state.rom == Rom::kWithRecord &&
        state.record.image != kCarriedImageName) {
        selection.file = state.record.image;
        selection.file_sha256 = state.record.image_sha256;
    }
    return selection;
}

bool CDevFlow::DEV_LoadImageForCamera(bool before_asking) {
    const bool to_be_asked = before_asking && texts_.recovery.rom == Rom::kWithoutRecord;
    if (!CameraMayBeWritten() && !to_be_asked) {
        LoadFileData(images_, 0, 0);  // nothing for this camera: the slot is emptied
        return false;
    }
    ImageSelection selection = Selection();
    if (!LoadSelectedImage(selection)) return false;
    const RecoveryState& state = texts_.recovery;
    // The serial number is what the record must keep; the image is the carried one for the
    // recorded identity, which a newer program may carry in a newer version.
    if (state.rom == Rom::kWithRecord && Sha256Hex(images_.front) != state.record.image_sha256)
        process_.logger.DebugPrint("Recovery: the image is not the one %s names",
                                   state.record_path.c_str());
    return true;
}

bool CDevFlow::CheckFileIdentity() {
    ImageSelection selection = Selection();
    return FileIdentityFits(selection);
}

int CDevFlow::RomCameraCheck(int image_fits, int32_t ini) {
    const RecoveryState& state = texts_.recovery;
    if (image_fits == 0) return 0;
    if (state.rom == Rom::kWithoutRecord) return 1;
    if (state.rom != Rom::kWithRecord) return 0;
    // The list of allowed cameras applies to what the camera was.
    if (ini == 0) return 1;
    const std::string vid_pid = VidPidText(state.record.vid, state.record.pid);
    if (ini == 2) {
        return CheckVidPidListWithRev(
            process_, notice_, IdentityLabel(state.record.vid, state.record.pid, state.record.rev));
    }
    return CheckVidPidListWithoutRev(process_, notice_, vid_pid);
}

bool CDevFlow::CheckCameraForWriting(LogScope& scope) {
    // Where the camera runs decides where its serial number comes from and whether it may be
    // written at all; a camera that does not answer is not written.
    if (!DEV_CheckRecovery()) {
        scope.Section("Device status read Fail\n");
        process_.Report(kReportFailure, kStatusDetectDeviceFail);
        return false;
    }
    if (!CameraMayBeWritten()) {
        scope.Section("Camera in its boot ROM without a usable recovery record\n");
        process_.Report(kReportFailure, kStatusLoadFileDataFail);
        return false;
    }
    return true;
}

bool CDevFlow::RecordBeforeUpdate(std::span<const uint8_t> image_as_loaded, LogScope& scope,
                                  uint32_t& code) {
    const RecoveryState& state = texts_.recovery;
    const ImageSelection selection = Selection();
    const std::string image = selection.file.empty() ? kCarriedImageName : selection.file;
    const std::string sha256 = Sha256Hex(image_as_loaded);
    RecoveryRecord record;
    if (state.rom == Rom::kWithRecord) {
        // A camera already in its ROM keeps the record that describes what it was: a second one
        // written now could only know less. Only the image it is being written with changes.
        if (state.record.image == image && state.record.image_sha256 == sha256) return true;
        record = state.record;
    } else {
        record.port = state.port.empty() ? PortChainText(conn_.camera_handle) : state.port;
        record.vid = conn_.vid;
        record.pid = conn_.pid;
        record.rev = conn_.rev;
        record.chip_identity = ChipIdentityWord();
        if (state.rom == Rom::kNo && texts_.manufacturer_read && !texts_.manufacturer.empty()) {
            record.serial = texts_.manufacturer;
            record.serial_source = RecoveryRecord::SerialSource::kManufacturerString;
        }
        record.version = texts_.fw_version;
        record.chip_model = profiles_.chip_info;
    }
    record.memory_type = process_.project_type;
    record.image = image;
    record.image_sha256 = sha256;
    record.time = LocalTimeText();
    const std::string path = RecoveryRecordPath(process_.program_folder, record.port);
    std::string error;
    if (!WriteRecoveryRecord(path, record, &error)) {
        scope.Section("Write Recovery Record Fail\n");
        scope.Text("%s\n", error.c_str());
        code = kStatusRecoveryRecordFail;
        return false;
    }
    scope.Text("Recovery record %s written\n", path.c_str());
    if (state.rom == Rom::kWithRecord) texts_.recovery.record = record;
    return true;
}

void CDevFlow::ForgetRecovery(LogScope& scope) {
    const std::string port =
        texts_.recovery.port.empty() ? PortChainText(conn_.camera_handle) : texts_.recovery.port;
    std::string error;
    if (!RemoveRecoveryRecord(RecoveryRecordPath(process_.program_folder, port), &error))
        scope.Text("Recovery record not removed: %s\n", error.c_str());
}

bool CDevFlow::SerialToCarry(std::optional<std::string>* serial, LogScope& scope) {
    serial->reset();
    // Where the camera runs now decides where its serial number comes from.
    if (!DEV_CheckRecovery()) {
        scope.Section("Device status read Fail\n");
        return false;
    }
    const RecoveryState& state = texts_.recovery;
    switch (state.rom) {
        case Rom::kWithRecord:
            if (state.record.serial_source == RecoveryRecord::SerialSource::kNone) {
                scope.Text("The recovery record holds no serial number: the image keeps its own\n");
                return true;
            }
            scope.Text("Serial number %s from the recovery record\n", state.record.serial.c_str());
            *serial = state.record.serial;
            return true;
        case Rom::kWithoutRecord:
            // The boot ROM's strings are the controller's, never the module's serial number.
            scope.Text(
                "Camera in its boot ROM without a recovery record: the serial number "
                "cannot be restored, the image keeps its own\n");
            return recover_without_record_;
        case Rom::kUnknown:
        case Rom::kDamagedRecord:
            return false;
        case Rom::kNo:
            break;
    }
    // Read now, from the camera that is about to be written: never a value left from another
    // camera or from a read that failed.
    std::string text;
    if (camlib_.CamLib_GetManufacturerString(&text) != 1) {
        scope.Section("Serial number read Fail\n");
        return false;
    }
    if (text.empty()) {
        scope.Section("The camera reports no serial number\n");
        return false;
    }
    texts_.manufacturer = text;
    texts_.manufacturer_read = true;
    *serial = text;
    return true;
}

}  // namespace orbisk
