#pragma once
#include <memory>

#include "camera/cam_dev.h"
#include "camera/transport_factory.h"

namespace orbisk {

// A camera of the maker: one transport per way the camera answers, and the choice between
// them.
class COrvCam : public CCamDev {
  public:
    COrvCam(std::unique_ptr<CameraDeviceRecord> record, TransportFactory& factory);
    ~COrvCam() override;

    // Re-reads the capability record into the copy when forced or when none is attached.
    const CameraCapabilityRecord* RefreshCapabilities(bool force);
    // Before a reset: the transports go and the device is closed.
    void ReleaseDevice();
    // After a reconnect: fresh capabilities, and the device-bound transports made again.
    void RebuildTransports();

    CVendorCmdCommon* SelectCommandTransport() override;
    CVendorCmdCommon* SelectExtUnitTransport(int lib_type) override;

    // Transports as they stand (null when absent); the kernel units are made on first use.
    CVendorCmdCommon* ExtUnit() { return ext_unit_.get(); }
    CVendorCmdCommon* KernelExtUnit(uint32_t access);
    CVendorCmdCommon* KernelExtUnitIfMade(uint32_t access) {
        return access == kExtUnitMediaFound ? mf_unit_.get() : dshow_unit_.get();
    }
    CVendorCmdCommon* VendorV1() { return v1_.get(); }
    CVendorCmdCommon* VendorV2() { return v2_.get(); }
    CVendorCmdCommon* Mipi() { return mipi_.get(); }
    CVendorCmdCommon* IpCamera() { return ip_.get(); }
    CVendorCmdCommon* IntelMipiHost() { return intel_.get(); }

    // The reconnect event: set by a device arrival, cleared before a reset waits on it.
    void NotifyDeviceArrival() { arrived_ = true; }
    void ResetReconnectEvent() { arrived_ = false; }
    bool ReconnectEventSet() const { return arrived_; }

  private:
    void CreateTransports();
    void DeleteDeviceTransports();

    TransportFactory& factory_;
    std::unique_ptr<CVendorCmdCommon> ext_unit_;
    std::unique_ptr<CVendorCmdCommon> dshow_unit_;
    std::unique_ptr<CVendorCmdCommon> mf_unit_;
    std::unique_ptr<CVendorCmdCommon> v1_;
    std::unique_ptr<CVendorCmdCommon> v2_;
    std::unique_ptr<CVendorCmdCommon> mipi_;
    std::unique_ptr<CVendorCmdCommon> ip_;
    std::unique_ptr<CVendorCmdCommon> intel_;
    bool arrived_ = false;
};

}  // namespace orbisk
