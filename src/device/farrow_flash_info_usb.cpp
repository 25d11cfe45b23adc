#include "device/farrow_flash_info_usb.h"

#include <string>

#include "base/status_codes.h"

namespace orbisk {

namespace {

// Bus addresses of the two sensors of a module on the controller's sensor bus.
constexpr uint8_t kFrontSensor = 0x6C;
constexpr uint8_t kRearSensor = 0x20;

}  // namespace

bool CFarrowFlashInfo_USB::ReadSensorWord(uint8_t bus_address, uint16_t reg, uint16_t* value) {
    uint8_t bytes[2] = {0, 0};
    if (!camlib_.CamLib_I2CLongRead(conn_.camera_handle, bus_address, reg, 2, bytes,
                                    conn_.command_options))
        return false;
    *value = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);  // high byte first
    return true;
}

bool CFarrowFlashInfo_USB::ReadSensorProbeId(SensorSlot slot, uint16_t* id) {
    const bool front = slot == SensorSlot::kFront;
    const uint16_t known = front ? kFrontLarkvaleProbeId : kRearLarkvaleProbeId;
    uint16_t value = 0;
    if (ReadSensorWord(front ? kFrontSensor : kRearSensor, 0x300A, &value) && value == known) {
        *id = value;
        return true;
    }
    // Another sensor answers elsewhere, always at the front sensor's address.
    if (!ReadSensorWord(kFrontSensor, front ? 0x0000 : 0x3000, &value)) return false;
    *id = value;
    return true;
}

int CFarrowFlashInfo_USB::CameraDownload(SensorSlot slot, bool last, LogScope& scope,
                                         bool& finished) {
    const bool front = slot == SensorSlot::kFront;
    const char* name = front ? "Front" : "Rear";
    int result = front ? MP_OpenFrontRomFarrowDevice() : MP_OpenRearRomFarrowDevice();
    if (!result) return 0;
    scope.Text("%sBegin to %s Camera Download\n", Logger::CurrentTimeText().c_str(), name);
    uint16_t& probe_id = sensor_probe_ids_[front ? 0 : 1];
    probe_id = 0;
    // The sensor's probe ID picks the module maker's folder: without it no folder is guessed.
    if (process_.ConfigInt(cfg::kSensorId) != 0 && !ReadSensorProbeId(slot, &probe_id)) {
        scope.Section("Read Sensor ID Fail\n");
        process_.Report(kReportFailure, kStatusResetDeviceFail);
        finished = true;
        return 0;
    }
    ImageSelection selection{process_,  profiles_, images_,
                             conn_.vid, conn_.pid, &texts_.chosen_image_path};
    selection.log = &scope;
    const auto read_chip = [this] {
        DEV_ReadChipIdentity();
        return conn_.chip_identity;
    };
    if (!GetFwFileForTarnAllInOneFarrow(selection, slot, probe_id, read_chip)) {
        scope.Text("Can't Find Suitable FW\n");
        process_.Report(kReportFailure, kStatusResetDeviceFail);
        finished = true;
        return 0;
    }
    // The selection has loaded the chosen file into the slot.
    if (front) {
        read_length_ = static_cast<uint32_t>(images_.front.size());
        uint32_t code = kStatusDownloadSucceed;
        if (!PreActionForAllInOne(code)) {
            process_.Report(kReportFailure, code);
            finished = true;
            return 0;
        }
    } else if (images_.rear.empty()) {
        process_.Report(kReportFailure, kStatusLoadFileDataFail);
        return 0;
    }
    if (!Accelerate(scope)) return 0;
    result = FF_UpdateEx(front ? images_.front : images_.rear);
    if (result != 1) return result;
    process_.Report(kReportProgress, 100);
    if (last) process_.Report(kReportSuccess, kStatusDownloadSucceed);
    scope.Text("%s%s Camera Download Finished\n", Logger::CurrentTimeText().c_str(), name);
    return result;
}

int CFarrowFlashInfo_USB::FFU_FarrowDownload() {
    LogScope scope(process_.logger, "CFarrowFlashInfo_USB::FFU_FarrowDownload");
    const int32_t cameras = process_.ConfigInt(cfg::kMultiCamera);
    int result = 0;
    bool finished = false;
    if (cameras & 0x01) {
        result = CameraDownload(SensorSlot::kFront, (cameras & 0x02) == 0, scope, finished);
        // An early return leaves the camera open, as the operator may want to look at it.
        if (finished) return result;
        if (result != 1) {
            MP_CloseDevice();
            return result;
        }
        MP_CloseDevice();
    }
    if (cameras & 0x02) {
        result = CameraDownload(SensorSlot::kRear, true, scope, finished);
        if (finished) return result;
    }
    MP_CloseDevice();
    return result;
}

}  // namespace orbisk
