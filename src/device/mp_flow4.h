#pragma once
#include <cstdint>

#include "device/mp_flow2.h"

namespace orbisk {

// Boot targets of the reset step.
inline constexpr int kBootUpdateMode = 7;  // into the boot ROM, for an update
inline constexpr int kBootNewCode = 9;     // from the boot ROM into the code in memory

// Boot-mode switching: every reset goes through the library's reset-and-reconnect, which finds
// the camera again and hands back its new handle.
class CMpFlow4 : public CMpFlow2 {
  public:
    using CMpFlow2::CMpFlow2;

    int MP_ResetToCode(int target, uint8_t sub_mode);
    int MP_ResetToRomCode();
    int MP_OpenRomDevice();
    int MP_OpenFrontRomDevice();
    int MP_OpenRearRomDevice();
    int MP_OpenFrontRomFarrowDevice();
    int MP_OpenRearRomFarrowDevice();

  protected:
    // Opens the first enumeration index whose camera is the front (rear) one of a two-camera
    // module; false when none is.
    bool FindTarnCamera(bool rear);
    bool FindFarrowCamera(bool rear);
    int OpenRomFor(bool found, const char* scope_name, const char* not_found, uint32_t code);
};

}  // namespace orbisk
