#include "app/device_maker.h"

#include "device/dev_flow.h"
#include "device/device_object.h"

namespace orbisk {

CDevFlow* RemakeDeviceObject(Process& process, CamLib* camlib, CICTypeIni& profiles,
                             CSystemInfo* system_info, std::unique_ptr<CDevFlow>& device,
                             MemoryClass& device_class) {
    const MemoryClass wanted = RunDeviceFactory(process);
    if (device && wanted == device_class) return device.get();
    std::unique_ptr<CDevFlow> fresh =
        camlib != nullptr ? CreateDeviceObject(wanted, process, *camlib, profiles) : nullptr;
    if (fresh) fresh->SetSystemInfo(system_info);
    if (device) {
        if (fresh) {
            // The open camera and what is known of it move to the new object.
            fresh->connection() = device->connection();
            fresh->texts() = device->texts();
            fresh->images() = std::move(device->images());
            fresh->selected_index = device->selected_index;
            fresh->set_mipi_reserved(device->mipi_reserved());
        } else {
            device->DEV_CloseDevice();
        }
    }
    device = std::move(fresh);
    device_class = wanted;
    return device.get();
}

}  // namespace orbisk
