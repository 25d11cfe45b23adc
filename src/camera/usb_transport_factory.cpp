#include "camera/usb_transport_factory.h"

#include "camera/config_descriptor.h"
#include "camera/ip_camera_record.h"
#include "transport/driver_requests.h"
#include "transport/ext_unit.h"
#include "transport/ext_unit_kernel.h"
#include "transport/intel_mipi_host.h"
#include "transport/ip_cam_vendor_cmd.h"
#include "transport/vendor_request_v1.h"
#include "transport/vendor_request_v2.h"

namespace orbisk {
namespace {

// The driver-level requests over one record's open device.
class DriverProbe : public CameraProbe {
  public:
    DriverProbe(UsbDeviceHandle& device, uint8_t interface_number, DeviceLock& lock, Logger& logger)
        : device_(device), interface_(interface_number), lock_(lock), logger_(logger) {}

    bool ExtUnit_DevQualify(uint8_t unit) override {
        return orbisk::ExtUnit_DevQualify(Target(unit));
    }
    bool ExtUnit_GetDevStatus(uint8_t unit, uint32_t count, uint8_t* out) override {
        return orbisk::ExtUnit_GetDevStatus(Target(unit), count, out);
    }
    bool ExtUnit_ReadMem(uint8_t unit, uint16_t addr, uint16_t len, uint8_t* out) override {
        return orbisk::ExtUnit_ReadMem(Target(unit), addr, len, out);
    }
    bool ExtUnit_WriteMem(uint8_t unit, uint16_t addr, uint16_t len, const uint8_t* data) override {
        return orbisk::ExtUnit_WriteMem(Target(unit), addr, len, data);
    }
    bool ExtUnit_Reset(uint8_t unit, uint8_t value, uint8_t opcode) override {
        return orbisk::ExtUnit_Reset(Target(unit), value, opcode);
    }
    HResult VendorProbeV1(uint16_t arg) override {
        uint8_t reply = 0;
        return orbisk::VendorProbeV1(device_, arg, &reply);
    }
    HResult VendorStatusV2(uint16_t record, uint32_t count, uint8_t* out) override {
        return VendorReadStatusV2(device_, record, count, out);
    }
    HResult VendorReadMemV2(uint16_t addr, uint16_t len, uint8_t* out) override {
        return orbisk::VendorReadMemV2(device_, addr, len, out);
    }
    HResult VendorWriteMemV2(uint16_t addr, uint16_t len, const uint8_t* data) override {
        return orbisk::VendorWriteMemV2(device_, addr, len, data);
    }
    HResult VendorResetV2(uint16_t value, uint8_t opcode) override {
        return orbisk::VendorResetV2(device_, value, opcode);
    }
    HResult VendorResetV1(uint16_t value, uint8_t opcode) override {
        return orbisk::VendorResetV1(device_, value, opcode);
    }

  private:
    DriverExtUnit Target(uint8_t unit) const {
        return DriverExtUnit{device_, unit, interface_, lock_, logger_};
    }
    UsbDeviceHandle& device_;
    uint8_t interface_;
    DeviceLock& lock_;
    Logger& logger_;
};

}  // namespace

UsbTransportFactory::UsbTransportFactory(UsbBus& bus, Logger& logger,
                                         std::shared_ptr<DeviceLock> lock)
    : bus_(bus), logger_(logger), lock_(std::move(lock)) {}

std::unique_ptr<CameraProbe> UsbTransportFactory::CreateProbe(CameraDeviceRecord& record) {
    if (!record.usb) return nullptr;
    return std::make_unique<DriverProbe>(*record.usb, static_cast<uint8_t>(record.interface_number),
                                         *lock_, logger_);
}

std::unique_ptr<CVendorCmdCommon> UsbTransportFactory::CreateExtUnit(CameraDeviceRecord& record,
                                                                     uint8_t unit_id) {
    if (!record.usb) return nullptr;
    return std::make_unique<CExtUnit>(
        *record.usb, unit_id, static_cast<uint8_t>(record.interface_number), logger_, lock_);
}

std::unique_ptr<CVendorCmdCommon> UsbTransportFactory::CreateVendorRequestV1(
    CameraDeviceRecord& record, uint8_t unit_id) {
    if (!record.usb) return nullptr;
    return std::make_unique<CVendorRequestV1>(
        *record.usb, unit_id, static_cast<uint8_t>(record.interface_number), logger_, lock_);
}

std::unique_ptr<CVendorCmdCommon> UsbTransportFactory::CreateVendorRequestV2(
    CameraDeviceRecord& record) {
    if (!record.usb) return nullptr;
    return std::make_unique<CVendorRequestV2>(*record.usb, logger_);
}

std::unique_ptr<CVendorCmdCommon> UsbTransportFactory::CreateKernelExtUnit(
    CameraDeviceRecord& record, uint8_t, uint32_t access) {
    std::shared_ptr<CameraDriverControl> control = bus_.OpenCameraDriver(record.node_handle);
    if (!control) return nullptr;
    const auto units = ListVideoExtensionUnits(record.bus_config_descriptor,
                                               static_cast<uint8_t>(record.interface_number));
    HResult result = kOk;
    std::unique_ptr<CVendorCmdCommon> unit;
    if (access == kExtUnitMediaFound)
        unit = std::make_unique<CExtUnitMF>(control, units, logger_, lock_, &result);
    else
        unit = std::make_unique<CExtUnitDShow>(control, units, logger_, lock_, &result);
    if (result != kOk) return nullptr;
    return unit;
}

std::unique_ptr<CVendorCmdCommon> UsbTransportFactory::CreateMipi(CVendorCmdCommon& ext_unit,
                                                                  CVendorCmdCommon& underlying) {
    return std::make_unique<CMipiVendorCmd>(&ext_unit, &underlying, logger_);
}

std::unique_ptr<CVendorCmdCommon> UsbTransportFactory::CreateIntelMipiHost(CameraDeviceRecord&) {
    // Without its adapter the transport is not made, as without the host's I2C library.
    std::unique_ptr<I2cAdapter> adapter = host_i2c_ ? host_i2c_() : nullptr;
    if (!adapter) return nullptr;
    return std::make_unique<CIntelMipiHost>(std::move(adapter), logger_);
}

void UsbTransportFactory::EnableIpCameras(TcpNetwork& network,
                                          std::shared_ptr<DeviceLock> tuning_lock,
                                          IpCamTimeouts timeouts) {
    network_ = &network;
    tuning_lock_ = std::move(tuning_lock);
    ip_timeouts_ = timeouts;
}

int UsbTransportFactory::BuildIpCameraRecord(const std::string& address,
                                             CameraDeviceRecord* record) {
    if (network_ == nullptr) return kErrorNotSupported;
    return orbisk::BuildIpCameraRecord(address, *network_, logger_, *tuning_lock_, ip_timeouts_,
                                       record);
}

std::unique_ptr<CVendorCmdCommon> UsbTransportFactory::CreateIpCamera(CameraDeviceRecord& record) {
    if (network_ == nullptr || record.tag != AccessTag::kIpCamera) return nullptr;
    // The transport goes on with the connection the record opened.
    return std::make_unique<CIpCamVendorCmd>(record.ip_address, *network_, logger_, tuning_lock_,
                                             ip_timeouts_, std::move(record.ip_connection));
}

}  // namespace orbisk
