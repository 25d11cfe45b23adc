#include "ui/device_stack.h"

#include "base/process.h"
#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"
#include "catalogue/ic_type_ini.h"
#include "device/device_factory.h"
#include "device/device_object.h"
#include "platform/device_notify.h"
#include "sim/sim_bus.h"
#include "sim/sim_store.h"
#include "ui/dev_flow_device.h"

namespace orbisk {

DeviceStack::DeviceStack(Process& process) : process_(process) {
    auto sim_bus = sim::MakeSimBusFromEnvironment(process.clock, &error_);
    if (!sim_bus) return;
    auto watch_bus = std::make_unique<sim::SimUsbBus>(process.clock);
    for (const auto& camera : sim_bus->cameras()) watch_bus->AddCamera(camera);
    notifier_ = std::make_unique<BusDeviceNotifier>(*watch_bus);
    watch_bus_ = std::move(watch_bus);
    bus_ = std::move(sim_bus);
    factory_ = std::make_unique<UsbTransportFactory>(*bus_, process.logger);
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
    return MakeDevFlowMaker(process, *bus_, camlib, profiles, [&process, &camlib, &profiles] {
        return CreateDeviceObject(RunDeviceFactory(process), process, camlib, profiles);
    });
}

}  // namespace orbisk
