#include "device/tarn_flash_info_usb.h"

namespace orbisk {

int CTarnFlashInfo_USB::Download() {
    LogScope scope(process_.logger, "CTarnFlashInfo_USB::FFU_TarnDownload");
    scope.Text("Begin to Front Camera Download\n");
    int result = MP_OpenFrontRomDevice();
    if (result) result = Accelerate(scope) ? 1 : 0;
    if (result) result = FF_UpdateEx(images_.front);
    if (result == 1) {
        process_.Report(kReportProgress, 100);
        MP_CloseDevice();
        scope.Text("Front Camera Download Finished\n");
        scope.Text("Begin to Rear Camera Download\n");
        result = MP_OpenRearRomDevice();
        if (result) result = Accelerate(scope) ? 1 : 0;
        if (result) result = FF_UpdateEx(images_.rear);
        if (result == 1) {
            process_.Report(kReportProgress, 100);
            process_.Report(kReportSuccess, 41755);
        }
        if (result) scope.Text("Rear Camera Download Finished\n");
    }
    MP_CloseDevice();
    return result;
}

}  // namespace orbisk
