// IP cameras in the function library: opened by enumeration index after the USB cameras.
#include "camera/cam_lib.h"
#include "camera/capabilities.h"
#include "camera/orv_cam.h"
#include "transport/ip_cam_vendor_cmd.h"

namespace orbisk {
namespace {
// Handles of IP cameras: bus byte 0, which no USB device has, and the position plus one.
constexpr uint64_t kIpCameraHandleBase = 0x0000495000000000ull;
}  // namespace

void CamLib::CamLib_SetIpCameras(std::vector<std::string> addresses) {
    ip_addresses_ = std::move(addresses);
}

uint64_t CamLib::OpenIpCamera(size_t position) {
    auto record = std::make_unique<CameraDeviceRecord>();
    if (factory_.BuildIpCameraRecord(ip_addresses_[position], record.get()) != 0) return 0;
    record->node_handle = kIpCameraHandleBase + position + 1;
    if (!FillCapabilities(record.get(), nullptr, true)) return 0;
    const uint64_t handle = record->node_handle;
    camera_ = std::make_unique<COrvCam>(std::move(record), factory_);
    // An IP camera qualifies by answering on its connection; without a transport it is none.
    if (CamLib_IpCamera() == nullptr) {
        camera_.reset();
        return 0;
    }
    handle_ = handle;
    return handle_;
}

CIpCamVendorCmd* CamLib::CamLib_IpCamera() {
    COrvCam* cam = orv();
    return cam ? dynamic_cast<CIpCamVendorCmd*>(cam->IpCamera()) : nullptr;
}

HResult CamLib::CamLib_IpCamSendFile(uint64_t, const std::string& path, ProgressCallback progress,
                                     void* context) {
    CIpCamVendorCmd* ip = CamLib_IpCamera();
    if (ip == nullptr) return kFail;
    return ip->SendFile(path.c_str(), progress, context);
}

}  // namespace orbisk
