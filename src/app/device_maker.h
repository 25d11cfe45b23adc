#pragma once
#include <memory>

#include "device/device_factory.h"

namespace orbisk {

struct Process;
class CamLib;
class CDevFlow;
class CICTypeIni;
class CSystemInfo;

// The device factory run for one camera stack: keeps `device` when its class still fits the
// project and bus type of `process`, else makes one of the fitting class that takes over the
// open camera and what is known of it. Returns the device object (null when there is none).
CDevFlow* RemakeDeviceObject(Process& process, CamLib* camlib, CICTypeIni& profiles,
                             CSystemInfo* system_info, std::unique_ptr<CDevFlow>& device,
                             MemoryClass& device_class);

}  // namespace orbisk
