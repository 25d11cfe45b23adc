#pragma once
#include <functional>
#include <memory>

#include "camera/transport_factory.h"
#include "platform/device_lock.h"
#include "platform/i2c_adapter.h"
#include "platform/tcp.h"
#include "transport/ip_cam_channel.h"

namespace orbisk {

class Logger;

// The command layer's transports over the USB bus: the extension unit and the vendor requests
// on the record's open device, the kernel driver's face of the camera for the other access
// methods, and the driver-level requests of enumeration and reset.
class UsbTransportFactory : public TransportFactory {
  public:
    UsbTransportFactory(UsbBus& bus, Logger& logger,
                        std::shared_ptr<DeviceLock> lock = OpenDeviceLock());

    std::unique_ptr<CameraProbe> CreateProbe(CameraDeviceRecord& record) override;
    std::unique_ptr<CVendorCmdCommon> CreateExtUnit(CameraDeviceRecord& record,
                                                    uint8_t unit_id) override;
    std::unique_ptr<CVendorCmdCommon> CreateVendorRequestV1(CameraDeviceRecord& record,
                                                            uint8_t unit_id) override;
    std::unique_ptr<CVendorCmdCommon> CreateVendorRequestV2(CameraDeviceRecord& record) override;
    std::unique_ptr<CVendorCmdCommon> CreateKernelExtUnit(CameraDeviceRecord& record,
                                                          uint8_t unit_id,
                                                          uint32_t access) override;
    std::unique_ptr<CVendorCmdCommon> CreateMipi(CVendorCmdCommon& ext_unit,
                                                 CVendorCmdCommon& underlying) override;
    // A camera on a host I2C adapter: the adapter comes from `host_i2c` (null: none).
    std::unique_ptr<CVendorCmdCommon> CreateIntelMipiHost(CameraDeviceRecord& record) override;
    void SetHostI2c(std::function<std::unique_ptr<I2cAdapter>()> host_i2c) {
        host_i2c_ = std::move(host_i2c);
    }

    // IP cameras over `network`, their exchanges serialised by `tuning_lock`. Without this
    // call no IP camera can be opened.
    void EnableIpCameras(TcpNetwork& network, std::shared_ptr<DeviceLock> tuning_lock,
                         IpCamTimeouts timeouts = {});
    int BuildIpCameraRecord(const std::string& address, CameraDeviceRecord* record) override;
    std::unique_ptr<CVendorCmdCommon> CreateIpCamera(CameraDeviceRecord& record) override;

  private:
    UsbBus& bus_;
    Logger& logger_;
    std::shared_ptr<DeviceLock> lock_;
    std::function<std::unique_ptr<I2cAdapter>()> host_i2c_;
    TcpNetwork* network_ = nullptr;
    std::shared_ptr<DeviceLock> tuning_lock_;
    IpCamTimeouts ip_timeouts_;
};

}  // namespace orbisk
