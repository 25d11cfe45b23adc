#pragma once
#include <cstdint>

#include "platform/result.h"

namespace orbisk {

// The requests sent to a camera over its record's open device before a camera object exists
// (enumeration and the reset-and-reconnect): the driver-level extension-unit helpers and the
// vendor probes of both generations. The command layer implements them.
class CameraProbe {
  public:
    virtual ~CameraProbe() = default;
    // Extension-unit helpers; true on success.
    virtual bool ExtUnit_DevQualify(uint8_t unit) = 0;
    virtual bool ExtUnit_GetDevStatus(uint8_t unit, uint32_t count, uint8_t* out) = 0;
    virtual bool ExtUnit_ReadMem(uint8_t unit, uint16_t addr, uint16_t len, uint8_t* out) = 0;
    virtual bool ExtUnit_WriteMem(uint8_t unit, uint16_t addr, uint16_t len,
                                  const uint8_t* data) = 0;
    virtual bool ExtUnit_Reset(uint8_t unit, uint8_t value, uint8_t opcode) = 0;
    // Vendor requests.
    virtual HResult VendorProbeV1(uint16_t arg) = 0;
    virtual HResult VendorStatusV2(uint16_t record, uint32_t count, uint8_t* out) = 0;
    virtual HResult VendorReadMemV2(uint16_t addr, uint16_t len, uint8_t* out) = 0;
    virtual HResult VendorWriteMemV2(uint16_t addr, uint16_t len, const uint8_t* data) = 0;
    virtual HResult VendorResetV2(uint16_t value, uint8_t opcode) = 0;
    virtual HResult VendorResetV1(uint16_t value, uint8_t opcode) = 0;
};

}  // namespace orbisk
