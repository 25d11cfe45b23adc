#include "camera/cam_dev.h"

namespace orbisk {

CCamDev::CCamDev(std::unique_ptr<CameraDeviceRecord> record) : record_(std::move(record)) {
    CopyCapability();
}

CCamDev::~CCamDev() = default;

void CCamDev::CopyCapability() {
    has_capability_ = record_->capability != nullptr;
    if (has_capability_) capability_ = *record_->capability;
}

}  // namespace orbisk
