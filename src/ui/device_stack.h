#pragma once
#include <memory>
#include <string>

#include "ui/dialog_device.h"

namespace orbisk {

class CamLib;
class DeviceNotifier;
class CICTypeIni;
class CSystemInfo;
class UsbBus;
class UsbTransportFactory;
struct Process;

// The layers under the dialog's device object: the bus, the transports, the function library
// and the chip profiles. The bus is the simulated one named by ORBISK_SIM, else real USB; a
// second view of the same bus feeds the hot-plug watch.
class DeviceStack {
  public:
    // The device objects it makes show the host's board product from `system_info` (may be null).
    DeviceStack(Process& process, CSystemInfo* system_info);
    ~DeviceStack();
    DeviceStack(const DeviceStack&) = delete;
    DeviceStack& operator=(const DeviceStack&) = delete;

    // Empty when there is no bus.
    DeviceMaker Maker();
    // Cameras coming and going on the bus; nullptr when there is no bus.
    DeviceNotifier* notifier() { return notifier_.get(); }
    // Why there is no bus ("" when there is one, or when none was asked for).
    const std::string& error() const { return error_; }

  private:
    Process& process_;
    CSystemInfo* system_info_;
    std::string error_;
    std::unique_ptr<UsbBus> bus_;
    // The watch has a bus object of its own over the same cameras: the function library waits
    // on its bus for cameras returning from a reset, and must not have those changes taken.
    std::unique_ptr<UsbBus> watch_bus_;
    std::unique_ptr<DeviceNotifier> notifier_;
    std::unique_ptr<UsbTransportFactory> factory_;
    std::unique_ptr<CamLib> camlib_;
    std::unique_ptr<CICTypeIni> profiles_;
};

}  // namespace orbisk
