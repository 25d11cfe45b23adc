#include "transport/vendor_request_v1.h"

#include <algorithm>
#include <vector>

#include "base/logger.h"
#include "transport/driver_requests.h"
#include "transport/vendor_packing.h"

namespace orbisk {

HResult CVendorRequestV1::Send(uint8_t type_bits, uint8_t request, uint16_t value, uint16_t index,
                               const uint8_t* out_data, uint8_t* in_data, uint16_t length) {
    std::vector<uint8_t> copy;
    uint8_t* data = in_data;
    if (out_data != nullptr) {
        copy.assign(out_data, out_data + length);
        data = copy.data();
    }
    const HResult hr = VendorRequest(device(), type_bits, request, value, index, data, length);
    if (hr != kOk) logger().DebugPrint("CVendorRequestV1 SendRequest failed: %08x\n", uint32_t(hr));
    return hr;
}

HResult CVendorRequestV1::Pieces(uint8_t type_bits, uint8_t request, uint8_t selector,
                                 uint32_t addr, uint32_t len, const uint8_t* out_data,
                                 uint8_t* in_data, ProgressCallback progress, void* context) {
    return vendor::SendInPieces(
        kPiece, selector, addr, len, out_data, in_data, progress, context,
        [&](uint16_t value, uint16_t index, const uint8_t* out, uint8_t* in, uint16_t n) {
            return Send(type_bits, request, value, index, out, in, n);
        });
}

HResult CVendorRequestV1::ResetToUpdateFW(uint16_t arg) {
    return Send(kVendorOutType, 0x01, arg & 0xFF, 7, nullptr, nullptr, 0);
}
HResult CVendorRequestV1::ResetToNewCode(uint16_t arg) {
    return Send(kVendorOutType, 0x01, arg & 0xFF, 8, nullptr, nullptr, 0);
}
HResult CVendorRequestV1::ResetToRom() {
    return Send(kVendorOutType, 0x01, 0, 9, nullptr, nullptr, 0);
}
HResult CVendorRequestV1::NorFlash_Erase() {
    return Send(kVendorOutType, 0x02, 1, 0, nullptr, nullptr, 0);
}
HResult CVendorRequestV1::SPI_SF_EraseChip(uint32_t) {
    return Send(kVendorOutType, 0x02, 0, 0, nullptr, nullptr, 0);
}
HResult CVendorRequestV1::NorFlash_WriteTag() {
    return Send(kVendorOutType, 0x03, 1, 0, nullptr, nullptr, 0);
}
HResult CVendorRequestV1::SPI_SF_WriteTag() {
    return Send(kVendorOutType, 0x03, 0, 0, nullptr, nullptr, 0);
}

HResult CVendorRequestV1::NorFlash_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                                         ProgressCallback progress, void* context) {
    return Pieces(kVendorOutType, 0x04, 1, addr, len, buf, nullptr, progress, context);
}
HResult CVendorRequestV1::SPI_SF_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                                       ProgressCallback progress, void* context) {
    return Pieces(kVendorOutType, 0x04, 0, addr, len, buf, nullptr, progress, context);
}
HResult CVendorRequestV1::NorFlash_Read(uint32_t addr, uint32_t len, uint8_t* buf,
                                        ProgressCallback progress, void* context) {
    return Pieces(kVendorInType, 0x05, 1, addr, len, nullptr, buf, progress, context);
}
HResult CVendorRequestV1::SPI_SF_Read(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t,
                                      ProgressCallback progress, void* context) {
    return Pieces(kVendorInType, 0x05, 0, addr, len, nullptr, buf, progress, context);
}

// The full 32-bit address: bits 16-31 in wValue.
HResult CVendorRequestV1::SPI_SF_ReadAlt(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t,
                                         ProgressCallback progress, void* context) {
    if (len > UINT32_MAX - addr) return kInvalidArg;
    for (uint32_t done = 0; done < len;) {
        const uint32_t piece = std::min(len - done, kPiece);
        const uint32_t at = addr + done;
        const HResult hr = Send(kVendorInType, 0x4D, uint16_t(at >> 16), uint16_t(at), nullptr,
                                buf + done, uint16_t(piece));
        if (hr != kOk) return hr;
        done += piece;
        if (progress != nullptr) progress(context, piece);
    }
    return kOk;
}

HResult CVendorRequestV1::I2CLongRead(uint16_t slave, uint16_t reg, uint32_t len, uint8_t* buf,
                                      ProgressCallback progress, void* context) {
    constexpr uint32_t kLongPiece = 64;
    for (uint32_t done = 0; done < len;) {
        const uint32_t piece = std::min(len - done, kLongPiece);
        const HResult hr = Send(kVendorInType, 0x44, slave, uint16_t(reg + done), nullptr,
                                buf + done, uint16_t(piece));
        if (hr != kOk) return hr;
        done += piece;
        if (progress != nullptr) progress(context, piece);
    }
    return kOk;
}

HResult CVendorRequestV1::I2CLongWrite(uint16_t slave, uint16_t reg, uint32_t piece_size,
                                       uint32_t len, const uint8_t* buf, ProgressCallback progress,
                                       void* context) {
    if (piece_size == 0 || piece_size > 0xFFFF) return kInvalidArg;
    for (uint32_t done = 0; done < len;) {
        const uint32_t piece = std::min(len - done, piece_size);
        auto index = uint16_t(reg + done);
        if (done + piece == len) index &= 0x7FFF;
        const HResult hr =
            Send(kVendorOutType, 0x45, slave, index, buf + done, nullptr, uint16_t(piece));
        if (hr != kOk) return hr;
        done += piece;
        if (progress != nullptr) progress(context, piece);
    }
    return kOk;
}

HResult CVendorRequestV1::VendorCommand4F() {
    return Send(kVendorOutType, 0x4F, 0, 0, nullptr, nullptr, 0);
}

HResult CVendorRequestV1::ReadVendorByte(uint8_t* value) {
    return Send(kVendorInType, 0x06, 0, 0, nullptr, value, 1);
}

HResult CVendorRequestV1::WriteVendorByte(uint8_t value) {
    return Send(kVendorOutType, 0x10, value, 0, nullptr, nullptr, 0);
}

}  // namespace orbisk
