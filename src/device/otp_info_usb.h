#pragma once
#include "device/otp_info.h"

namespace orbisk {

// OTP on USB: every operation as COTPInfo defines it.
class COTPInfo_USB : public COTPInfo {
  public:
    using COTPInfo::COTPInfo;
};

}  // namespace orbisk
