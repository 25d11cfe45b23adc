#pragma once
#include <cstdint>
#include <memory>

#include "platform/usb.h"
#include "transport/ext_unit_base.h"

namespace orbisk {

// The extension unit reached with UVC class requests on the camera's USB device handle
// ("Lib Type" 0): SET_CUR, GET_CUR and GET_LEN on the unit of the video-control interface.
class CExtUnit : public CExtUnitBase {
  public:
    // The device handle belongs to the camera record and must outlive the transport. Runs
    // ProbeMipiIO once, which sets the MIPI I/O flag.
    CExtUnit(UsbDeviceHandle& device, uint8_t unit_id, uint8_t interface_number, Logger& logger,
             std::shared_ptr<DeviceLock> lock, uint32_t lock_timeout_ms = kDeviceLockTimeoutMs);

    // Asks the device for the new packet size and takes the length it then reports. Sizes
    // outside 1..1024 are refused, whether asked for or answered.
    bool ChangeDataControlSize(uint16_t* size) override;

    uint8_t unit_id() const { return unit_id_; }
    uint8_t interface_number() const { return interface_number_; }

  protected:
    HResult SendCmd(const uint8_t* block) override;
    HResult GetCmdStatus(uint8_t* status) override;
    HResult GetData(uint8_t* packet) override;
    HResult SetData(const uint8_t* packet) override;
    using CExtUnitBase::GetData;
    using CExtUnitBase::SetData;

    UsbDeviceHandle& device() { return device_; }

  private:
    HResult Request(const char* what, uint8_t type_bits, uint8_t request, uint8_t selector,
                    uint8_t* data, uint16_t length);

    UsbDeviceHandle& device_;
    uint8_t unit_id_;
    uint8_t interface_number_;
};

}  // namespace orbisk
