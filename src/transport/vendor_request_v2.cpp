#include "transport/vendor_request_v2.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/logger.h"
#include "transport/driver_requests.h"
#include "transport/vendor_packing.h"

namespace orbisk {
namespace {
constexpr uint8_t kIn = kVendorInType;
constexpr uint8_t kOut = kVendorOutType;
}  // namespace

CVendorRequestV2::CVendorRequestV2(UsbDeviceHandle& device, Logger& logger)
    : device_(device), logger_(logger) {}

CVendorRequestV2::~CVendorRequestV2() = default;

HResult CVendorRequestV2::Send(uint8_t type_bits, uint8_t request, uint16_t value, uint16_t index,
                               const uint8_t* out_data, uint8_t* in_data, uint16_t length) {
    std::vector<uint8_t> copy;
    uint8_t* data = in_data;
    if (out_data != nullptr) {
        copy.assign(out_data, out_data + length);
        data = copy.data();
    }
    const HResult hr = VendorRequest(device_, type_bits, request, value, index, data, length);
    if (hr != kOk) logger_.DebugPrint("CVendorRequestV2 SendRequest failed: %08x\n", uint32_t(hr));
    return hr;
}

HResult CVendorRequestV2::Single(uint8_t type_bits, uint8_t request, uint8_t selector,
                                 uint32_t addr, uint32_t len, const uint8_t* out_data,
                                 uint8_t* in_data) {
    // One control transfer moves at most 0xFFFF bytes.
    if (len > 0xFFFF || !vendor::FitsPacking(addr, len)) return kInvalidArg;
    return Send(type_bits, request, vendor::PackedValue(addr, len, selector), uint16_t(addr),
                out_data, in_data, uint16_t(len));
}

HResult CVendorRequestV2::Pieces(uint8_t type_bits, uint8_t request, uint8_t selector,
                                 uint32_t addr, uint32_t len, const uint8_t* out_data,
                                 uint8_t* in_data, ProgressCallback progress, void* context) {
    return vendor::SendInPieces(
        kPiece, selector, addr, len, out_data, in_data, progress, context,
        [&](uint16_t value, uint16_t index, const uint8_t* out, uint8_t* in, uint16_t n) {
            return Send(type_bits, request, value, index, out, in, n);
        });
}

HResult CVendorRequestV2::Blank(uint8_t request, uint8_t selector, uint32_t len) {
    const std::vector<uint8_t> blank(len, 0xFF);
    return Pieces(kOut, request, selector, 0, len, blank.data(), nullptr, nullptr, nullptr);
}

// Identity, status and resets.

bool CVendorRequestV2::DevQualify() {
    static constexpr uint8_t kSignature[8] = {'Z', 'O', 'R', 'V', 'I', 'N', 'E', 0};
    uint8_t signature[8] = {};
    if (GetDevStatus(3, signature, 8) != kOk) return false;
    return std::memcmp(signature, kSignature, 8) == 0;
}

HResult CVendorRequestV2::GetDevStatus(uint16_t first, uint8_t* out, uint32_t count) {
    const uint32_t records = (count + 7) / 8;
    for (uint32_t i = 0; i < records; ++i) {
        uint8_t record[8] = {};
        const HResult hr = Send(kIn, 0x07, uint16_t(first + i), 0, nullptr, record, 8);
        if (hr != kOk) return hr;
        std::memcpy(out + i * 8, record, std::min<uint32_t>(8, count - i * 8));
    }
    return kOk;
}

HResult CVendorRequestV2::ResetToUpdateFW(uint16_t arg) {
    return Send(kOut, 0x20, arg & 0xFF, 0, nullptr, nullptr, 0);
}
HResult CVendorRequestV2::ResetToNewCode(uint16_t arg) {
    return Send(kOut, 0x21, arg & 0xFF, 0, nullptr, nullptr, 0);
}
HResult CVendorRequestV2::ResetToRom() {
    return Send(kOut, 0x22, 0, 0, nullptr, nullptr, 0);
}

// Memory and code access.

HResult CVendorRequestV2::ReadIMem(uint32_t addr, uint32_t len, uint8_t* buf,
                                   ProgressCallback progress, void* context) {
    return Pieces(kIn, 0x23, 0, addr, len, nullptr, buf, progress, context);
}
HResult CVendorRequestV2::ReadMem(uint32_t addr, uint32_t len, uint8_t* buf,
                                  ProgressCallback progress, void* context) {
    return Pieces(kIn, 0x25, 0, addr, len, nullptr, buf, progress, context);
}
HResult CVendorRequestV2::WriteMem(uint32_t addr, uint32_t len, const uint8_t* buf,
                                   ProgressCallback progress, void* context) {
    return Pieces(kOut, 0x24, 0, addr, len, buf, nullptr, progress, context);
}
HResult CVendorRequestV2::ReadCode(uint32_t addr, uint32_t len, uint8_t* buf,
                                   ProgressCallback progress, void* context) {
    return Pieces(kIn, 0x26, 0, addr, len, nullptr, buf, progress, context);
}
HResult CVendorRequestV2::ReadPhy(uint32_t addr, uint32_t len, uint8_t* buf) {
    return Single(kIn, 0x27, 0, addr, len, nullptr, buf);
}
HResult CVendorRequestV2::WritePhy(uint32_t addr, uint32_t len, const uint8_t* buf) {
    return Single(kOut, 0x28, 0, addr, len, buf, nullptr);
}

// NOR and serial flash.

HResult CVendorRequestV2::NorFlash_Erase() {
    return Send(kOut, 0x29, 0, 0, nullptr, nullptr, 0);
}
HResult CVendorRequestV2::NorFlash_WriteTag() {
    return Send(kOut, 0x2C, 0, 0, nullptr, nullptr, 0);
}
HResult CVendorRequestV2::NorFlash_Read(uint32_t addr, uint32_t len, uint8_t* buf,
                                        ProgressCallback progress, void* context) {
    return Pieces(kIn, 0x2B, 0, addr, len, nullptr, buf, progress, context);
}
HResult CVendorRequestV2::NorFlash_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                                         ProgressCallback progress, void* context) {
    return Pieces(kOut, 0x2A, 0, addr, len, buf, nullptr, progress, context);
}
HResult CVendorRequestV2::SPI_SF_ReadID(uint8_t* id) {
    return Send(kIn, 0x2D, 0, 0, nullptr, id, 8);
}
HResult CVendorRequestV2::SPI_SF_Read(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t mode,
                                      ProgressCallback progress, void* context) {
    return Pieces(kIn, 0x2E, mode, addr, len, nullptr, buf, progress, context);
}
HResult CVendorRequestV2::SPI_SF_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                                       ProgressCallback progress, void* context) {
    return Pieces(kOut, 0x2F, 0, addr, len, buf, nullptr, progress, context);
}
HResult CVendorRequestV2::SPI_SF_ReadSr(uint8_t* status) {
    return Send(kIn, 0x30, 0, 0, nullptr, status, 1);
}
HResult CVendorRequestV2::SPI_SF_WriteSr(uint8_t value) {
    return Send(kOut, 0x31, 0, 0, &value, nullptr, 1);
}
HResult CVendorRequestV2::SPI_SF_EraseChip(uint32_t) {
    return Send(kOut, 0x32, 0, 0, nullptr, nullptr, 0);
}
HResult CVendorRequestV2::SPI_SF_EraseSector(uint32_t addr, uint32_t sector_size) {
    // As on the extension unit: a misaligned address would erase data the caller did not name.
    if (sector_size == 0 || addr % sector_size != 0) return kInvalidArg;
    return Single(kOut, 0x33, 0, addr, 0, nullptr, nullptr);
}
HResult CVendorRequestV2::SPI_SF_WriteTag() {
    return Send(kOut, 0x34, 0, 0, nullptr, nullptr, 0);
}

