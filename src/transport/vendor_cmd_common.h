#pragma once
// Interim subset of the command interface that the camera layer calls; the command layer's
// own header replaces this file when it lands (same names, same signatures).
#include <cstdint>

#include "platform/result.h"

namespace orbisk {

using ProgressCallback = void (*)(void* context, uint32_t bytes);

class CVendorCmdCommon {
public:
    virtual ~CVendorCmdCommon() = default;
    virtual bool DevQualify() { return false; }
    virtual HResult GetDevStatus(uint16_t, uint8_t*, uint32_t) { return kNotImpl; }
    virtual HResult ResetToUpdateFW(uint16_t) { return kNotImpl; }
    virtual HResult ResetToRom() { return kNotImpl; }
    virtual HResult ReadMem(uint32_t, uint32_t, uint8_t*, ProgressCallback, void*) {
        return kNotImpl;
    }
    virtual HResult WriteMem(uint32_t, uint32_t, const uint8_t*, ProgressCallback, void*) {
        return kNotImpl;
    }
    virtual HResult SetPowerMipi(uint8_t) { return kNotImpl; }
    virtual HResult ProbeMipiIO() { return kNotImpl; }
};

}  // namespace orbisk
