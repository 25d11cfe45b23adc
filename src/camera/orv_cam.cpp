#include "camera/orv_cam.h"

#include "camera/capabilities.h"
#include "transport/ext_unit_base.h"

namespace orbisk {

COrvCam::COrvCam(std::unique_ptr<CameraDeviceRecord> record, TransportFactory& factory)
    : CCamDev(std::move(record)), factory_(factory) {
    CreateTransports();
}

COrvCam::~COrvCam() {
    // The transports talk through the record's device: they go before it.
    mipi_.reset();
    DeleteDeviceTransports();
    dshow_unit_.reset();
    mf_unit_.reset();
    ip_.reset();
}

const CameraCapabilityRecord* COrvCam::RefreshCapabilities(bool force) {
    if (force || !has_capability_) {
        auto probe = factory_.CreateProbe(*record_);
        if (FillCapabilities(record_.get(), probe.get(), true)) CopyCapability();
    }
    return capability();
}

void COrvCam::CreateTransports() {
    const CameraCapabilityRecord* cap = capability();
    if (!cap) return;
    if (cap->ext_unit_access != kExtUnitNone && record_->tag == AccessTag::kProxy)
        ext_unit_ = factory_.CreateExtUnit(*record_, cap->unit_id);
    if (cap->vendor_gen1) v1_ = factory_.CreateVendorRequestV1(*record_, cap->unit_id);
    if (cap->vendor_gen2) v2_ = factory_.CreateVendorRequestV2(*record_);
    // The extension unit probed for the MIPI bridge when it was made. The bridge's I2C goes
    // through the newest vendor-request generation the camera has, else the extension unit.
    if (auto* unit = dynamic_cast<CExtUnitBase*>(ext_unit_.get()); unit && unit->mipi_io()) {
        CVendorCmdCommon* underlying = v2_ ? v2_.get() : v1_ ? v1_.get() : ext_unit_.get();
        mipi_ = factory_.CreateMipi(*ext_unit_, *underlying);
    }
    if (cap->ip_camera && !ip_) ip_ = factory_.CreateIpCamera(*record_);
    if (cap->intel_mipi) intel_ = factory_.CreateIntelMipiHost(*record_);
}

void COrvCam::DeleteDeviceTransports() {
    mipi_.reset();
    intel_.reset();
    v1_.reset();
    v2_.reset();
    ext_unit_.reset();
}

void COrvCam::ReleaseDevice() {
    DeleteDeviceTransports();
    dshow_unit_.reset();
    mf_unit_.reset();
    record_->usb.reset();
}

void COrvCam::RebuildTransports() {
    RefreshCapabilities(true);
    DeleteDeviceTransports();
    // The kernel units belong to the old device too.
    dshow_unit_.reset();
    mf_unit_.reset();
    CreateTransports();
}

CVendorCmdCommon* COrvCam::KernelExtUnit(uint32_t access) {
    const CameraCapabilityRecord* cap = capability();
    if (!cap || cap->ext_unit_access == kExtUnitNone) return nullptr;
    auto& unit = access == kExtUnitMediaFound ? mf_unit_ : dshow_unit_;
    if (!unit) unit = factory_.CreateKernelExtUnit(*record_, cap->unit_id, access);
    return unit.get();
}

CVendorCmdCommon* COrvCam::SelectCommandTransport() {
    const CameraCapabilityRecord* cap = RefreshCapabilities(false);
    if (!cap) return nullptr;
    if (cap->vendor_gen2 && v2_) return v2_.get();
    if (cap->vendor_gen1) return v1_.get();
    if (cap->ext_unit_access == kExtUnitMediaFound) {
        if (auto* unit = KernelExtUnit(kExtUnitMediaFound)) return unit;
    }
    if (cap->ext_unit_access != kExtUnitNone && ext_unit_) return ext_unit_.get();
    if (cap->ext_unit_access == kExtUnitDirectShow) return KernelExtUnit(kExtUnitDirectShow);
    return nullptr;
}

CVendorCmdCommon* COrvCam::SelectExtUnitTransport(int lib_type) {
    const CameraCapabilityRecord* cap = capability();
    switch (lib_type) {
        case 0:
            return cap && cap->ext_unit_access != kExtUnitNone ? ext_unit_.get() : nullptr;
        case 1:
            return KernelExtUnit(kExtUnitDirectShow);
        case 2:
            return KernelExtUnit(kExtUnitMediaFound);
        default:
            return nullptr;
    }
}

}  // namespace orbisk
