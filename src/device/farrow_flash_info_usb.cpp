#include "device/farrow_flash_info_usb.h"

#include <string>

namespace orbisk {

namespace {

constexpr uint32_t kNotSupport = 41500;
constexpr uint32_t kResetDeviceFail = 41512;
constexpr uint32_t kLoadFail = 41530;
constexpr uint32_t kDownloadSucceed = 41755;

}  // namespace

int CFarrowFlashInfo_USB::CameraDownload(SensorSlot slot, bool last, LogScope& scope,
                                         bool& finished) {
    const bool front = slot == SensorSlot::kFront;
    const char* name = front ? "Front" : "Rear";
    int result = front ? MP_OpenFrontRomFarrowDevice() : MP_OpenRearRomFarrowDevice();
    if (!result) return 0;
    scope.Text("%sBegin to %s Camera Download\n", Logger::CurrentTimeText().c_str(), name);
    if (process_.ConfigInt(cfg::kSensorId) != 0) {
        // The sensor probe ID picks the module maker's folder; this build has no sensor-bus
        // read to take it from, so it refuses rather than guess a folder.
        scope.Section("Sensor ID read not supported\n");
        process_.Report(kReportFailure, kNotSupport);
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
    if (!GetFwFileForTarnAllInOneFarrow(selection, slot, 0, read_chip)) {
        scope.Text("Can't Find Suitable FW\n");
        process_.Report(kReportFailure, kResetDeviceFail);
        finished = true;
        return 0;
    }
    // The selection has loaded the chosen file into the slot.
    if (front) {
        read_length_ = static_cast<uint32_t>(images_.front.size());
        uint32_t code = kDownloadSucceed;
        if (!PreActionForAllInOne(code)) {
            process_.Report(kReportFailure, code);
            finished = true;
            return 0;
        }
    } else if (images_.rear.empty()) {
        process_.Report(kReportFailure, kLoadFail);
        return 0;
    }
    if (!Accelerate(scope)) return 0;
    result = FF_UpdateEx(front ? images_.front : images_.rear);
    if (result != 1) return result;
    process_.Report(kReportProgress, 100);
    if (last) process_.Report(kReportSuccess, kDownloadSucceed);
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
