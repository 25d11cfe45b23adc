#pragma once
#include "device/flash_info.h"

namespace orbisk {

// The default memory type: serial flash on USB, every operation as CFlashInfo defines it.
class CSPIFlashInfo_USB : public CFlashInfo {
  public:
    using CFlashInfo::CFlashInfo;
};

}  // namespace orbisk
