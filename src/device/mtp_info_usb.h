#pragma once
#include "device/mtp_info.h"

namespace orbisk {

// MTP on USB: every operation as CMTPInfo defines it.
class CMTPInfo_USB : public CMTPInfo {
  public:
    using CMTPInfo::CMTPInfo;
};

}  // namespace orbisk
