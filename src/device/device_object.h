#pragma once
#include <memory>

#include "device/dev_flow.h"
#include "device/device_factory.h"

namespace orbisk {

class CamLib;
class CICTypeIni;
struct Process;

// The one device object of the memory-type class the factory chose; null for kNone, which the
// caller reports as it reports a missing class.
std::unique_ptr<CDevFlow> CreateDeviceObject(MemoryClass memory_class, Process& process,
                                             CamLib& camlib, CICTypeIni& profiles);

}  // namespace orbisk
