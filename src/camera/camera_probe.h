#pragma once
#include <cstdint>

#include "platform/result.h"

namespace orbisk {

// The requests the enumeration sends to a camera before a camera object exists: the probes of
// the two vendor-request generations and the extension-unit exchanges. The command layer
// implements them over the record's open device.
class CameraProbe {
public:
    virtual ~CameraProbe() = default;
    // Second-generation vendor read of status bytes from record `record` on.
    virtual HResult ReadStatusV2(uint8_t record, uint8_t* out, uint16_t length) = 0;
    // First-generation probe (request 6, one byte): true when the camera answers it.
    virtual bool ProbeV1() = 0;
    // The qualify exchange with extension unit `unit`.
    virtual bool QualifyExtUnit(uint8_t unit) = 0;
    // The 96 status bytes (records 0 to 11) through extension unit `unit`.
    virtual HResult ReadStatusExtUnit(uint8_t unit, uint8_t* out, uint16_t length) = 0;
    // A chip-memory read through extension unit `unit`.
    virtual HResult ReadMemExtUnit(uint8_t unit, uint16_t address, uint8_t* out,
                                   uint16_t length) = 0;
};

}  // namespace orbisk
