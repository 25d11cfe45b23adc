// The library's memory functions: serial flash, NOR flash, EEPROM, MTP, OTP, sensor I2C and
// the data-control size. Each picks its transport as the library's table says.
#include <vector>

#include "camera/cam_lib.h"
#include "camera/orv_cam.h"
#include "transport/ext_unit_base.h"

namespace orbisk {
namespace {

int Ok(HResult result) {
    return result == kOk ? 1 : 0;
}

}  // namespace

CVendorCmdCommon* CamLib::ExtUnitOrSelected(uint32_t options) {
    if (!camera_) return nullptr;
    if (options & kOptionForceExtUnit) return XuOrGeneral(options);
    return camera_->SelectExtUnitTransport(lib_type_);
}

int CamLib::CamLib_SPI_SF_ReadID(uint64_t, uint8_t* id, uint32_t options) {
    auto* t = XuOrGeneral(options);
    return t ? Ok(t->SPI_SF_ReadID(id)) : 0;
}
int CamLib::CamLib_SPI_SF_ReadSr(uint64_t, uint8_t* status, uint32_t options) {
    auto* t = XuOrGeneral(options);
    return t ? Ok(t->SPI_SF_ReadSr(status)) : 0;
}
int CamLib::CamLib_SPI_SF_WriteSr(uint64_t, uint8_t value, uint32_t options) {
    auto* t = XuOrGeneral(options);
    return t ? Ok(t->SPI_SF_WriteSr(value)) : 0;
}
int CamLib::CamLib_SPI_SF_EraseChip(uint64_t, uint32_t options) {
    auto* t = XuOrGeneral(options);
    return t ? Ok(t->SPI_SF_EraseChip(0)) : 0;
}
int CamLib::CamLib_SPI_SF_Read(uint64_t, uint32_t addr, uint32_t len, uint8_t* buf,
                               ProgressCallback progress, void* context, uint32_t options) {
    auto* t = XuOrGeneral(options);
    return t ? Ok(t->SPI_SF_Read(addr, len, buf, 0, progress, context)) : 0;
}
int CamLib::CamLib_SPI_SF_Write(uint64_t, uint32_t addr, uint32_t len, const uint8_t* buf,
                                ProgressCallback progress, void* context, uint32_t options) {
    auto* t = XuOrGeneral(options);
    return t ? Ok(t->SPI_SF_Write(addr, len, buf, progress, context)) : 0;
}
int CamLib::CamLib_SPI_SF_WriteTag(uint64_t, uint32_t options) {
    auto* t = ProxyXuOrGeneral(options);
    return t ? Ok(t->SPI_SF_WriteTag()) : 0;
}
int CamLib::CamLib_NorFlash_Erase(uint64_t, uint32_t options) {
    auto* t = ProxyXuOrGeneral(options);
    return t ? Ok(t->NorFlash_Erase()) : 0;
}
int CamLib::CamLib_NorFlash_Write(uint64_t, uint32_t addr, uint32_t len, const uint8_t* buf,
                                  uint32_t options) {
    auto* t = ProxyXuOrGeneral(options);
    return t ? Ok(t->NorFlash_Write(addr, len, buf, nullptr, nullptr)) : 0;
}
int CamLib::CamLib_NorFlash_WriteTag(uint64_t, uint32_t options) {
    auto* t = ProxyXuOrGeneral(options);
    return t ? Ok(t->NorFlash_WriteTag()) : 0;
}
int CamLib::CamLib_I2C_EEP8_Read(uint64_t, uint32_t addr, uint32_t len, uint8_t* buf,
                                 uint32_t options) {
    auto* t = ProxyXuOrGeneral(options);
    return t ? Ok(t->I2C_EEP8_Read(addr, len, buf, nullptr, nullptr)) : 0;
}
int CamLib::CamLib_I2C_EEP8_Write(uint64_t, uint32_t addr, uint32_t len, const uint8_t* buf,
                                  uint32_t options) {
    auto* t = ProxyXuOrGeneral(options);
    return t ? Ok(t->I2C_EEP8_Write(addr, len, buf, nullptr, nullptr)) : 0;
}
int CamLib::CamLib_I2C_EEP8_WriteTag(uint64_t, uint32_t options) {
    auto* t = ProxyXuOrGeneral(options);
    return t ? Ok(t->I2C_EEP8_WriteTag()) : 0;
}
int CamLib::CamLib_I2C_EEP8_Erase(uint64_t, uint32_t len, uint32_t options) {
    auto* t = ProxyXuOrGeneral(options);
    return t ? Ok(t->I2C_EEP8_Erase(len)) : 0;
}
int CamLib::CamLib_I2C_EEP16_Read(uint64_t, uint32_t addr, uint32_t len, uint8_t* buf,
                                  ProgressCallback progress, void* context, uint32_t options) {
    auto* t = ExtUnitOrSelected(options);
    return t ? Ok(t->I2C_EEP16_Read(addr, len, buf, progress, context)) : 0;
}
int CamLib::CamLib_I2C_EEP16_Write(uint64_t, uint32_t addr, uint32_t len, const uint8_t* buf,
                                   ProgressCallback progress, void* context, uint32_t options) {
    auto* t = ExtUnitOrSelected(options);
    return t ? Ok(t->I2C_EEP16_Write(addr, len, buf, progress, context)) : 0;
}
int CamLib::CamLib_I2C_EEP16_WriteTag(uint64_t, uint32_t options) {
    auto* t = ExtUnitOrSelected(options);
    return t ? Ok(t->I2C_EEP16_WriteTag()) : 0;
}
int CamLib::CamLib_I2C_EEP16_Erase(uint64_t, uint32_t len, uint32_t options) {
    auto* t = ExtUnitOrSelected(options);
    if (!t) return 0;
    // An erased EEPROM reads 0xFF: the erase is a write of len such bytes from address 0.
    const std::vector<uint8_t> blank(len, 0xFF);
    return Ok(t->I2C_EEP16_Write(0, len, blank.data(), nullptr, nullptr));
}
int CamLib::CamLib_I2CLongRead(uint64_t, uint16_t slave, uint16_t reg, uint32_t len, uint8_t* buf,
                               uint32_t options) {
    auto* t = ProxyXuOrGeneral(options);
    return t ? Ok(t->I2CLongRead(slave, reg, len, buf, nullptr, nullptr)) : 0;
}
int CamLib::CamLib_ReadCode(uint64_t, uint32_t addr, uint32_t len, uint8_t* buf) {
    auto* t = camera_ ? camera_->SelectCommandTransport() : nullptr;
    return t ? Ok(t->ReadCode(addr, len, buf, nullptr, nullptr)) : 0;
}
int CamLib::CamLib_MTP_Read(uint64_t, uint32_t addr, uint32_t len, uint8_t* buf,
                            ProgressCallback progress, void* context) {
    auto* t = camera_ ? camera_->SelectCommandTransport() : nullptr;
    return t ? Ok(t->MTP_Read(addr, len, buf, 0, progress, context)) : 0;
}
int CamLib::CamLib_MTP_Write(uint64_t, uint32_t addr, uint32_t len, const uint8_t* buf,
                             ProgressCallback progress, void* context) {
    auto* t = camera_ ? camera_->SelectCommandTransport() : nullptr;
    return t ? Ok(t->MTP_Write(addr, len, buf, 3, progress, context)) : 0;
}
int CamLib::CamLib_MTP_Erase(uint64_t, uint32_t len) {
    auto* t = camera_ ? camera_->SelectCommandTransport() : nullptr;
    return t ? Ok(t->MTP_Erase(len)) : 0;
}
int CamLib::CamLib_MTP_WriteTag(uint64_t) {
    auto* t = camera_ ? camera_->SelectCommandTransport() : nullptr;
    return t ? Ok(t->MTP_WriteTag()) : 0;
}
int CamLib::CamLib_OTP_Write(uint64_t, uint16_t addr, uint16_t bank, uint16_t len,
                             const uint8_t* buf, uint32_t, uint32_t) {
    auto* t = camera_ ? camera_->SelectExtUnitTransport(lib_type_) : nullptr;
    if (!t) return 0;
    const HResult result = t->OTP_Write(addr, len, bank, buf, 0, 0);
    if (auto* unit = dynamic_cast<CExtUnitBase*>(t)) last_otp_status_ = unit->GetLastCmdStatus();
    return Ok(result);
}
int CamLib::CamLib_OTP_Read(uint64_t, uint16_t addr, uint16_t len, uint8_t* buf, uint32_t,
                            uint32_t) {
    auto* t = camera_ ? camera_->SelectExtUnitTransport(lib_type_) : nullptr;
    return t ? Ok(t->OTP_Read(addr, len, buf, 0, 0)) : 0;
}
int CamLib::CamLib_OTP_ReadProgramFailAdr(uint64_t, uint16_t len, uint8_t* buf) {
    auto* t = camera_ ? camera_->SelectExtUnitTransport(lib_type_) : nullptr;
    return t ? Ok(t->OTP_ReadProgramFailAdr(len, buf)) : 0;
}
int CamLib::CamLib_ChangeDataControlSize(uint64_t, uint16_t* size) {
    COrvCam* cam = orv();
    const CameraCapabilityRecord* cap = cam ? cam->capability() : nullptr;
    if (!cap) return 0;
    CVendorCmdCommon* t = nullptr;
    if (cap->ext_unit_access == kExtUnitMediaFound)
        t = cam->KernelExtUnit(kExtUnitMediaFound);
    else if (cap->ext_unit_access != kExtUnitNone && cam->ExtUnit())
        t = cam->ExtUnit();
    else if (cap->ext_unit_access == kExtUnitDirectShow)
        t = cam->KernelExtUnit(kExtUnitDirectShow);
    auto* unit = dynamic_cast<CExtUnitBase*>(t);
    return unit && unit->ChangeDataControlSize(size) ? 1 : 0;
}
int CamLib::CamLib_DataInPackets(uint64_t, uint32_t options) {
    return dynamic_cast<CExtUnitBase*>(XuOrGeneral(options)) ? 1 : 0;
}
int CamLib::CamLib_ReadDeviceProperties(uint64_t, int flag, uint8_t* out, uint32_t options) {
    COrvCam* cam = orv();
    if (!cam) return 0;
    CVendorCmdCommon* t = nullptr;
    if (flag || (options & kOptionForceExtUnit)) {
        t = cam->ExtUnit();
    } else {
        const CameraCapabilityRecord* cap = cam->capability();
        // The first transport the camera object holds, in the object's own order.
        for (CVendorCmdCommon* candidate :
             {cam->KernelExtUnitIfMade(kExtUnitDirectShow),
              cam->KernelExtUnitIfMade(kExtUnitMediaFound), cam->IpCamera(), cam->IntelMipiHost(),
              cam->Mipi(), cap && cap->vendor_gen2 ? cam->VendorV2() : nullptr,
              cap && cap->vendor_gen1 ? cam->VendorV1() : nullptr,
              cap && cap->ext_unit_access != kExtUnitNone ? cam->ExtUnit() : nullptr}) {
            if (candidate) {
                t = candidate;
                break;
            }
        }
    }
    return t ? Ok(t->GetDevStatus(0, out, 104)) : 0;
}

}  // namespace orbisk
