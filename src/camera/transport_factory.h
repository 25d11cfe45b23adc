#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "camera/camera_probe.h"
#include "camera/camera_records.h"
#include "transport/vendor_cmd_common.h"

namespace orbisk {

// Makes the command transports of a camera object and the pre-object requests of a record.
// The command layer provides the real one; each Create returns null when the transport cannot
// be made for that camera (the caller then goes without it).
class TransportFactory {
  public:
    virtual ~TransportFactory() = default;
    // Requests over the record's open device; null when the record has none.
    virtual std::unique_ptr<CameraProbe> CreateProbe(CameraDeviceRecord& record) = 0;
    virtual std::unique_ptr<CVendorCmdCommon> CreateExtUnit(CameraDeviceRecord& record,
                                                            uint8_t unit_id) = 0;
    virtual std::unique_ptr<CVendorCmdCommon> CreateVendorRequestV1(CameraDeviceRecord& record,
                                                                    uint8_t unit_id) = 0;
    virtual std::unique_ptr<CVendorCmdCommon> CreateVendorRequestV2(CameraDeviceRecord& record) = 0;
    // The extension unit through the kernel camera driver (access kind 2 or 3).
    virtual std::unique_ptr<CVendorCmdCommon> CreateKernelExtUnit(CameraDeviceRecord& record,
                                                                  uint8_t unit_id,
                                                                  uint32_t access) = 0;
    // The MIPI bridge behind a camera's extension unit: power control goes to `ext_unit`, the
    // bridge's I2C traffic through `underlying`.
    virtual std::unique_ptr<CVendorCmdCommon> CreateMipi(CVendorCmdCommon& ext_unit,
                                                         CVendorCmdCommon& underlying) = 0;
    // IP cameras and the Intel MIPI host come with their own transports.
    virtual std::unique_ptr<CVendorCmdCommon> CreateIpCamera(CameraDeviceRecord&) {
        return nullptr;
    }
    virtual std::unique_ptr<CVendorCmdCommon> CreateIntelMipiHost(CameraDeviceRecord&) {
        return nullptr;
    }
    // The "IPCD" record of the IP camera at `address`: 0, or an operating-system code (50, not
    // supported, where this factory reaches no network).
    virtual int BuildIpCameraRecord(const std::string& /*address*/, CameraDeviceRecord*) {
        return 50;
    }
};

}  // namespace orbisk
