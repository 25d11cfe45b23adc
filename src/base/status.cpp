#include "base/status.h"

#include <algorithm>
#include <iterator>

namespace orbisk {
namespace {

// Letter for letter as the program has always shown them, spelling included.
constexpr StatusEntry kTable[] = {
    {41500, "Not Support!"},
    {41501, "Load ORV Lib Fail!"},
    {41502, "Load ORV Fun Fail!"},
    {41511, "Detect Device Fail!"},
    {41512, "Reset Device Fail!"},
    {41513, "Detected more than one device!"},
    {41530, "Load File Data Fail!"},
    {41531, "Parse FW File Fail!"},
    {41702, "Get Code Size Fail!"},
    {41704, "Read Flash Fail!"},
    {41705, "Erase Flash Fail!"},
    {41706, "Update Flash Fail!"},
    {41708, "Malloc Data Fail!"},
    {41709, "Compare Data Fail!"},
    {41710, "Disable Write Protect Fail!"},
    {41711, "Enable Write Protect Fail!"},
    {41712, "Write Tag Fail!"},
    {41713, "Save SN Fail!"},
    {41714, "The Vid/Pid does not Match!"},
    {41715, "Firmware is not for the device!"},
    {41716, "FW Version Error!"},
    {41717, "Check Empty Fail!"},
    {41718, "Wait device to reset"},
    {41719, "Erasing"},
    {41720, "Check empty"},
    {41721, "Download"},
    {41722, "Verify"},
    {41723, "Write Tag"},
    {41724, "Reset to new code"},
    {41725, "Get SN Length from Config Error!"},
    {41726, "SN Length Doesnot Match!"},
    {41727, "Sensor Ver Doesnot Match!"},
    {41728, "REV ID Doesnot MaTCH!"},
    {41729, "Vendor ID Doesnot Match!"},
    {41730, "Product ID Doesnot Match!"},
    {41731, "Accelerate 6644 Download Fail!"},
    {41732, "Accelerate 6521 Download Fail!"},
    {41733, "Read CRC"},
    {41734, "Compare CRC"},
    {41735, "Read"},
    {41736, "Firmware written and verified; run the update again to finish!"},
    {41737, "Write Recovery Record Fail!"},
    {41751, "Read Flash Code Succeed."},
    {41752, "Erase Flash Code Succeed."},
    {41753, "Update Flash Code Succeed."},
    {41754, "Check Flash Data Succeed."},
    {41755, "Firmware Update Succeed."},
    {41756, "Show FW Ver."},
    {41801, "Load EEPROM Data Fail!"},
    {41802, "Read EERPOM Fail!"},
    {41803, "Erase EEPROM Fail!"},
    {41804, "Update EEPROM Data Fail!"},
    {41851, "Read EEPROM Code Succeed."},
    {41852, "Erase EEPROM Code Succeed."},
    {41853, "Update EEPROM Code Succeed."},
    {41854, "Download EEPROM Code Succeed."},
    {41901, "Load MTP Data Fail!"},
    {41902, "Read MTP Fail!"},
    {41903, "Erase MTP Fail!"},
    {41904, "Update MTP Data Fail!"},
    {41905, "Can't Enter cache code!"},
    {41906, "Check Device Info Succeed."},
    {41907, "Can't Enter rom code!"},
    {41908, "Can't find SFIN File!"},
    {41910, "Read MTP Code Succeed."},
    {41911, "Erase MTP Code Succeed."},
    {41912, "Update MTP Code Succeed."},
    {41913, "Download MTP Code Succeed."},
    {41914, "Write OTP Fail!"},
    {41915, "Write OTP Block Fail!"},
    {41916, "Not Enough VD Block"},
    {41917, "Code Exceed Max Length!"},
    {41918, "OTP Locked,Can't Program!"},
    {41919, "Error Num Exceed 8!"},
    {41920, "Not Enough ECC NUM!"},
    {41921, "ECC Num become 0!"},
    {41922, "Reduant Fail!"},
    {41923, "ECC Num lower than Error Num!"},
    {41924, "Not Find VDBlock!"},
    {41925, "Get VD Code Fail!"},
    {41926, "Fail Address!"},
    {41927, "Write Block Fail!"},
    {41928, "Read OTP Fail!"},
    {41929, "ReadOTP Succeed."},
    {41930, "UpdateOTP Succeed."},
    {41931, "DownloadOTP Succeed."},
    {41932, "AC Power is not plug in!"},
    {41933, "OTP Code Not Exist!"},
    {41934, "Device is not in rom mode."},
    {41935, "Device is not in cache mode."},
    {41936, "FW Not Finish!"},
    {41937, "Last OTP Write Abnormal!"},
    {41938, "OTP Not Support Erase"},
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
