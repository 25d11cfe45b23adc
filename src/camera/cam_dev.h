#pragma once
#include <memory>

#include "camera/camera_records.h"

namespace orbisk {

class CVendorCmdCommon;

// A camera the library holds open. The plain object has no transports and fails every
// command; COrvCam adds them for the maker's cameras.
class CCamDev {
  public:
    explicit CCamDev(std::unique_ptr<CameraDeviceRecord> record);
    virtual ~CCamDev();
    CCamDev(const CCamDev&) = delete;
    CCamDev& operator=(const CCamDev&) = delete;

    CameraDeviceRecord& record() { return *record_; }
    const CameraDeviceRecord& record() const { return *record_; }
    // The copy of the capability record taken at construction or the last refresh; null when
    // the record had none.
    const CameraCapabilityRecord* capability() const {
        return has_capability_ ? &capability_ : nullptr;
    }

    // A reconnect found the camera again under a new record.
    void ReplaceRecord(std::unique_ptr<CameraDeviceRecord> record) {
        record_ = std::move(record);
        CopyCapability();
    }

    // Transport choices; the plain object has none.
    virtual CVendorCmdCommon* SelectCommandTransport() { return nullptr; }
    virtual CVendorCmdCommon* SelectExtUnitTransport(int /*lib_type*/) { return nullptr; }

  protected:
    void CopyCapability();

    std::unique_ptr<CameraDeviceRecord> record_;
    CameraCapabilityRecord capability_;
    bool has_capability_ = false;
};

}  // namespace orbisk
