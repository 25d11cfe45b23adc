#include "camera/camera_records.h"

#include <cstring>

namespace orbisk {

const char* AccessTagText(AccessTag tag) {
    switch (tag) {
        case AccessTag::kProxy:
            return "OVCD";
        case AccessTag::kDirectShow:
            return "WOSD";
        case AccessTag::kMediaFound:
            return "ADFM";
        case AccessTag::kIpCamera:
            return "IPCD";
        case AccessTag::kNone:
            break;
    }
    return "";
}

bool CameraCapabilityRecord::HasSecondGenSignature() const {
    return std::memcmp(status.data() + 24, kSecondGenSignature, 8) == 0;
}

}  // namespace orbisk