// I2C EEPROM and MTP.

HResult CVendorRequestV2::I2C_EEP8_Read(uint32_t addr, uint32_t len, uint8_t* buf,
                                        ProgressCallback progress, void* context) {
    return Pieces(kIn, 0x35, 0, addr, len, nullptr, buf, progress, context);
}
HResult CVendorRequestV2::I2C_EEP8_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                                         ProgressCallback progress, void* context) {
    return Pieces(kOut, 0x36, 0, addr, len, buf, nullptr, progress, context);
}
HResult CVendorRequestV2::I2C_EEP16_Read(uint32_t addr, uint32_t len, uint8_t* buf,
                                         ProgressCallback progress, void* context) {
    return Pieces(kIn, 0x37, 0, addr, len, nullptr, buf, progress, context);
}
HResult CVendorRequestV2::I2C_EEP16_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                                          ProgressCallback progress, void* context) {
    return Pieces(kOut, 0x38, 0, addr, len, buf, nullptr, progress, context);
}
HResult CVendorRequestV2::I2C_EEP8_Erase(uint32_t len) {
    return Blank(0x36, 0, len);
}
HResult CVendorRequestV2::I2C_EEP16_Erase(uint32_t len) {
    return Blank(0x38, 0, len);
}

HResult CVendorRequestV2::MTP_ReadData(uint32_t addr, uint32_t len, uint8_t* buf,
                                       ProgressCallback progress, void* context) {
    return Pieces(kIn, 0x3B, 0, addr, len, nullptr, buf, progress, context);
}
HResult CVendorRequestV2::MTP_WriteData(uint32_t addr, uint32_t len, const uint8_t* buf,
                                        ProgressCallback progress, void* context) {
    return Pieces(kOut, 0x3C, 0, addr, len, buf, nullptr, progress, context);
}
HResult CVendorRequestV2::MTP_Read(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t,
                                   ProgressCallback progress, void* context) {
    return Pieces(kIn, 0x39, 0, addr, len, nullptr, buf, progress, context);
}
HResult CVendorRequestV2::MTP_Write(uint32_t addr, uint32_t len, const uint8_t* buf, uint8_t mode,
                                    ProgressCallback progress, void* context) {
    return Pieces(kOut, 0x3A, mode, addr, len, buf, nullptr, progress, context);
}
HResult CVendorRequestV2::MTP_Erase(uint32_t len) {
    const std::vector<uint8_t> blank(len, 0xFF);
    return MTP_Write(0, len, blank.data(), 3, nullptr, nullptr);
}
HResult CVendorRequestV2::MTP_WriteTag() {
    const uint8_t tag = 0xA5;
    return MTP_Write(1, 1, &tag, 3, nullptr, nullptr);
}

