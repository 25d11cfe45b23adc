// The library's forwarding functions: each picks a transport of the open camera and passes
// the request on. The transport has logged the cause of any failure.
#include <cstring>

#include "camera/cam_lib.h"
#include "camera/config_descriptor.h"
#include "camera/orv_cam.h"

namespace orbisk {

CVendorCmdCommon* CamLib::XuOrGeneral(uint32_t options) {
    if (!camera_) return nullptr;
    if (options & kOptionForceExtUnit) {
        COrvCam* cam = orv();
        if (!cam) return nullptr;
        return lib_type_ == 0 ? cam->ExtUnit() : cam->KernelExtUnit(kExtUnitDirectShow);
    }
    return camera_->SelectCommandTransport();
}

CVendorCmdCommon* CamLib::ProxyXuOrGeneral(uint32_t options) {
    if (!camera_) return nullptr;
    if (options & kOptionForceExtUnit) {
        COrvCam* cam = orv();
        return cam ? cam->ExtUnit() : nullptr;
    }
    return camera_->SelectCommandTransport();
}

int CamLib::CamLib_ReadMem(uint64_t, uint32_t addr, uint32_t len, uint8_t* buf, uint32_t options) {
    CVendorCmdCommon* t = XuOrGeneral(options);
    return t && t->ReadMem(addr, len, buf, nullptr, nullptr) == kOk ? 1 : 0;
}

int CamLib::CamLib_WriteMem(uint64_t, uint32_t addr, uint32_t len, const uint8_t* buf,
                            uint32_t options) {
    CVendorCmdCommon* t = XuOrGeneral(options);
    return t && t->WriteMem(addr, len, buf, nullptr, nullptr) == kOk ? 1 : 0;
}

int CamLib::CamLib_GetDevStatus(uint64_t, uint8_t* out, uint32_t options, uint16_t first_record) {
    constexpr uint32_t kRecords = 104 / 8;
    if (first_record >= kRecords) return 0;
    CVendorCmdCommon* t = XuOrGeneral(options);
    // Never past the block's last record: a camera refuses an index it does not have.
    const uint32_t count = (kRecords - first_record) * 8;
    return t && t->GetDevStatus(first_record, out, count) == kOk ? 1 : 0;
}

int CamLib::CamLib_GetDevStatusRecords(uint64_t, uint16_t first_record, uint8_t* out,
                                       uint32_t count, uint32_t options) {
    CVendorCmdCommon* t = XuOrGeneral(options);
    return t && t->GetDevStatus(first_record, out, count) == kOk ? 1 : 0;
}

int CamLib::CamLib_ResetToRom(uint64_t) {
    CVendorCmdCommon* t = camera_ ? camera_->SelectCommandTransport() : nullptr;
    return t && t->ResetToRom() == kOk ? 1 : 0;
}

int CamLib::CamLib_SetPowerMipi(uint64_t, uint8_t state, uint32_t options) {
    CVendorCmdCommon* t = ProxyXuOrGeneral(options);
    return t && t->SetPowerMipi(state) == kOk ? 1 : 0;
}

int CamLib::CamLib_DevQualify(uint64_t) {
    CVendorCmdCommon* t = camera_ ? camera_->SelectExtUnitTransport(lib_type_) : nullptr;
    return t && t->DevQualify() ? 1 : 0;
}

int CamLib::CamLib_ProbeMipiBridge(uint64_t) {
    static constexpr uint8_t kBridge[8] = {'M', 'I', 'P', 'I', ' ', 'I', 'O', 0};
    static constexpr uint8_t kSimulation[8] = {'M', 'I', 'P', 'I', 'S', 'I', 'M', 0};
    CVendorCmdCommon* t = camera_ ? camera_->SelectExtUnitTransport(lib_type_) : nullptr;
    uint8_t status[32] = {};
    if (!t || t->GetDevStatus(0, status, sizeof status) != kOk) return 0;
    if (std::memcmp(status + 24, kBridge, 8) == 0) return 1;
    if (std::memcmp(status + 24, kSimulation, 8) == 0) return 2;
    return 0;
}

int CamLib::CamLib_HasBulkEndpoint(uint64_t) {
    if (lib_type_ != 0 || !camera_ || !camera_->capability()) return 0;
    return HasBulkEndpoint(camera_->capability()->config_descriptor) ? 1 : 0;
}

void CamLib::CamLib_NotifyDeviceArrival(uint64_t) {
    if (lib_type_ != 0) return;
    if (COrvCam* cam = orv()) cam->NotifyDeviceArrival();
}

}  // namespace orbisk
