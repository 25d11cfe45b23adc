#include "app/usb_backend.h"

#include <cstdlib>
#include <cstring>

#include "sim/sim_store.h"

#if __has_include("platform/linux/linux_usb_bus.h")
#include "platform/linux/linux_usb_bus.h"
#define ORBISK_HAVE_LINUX_USB 1
#endif

namespace orbisk {
namespace {
bool SimulationRequested() {
    const char* folders = std::getenv(sim::kSimEnvironment);
    return folders != nullptr && *folders != '\0';
}
}  // namespace

UsbBackend MakeUsbBackend(Clock& clock) {
    UsbBackend backend;
    std::string error;
    if (auto sim_bus = sim::MakeSimBusFromEnvironment(clock, &error)) {
        backend.bus = std::move(sim_bus);
        backend.simulated = true;
        return backend;
    }
    if (!error.empty()) {
        backend.error = std::string(sim::kSimEnvironment) + ": " + error;
        backend.simulated = true;
        return backend;
    }
#ifdef ORBISK_HAVE_LINUX_USB
    backend.bus = LinuxUsbBus::Create();
    if (!backend.bus) backend.error = "USB cannot be opened (libusb failed to initialise)";
#else
    backend.error =
        "no USB backend is available in this build; set ORBISK_SIM to use "
        "simulated cameras";
#endif
    return backend;
}

std::unique_ptr<Clock> MakeSimulationClock() {
    const char* mode = std::getenv("ORBISK_SIM_CLOCK");
    if (SimulationRequested() && mode != nullptr && std::strcmp(mode, "virtual") == 0)
        return std::make_unique<VirtualClock>();
    return nullptr;
}

}  // namespace orbisk