// Sensor I2C and image controls.

HResult CVendorRequestV2::I2CRead(uint8_t, uint32_t reg, uint16_t* value) {
    uint8_t bytes[2] = {};
    const HResult hr = Single(kIn, 0x50, 0, reg, 2, nullptr, bytes);
    if (hr == kOk) *value = uint16_t(bytes[0] | (bytes[1] << 8));
    return hr;
}
HResult CVendorRequestV2::I2CWrite(uint8_t, uint32_t reg, uint16_t value) {
    const uint8_t bytes[2] = {uint8_t(value), uint8_t(value >> 8)};
    return Single(kOut, 0x51, 0, reg, 2, bytes, nullptr);
}
HResult CVendorRequestV2::I2CGenRead(uint8_t addr, uint16_t len, uint8_t* buf) {
    return Single(kIn, 0x3D, 0, addr, len, nullptr, buf);
}
HResult CVendorRequestV2::I2CGenWrite(uint8_t addr, uint16_t len, const uint8_t* buf) {
    return Single(kOut, 0x3E, 0, addr, len, buf, nullptr);
}
HResult CVendorRequestV2::I2CRandomRead(uint8_t slave, uint16_t len, uint8_t* buf) {
    return Single(kIn, 0x59, 0, slave, len, nullptr, buf);
}
HResult CVendorRequestV2::I2CRandomWrite(uint8_t slave, uint16_t len, const uint8_t* buf) {
    return Single(kOut, 0x58, 0, slave, len, buf, nullptr);
}
HResult CVendorRequestV2::GetSensorImgDir(uint8_t* value) {
    return Send(kIn, 0x54, 0, 0, nullptr, value, 1);
}
HResult CVendorRequestV2::SetSensorImgDir(uint8_t value) {
    return Send(kOut, 0x53, value, 0, nullptr, nullptr, 0);
}
HResult CVendorRequestV2::GetSensorEffect(uint8_t* value) {
    return Send(kIn, 0x56, 0, 0, nullptr, value, 1);
}
HResult CVendorRequestV2::SetSensorEffect(uint8_t value) {
    return Send(kOut, 0x55, value, 0, nullptr, nullptr, 0);
}
HResult CVendorRequestV2::VendorWrite52(uint8_t value) {
    return Send(0x00, 0x52, 0, 0, &value, nullptr, 1);
}
HResult CVendorRequestV2::VendorReadE0(uint8_t* value) {
    return Send(kIn, 0xE0, 0, 0, nullptr, value, 1);
}
HResult CVendorRequestV2::VendorReadE1(uint8_t* value) {
    return Send(kIn, 0xE1, 0, 0, nullptr, value, 1);
}
HResult CVendorRequestV2::VendorReadE2(uint8_t* value) {
    return Send(kIn, 0xE2, 0, 0, nullptr, value, 1);
}

// Own operations.

HResult CVendorRequestV2::ReadVendorByte(uint8_t* value) {
    return Send(kIn, 0x06, 0, 0, nullptr, value, 1);
}
HResult CVendorRequestV2::WriteVendorByte(uint8_t value) {
    return Send(kOut, 0x10, value, 0, nullptr, nullptr, 0);
}
HResult CVendorRequestV2::VendorRead42(uint32_t addr, uint16_t len, uint8_t* buf) {
    return Send(kIn, 0x42, uint16_t(((addr >> 16) & 0xFF) << 8), uint16_t(addr), nullptr, buf, len);
}
HResult CVendorRequestV2::VendorWrite41(uint32_t addr, uint16_t len, const uint8_t* buf) {
    return Send(kOut, 0x41, uint16_t(((addr >> 16) & 0xFF) << 8), uint16_t(addr), buf, nullptr,
                len);
}
HResult CVendorRequestV2::VendorRead40(uint32_t addr, uint16_t len, uint8_t* buf) {
    return Send(kIn, 0x40, uint16_t(((addr >> 16) & 0xFF) << 8), uint16_t(addr), nullptr, buf, len);
}
HResult CVendorRequestV2::VendorWrite3F(uint16_t len, const uint8_t* buf) {
    return Send(kOut, 0x3F, 0, 0, buf, nullptr, len);
}
HResult CVendorRequestV2::VendorCommand43() {
    return Send(kOut, 0x43, 0, 0, nullptr, nullptr, 0);
}

}  // namespace orbisk
