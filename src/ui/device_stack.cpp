#include "ui/device_stack.h"

#include "app/usb_backend.h"
#include "base/process.h"
#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"
#include "catalogue/ic_type_ini.h"
#include "device/device_factory.h"
#include "device/device_object.h"
#include "platform/device_notify.h"
#include "ui/dev_flow_device.h"

namespace orbisk {

DeviceStack::DeviceStack(Process& process, CSystemInfo* system_info)
    : process_(process), system_info_(system_info) {
    UsbBackend backend = MakeUsbBackend(process.clock);
    error_ = backend.error;
    if (!backend.bus) return;
    bus_ = std::move(backend.bus);
    watch_bus_ = MakeWatchBus(*bus_);
    if (watch_bus_) notifier_ = std::make_unique<BusDeviceNotifier>(*watch_bus_);
    factory_ = std::make_unique<UsbTransportFactory>(*bus_, process.logger);
    factory_->SetHostI2c(HostI2cSource(process));
    camlib_ = std::make_unique<CamLib>(process, *bus_, *factory_);
    camlib_->CamLib_Init(process.lib_type);
    profiles_ = std::make_unique<CICTypeIni>(process);
    profiles_->BuildProfileList();
    profiles_->SelectDefaultProfile();
}

DeviceStack::~DeviceStack() {
    if (camlib_) camlib_->CamLib_Close();
}

DeviceMaker DeviceStack::Maker() {
    if (!bus_) return {};
    Process& process = process_;
    CamLib& camlib = *camlib_;
    CICTypeIni& profiles = *profiles_;
    CSystemInfo* system_info = system_info_;
    return MakeDevFlowMaker(
        process, *bus_, camlib, profiles, [&process, &camlib, &profiles, system_info] {
            auto device = CreateDeviceObject(RunDeviceFactory(process), process, camlib, profiles);
            if (device) device->SetSystemInfo(system_info);
            return device;
        });
}

}  // namespace orbisk
