#include "app/usb_backend.h"

#include <cstdlib>
#include <cstring>

#include "base/process.h"
#include "platform/linux/i2c_dev_adapter.h"
#include "platform/linux/inotify_folder_watch.h"
#include "platform/linux/linux_usb_bus.h"
#include "sim/sim_bus.h"
#include "sim/sim_store.h"

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
    // The cameras' cable files are followed while the program runs (orbisk-sim unplug, plug).
    std::unique_ptr<FolderWatch> watch;
    if (SimulationRequested()) watch = MakeInotifyFolderWatch(sim::kCableFile);
    if (auto sim_bus = sim::MakeSimBusFromEnvironment(clock, &error, std::move(watch))) {
        backend.bus = std::move(sim_bus);
        backend.simulated = true;
        return backend;
    }
    if (!error.empty()) {
        backend.error = std::string(sim::kSimEnvironment) + ": " + error;
        backend.simulated = true;
        return backend;
    }
    backend.bus = LinuxUsbBus::Create();
    if (!backend.bus) backend.error = "USB cannot be opened (libusb failed to initialise)";
    return backend;
}

bool FinishUsbBackend(UsbBackend& backend, std::string* error) {
    if (!backend.bus || !backend.simulated) return true;
    return sim::SaveCameraFolders(*backend.bus, error);
}

std::function<std::unique_ptr<I2cAdapter>()> HostI2cSource(Process& process) {
    return [&process]() -> std::unique_ptr<I2cAdapter> {
        const std::string name = process.ConfigText(cfg::kMipiI2cAdapter);
        if (name.empty()) return nullptr;
        std::string error;
        auto adapter = I2cDevAdapter::Open(name, &error);
        if (!adapter) process.logger.DebugPrint("MIPI I2C Adapter: %s\n", error.c_str());
        return adapter;
    };
}

std::unique_ptr<UsbBus> MakeWatchBus(UsbBus& bus) {
    if (auto* simulated = dynamic_cast<sim::SimUsbBus*>(&bus)) return simulated->WatchView();
    return LinuxUsbBus::Create();
}

std::unique_ptr<UsbBus> MakeThreadBus(UsbBus& bus) {
    if (auto* simulated = dynamic_cast<sim::SimUsbBus*>(&bus)) return simulated->ProgramView();
    return LinuxUsbBus::Create();
}

std::unique_ptr<Clock> MakeSimulationClock() {
    const char* mode = std::getenv("ORBISK_SIM_CLOCK");
    if (SimulationRequested() && mode != nullptr && std::strcmp(mode, "virtual") == 0)
        return std::make_unique<VirtualClock>();
    return nullptr;
}

}  // namespace orbisk
