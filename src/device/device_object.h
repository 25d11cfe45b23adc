#pragma once
#include <memory>

#include "device/dev_flow.h"
#include "device/device_factory.h"

namespace orbisk {

class CamLib;
class CICTypeIni;
struct Process;

// The one device object of the memory-type class the factory chose. Null for a class this
// build does not provide yet (the EEPROM and MTP types) and for kNone; the
// caller reports that as it reports a missing class.
std::unique_ptr<CDevFlow> CreateDeviceObject(MemoryClass memory_class, Process& process,
                                             CamLib& camlib, CICTypeIni& profiles);

}  // namespace orbisk
