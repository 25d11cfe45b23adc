#include "base/status.h"

#include <algorithm>
#include <iterator>

#include "base/status_codes.h"

namespace orbisk {
namespace {

// Letter for letter as the program has always shown them, spelling included.
constexpr StatusEntry kTable[] = {
    {kStatusNotSupport, "Not Support!"},
    {41501, "Load ORV Lib Fail!"},
    {41502, "Load ORV Fun Fail!"},
    {kStatusDetectDeviceFail, "Detect Device Fail!"},
    {kStatusResetDeviceFail, "Reset Device Fail!"},
    {41513, "Detected more than one device!"},
    {kStatusLoadFileDataFail, "Load File Data Fail!"},
    {kStatusParseFwFileFail, "Parse FW File Fail!"},
    {41702, "Get Code Size Fail!"},
    {kStatusReadFlashFail, "Read Flash Fail!"},
    {kStatusEraseFlashFail, "Erase Flash Fail!"},
    {kStatusUpdateFail, "Update Flash Fail!"},
    {kStatusMallocFail, "Malloc Data Fail!"},
    {kStatusCompareFail, "Compare Data Fail!"},
    {kStatusDisableWpFail, "Disable Write Protect Fail!"},
    {kStatusEnableWpFail, "Enable Write Protect Fail!"},
    {kStatusWriteTagFail, "Write Tag Fail!"},
    {kStatusSaveSnFail, "Save SN Fail!"},
    {kStatusVidPidMismatch, "The Vid/Pid does not Match!"},
    {kStatusFirmwareNotForDevice, "Firmware is not for the device!"},
    {41716, "FW Version Error!"},
    {kStatusCheckEmptyFail, "Check Empty Fail!"},
    {kStatusStepWaitReset, "Wait device to reset"},
    {kStatusStepErasing, "Erasing"},
    {kStatusStepCheckEmpty, "Check empty"},
    {kStatusStepDownload, "Download"},
    {kStatusStepVerify, "Verify"},
    {kStatusStepWriteTag, "Write Tag"},
    {kStatusStepResetToNewCode, "Reset to new code"},
    {41725, "Get SN Length from Config Error!"},
    {41726, "SN Length Doesnot Match!"},
    {41727, "Sensor Ver Doesnot Match!"},
    {41728, "REV ID Doesnot MaTCH!"},
    {41729, "Vendor ID Doesnot Match!"},
    {41730, "Product ID Doesnot Match!"},
    {kStatusAccel6644Fail, "Accelerate 6644 Download Fail!"},
    {kStatusAccel6521Fail, "Accelerate 6521 Download Fail!"},
    {kStatusStepReadCrc, "Read CRC"},
    {kStatusStepCompareCrc, "Compare CRC"},
    {kStatusStepRead, "Read"},
    {kStatusWrittenNotFinished, "Firmware written and verified; run the update again to finish!"},
    {kStatusRecoveryRecordFail, "Write Recovery Record Fail!"},
    {kStatusReadSucceed, "Read Flash Code Succeed."},
    {kStatusEraseSucceed, "Erase Flash Code Succeed."},
    {kStatusUpdateSucceed, "Update Flash Code Succeed."},
    {41754, "Check Flash Data Succeed."},
    {kStatusDownloadSucceed, "Firmware Update Succeed."},
    {41756, "Show FW Ver."},
    {41801, "Load EEPROM Data Fail!"},
    {kStatusReadEepromFail, "Read EERPOM Fail!"},
    {kStatusEraseEepromFail, "Erase EEPROM Fail!"},
    {kStatusUpdateEepromFail, "Update EEPROM Data Fail!"},
    {kStatusReadEepromSucceed, "Read EEPROM Code Succeed."},
    {kStatusEraseEepromSucceed, "Erase EEPROM Code Succeed."},
    {kStatusUpdateEepromSucceed, "Update EEPROM Code Succeed."},
    {kStatusDownloadEepromSucceed, "Download EEPROM Code Succeed."},
    {41901, "Load MTP Data Fail!"},
    {kStatusReadMtpFail, "Read MTP Fail!"},
    {kStatusEraseMtpFail, "Erase MTP Fail!"},
    {kStatusUpdateMtpFail, "Update MTP Data Fail!"},
    {kStatusCannotEnterCache, "Can't Enter cache code!"},
    {kStatusDeviceInfoSucceed, "Check Device Info Succeed."},
    {41907, "Can't Enter rom code!"},
    {41908, "Can't find SFIN File!"},
    {kStatusReadMtpSucceed, "Read MTP Code Succeed."},
    {kStatusEraseMtpSucceed, "Erase MTP Code Succeed."},
    {kStatusUpdateMtpSucceed, "Update MTP Code Succeed."},
    {kStatusDownloadMtpSucceed, "Download MTP Code Succeed."},
    {kStatusOtpWriteFail, "Write OTP Fail!"},
    {41915, "Write OTP Block Fail!"},
    {kStatusOtpNotEnoughVd, "Not Enough VD Block"},
    {kStatusOtpExceedLength, "Code Exceed Max Length!"},
    {kStatusOtpLocked, "OTP Locked,Can't Program!"},
    {kStatusOtpErrorExceed, "Error Num Exceed 8!"},
    {41920, "Not Enough ECC NUM!"},
    {41921, "ECC Num become 0!"},
    {kStatusOtpReduantFail, "Reduant Fail!"},
    {kStatusOtpEccLower, "ECC Num lower than Error Num!"},
    {kStatusOtpNoVdBlock, "Not Find VDBlock!"},
    {kStatusOtpGetPartFail, "Get VD Code Fail!"},
    {41926, "Fail Address!"},
    {kStatusOtpWriteBlockFail, "Write Block Fail!"},
    {kStatusOtpReadFail, "Read OTP Fail!"},
    {kStatusOtpReadSucceed, "ReadOTP Succeed."},
    {kStatusOtpUpdateSucceed, "UpdateOTP Succeed."},
    {kStatusOtpDownloadSucceed, "DownloadOTP Succeed."},
    {41932, "AC Power is not plug in!"},
    {kStatusOtpCodeNotExist, "OTP Code Not Exist!"},
    {kStatusNotInRomMode, "Device is not in rom mode."},
    {kStatusNotInCacheMode, "Device is not in cache mode."},
    {41936, "FW Not Finish!"},
    {kStatusOtpLastWriteAbnormal, "Last OTP Write Abnormal!"},
    {kStatusOtpNotSupportErase, "OTP Not Support Erase"},
    {42000, "FF"},
    {42001, "EE"},
    {42002, "MTP"},
    {42003, "OTP"},
    {42010, "FLASH"},
    {42011, "EEPROM8"},
    {42012, "EEPROM16"},
    {42013, "MTP"},
    {42014, "OTP"},
    {42020, "USB"},
    {42021, "PCIE"},
    {42022, "MIPI"},
    {42040, "Depends on FW"},
    {42041, "Cann't find correct option"},
};

}  // namespace

std::string_view StatusText(uint32_t code) {
    auto it = std::lower_bound(std::begin(kTable), std::end(kTable), code,
                               [](const StatusEntry& e, uint32_t c) { return e.code < c; });
    if (it == std::end(kTable) || it->code != code) return {};
    return it->text;
}

const StatusEntry* StatusTable(size_t* count) {
    *count = std::size(kTable);
    return kTable;
}

bool StatusReporter::IsClearingCode(uint32_t code) {
    switch (code) {
        case 41751:
        case 41755:
        case 41851:
        case 41854:
        case 41910:
        case 41913:
        case 41931:
            return true;
        default:
            return false;
    }
}

uint32_t StatusReporter::ReportStatus(uint32_t kind, uint32_t code, intptr_t extra) {
    if (StatusSink* sink = sink_.load()) sink->Post(kind, code, extra);
    if (kind != kReportClose) code_.store(IsClearingCode(code) ? 0 : code);
    return 1;
}

bool StatusReporter::CheckCancel() const {
    const CThreadFlag* flag = cancel_.load();
    return flag != nullptr && flag->Cancel();
}

}  // namespace orbisk
