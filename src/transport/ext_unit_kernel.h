#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/usb.h"
#include "transport/ext_unit_base.h"

namespace orbisk {

// The extension unit reached through the kernel's camera driver ("Lib Type" 1 and 2): each
// primitive is one control query on the unit, and results come back as the driver gave them.
class CExtUnitKernel : public CExtUnitBase {
  public:
    // The unit is the first of `candidate_units` (the extension units of the camera's
    // video-control interface, in descriptor order) whose command control answers a length
    // query. *result: 0, or the reason why the transport cannot be used (the caller discards
    // it then).
    CExtUnitKernel(std::shared_ptr<CameraDriverControl> control,
                   const std::vector<uint8_t>& candidate_units, Logger& logger,
                   std::shared_ptr<DeviceLock> lock, HResult* result, bool log_failures);

    // Runs without the device lock: call it only while no other operation of the object runs.
    // Sizes outside 1..1024 are refused, whether asked for or reported by the driver. The
    // kernel driver learns a control's length when it first meets it and refuses other sizes
    // afterwards, so negotiate before the first data transfer.
    bool ChangeDataControlSize(uint16_t* size) override;

    uint8_t unit_id() const { return unit_id_; }

  protected:
    HResult SendCmd(const uint8_t* block) override;
    HResult GetCmdStatus(uint8_t* status) override;
    HResult GetData(uint8_t* packet) override;
    HResult SetData(const uint8_t* packet) override;
    using CExtUnitBase::GetData;
    using CExtUnitBase::SetData;
    // The driver reports failures as negative results.
    bool IsTransferFailure(HResult result) const override { return result < 0; }

  private:
    // A data packet's result; a size the driver refuses is given up for the one before it.
    HResult AfterDataPacket(HResult result);

    std::shared_ptr<CameraDriverControl> control_;
    uint8_t unit_id_ = 0;
    // Sizes of the data control around the last change: the one before it (0 before any
    // change), one the camera driver refused, and the one to give the camera back before the
    // next command (0: none).
    uint32_t size_before_change_ = 0;
    uint32_t refused_size_ = 0;
    uint32_t size_to_restore_ = 0;
};

// Through the capture device of the camera ("Lib Type" 1).
class CExtUnitDShow : public CExtUnitKernel {
  public:
    CExtUnitDShow(std::shared_ptr<CameraDriverControl> control,
                  const std::vector<uint8_t>& candidate_units, Logger& logger,
                  std::shared_ptr<DeviceLock> lock, HResult* result)
        : CExtUnitKernel(std::move(control), candidate_units, logger, std::move(lock), result,
                         true) {}
};

// Through the media source of the camera ("Lib Type" 2); finds its unit without messages.
class CExtUnitMF : public CExtUnitKernel {
  public:
    CExtUnitMF(std::shared_ptr<CameraDriverControl> control,
               const std::vector<uint8_t>& candidate_units, Logger& logger,
               std::shared_ptr<DeviceLock> lock, HResult* result)
        : CExtUnitKernel(std::move(control), candidate_units, logger, std::move(lock), result,
                         false) {}
};

}  // namespace orbisk
