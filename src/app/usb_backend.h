#pragma once
#include <functional>
#include <memory>
#include <string>

#include "base/clock.h"
#include "platform/i2c_adapter.h"
#include "platform/usb.h"

namespace orbisk {

// The bus the cameras are found on: the simulated cameras named by ORBISK_SIM, else real USB.
struct UsbBackend {
    std::unique_ptr<UsbBus> bus;  // null when there is none; `error` says why
    std::string error;
    bool simulated = false;
};

UsbBackend MakeUsbBackend(Clock& clock);

// The end of the program's use of the bus: simulated cameras are written back to their
// folders now. False with the reason when one of them cannot be.
bool FinishUsbBackend(UsbBackend& backend, std::string* error);

struct Process;
// Opens the host I2C adapter that "MIPI I2C Adapter" names, for a MIPI camera on the host's
// own bus; null (with the reason traced) when the key is empty or the adapter does not open.
std::function<std::unique_ptr<I2cAdapter>()> HostI2cSource(Process& process);

// A second view of the cameras of `bus` for a hot-plug watch: its change notifications are its
// own, so the function library's wait for a camera returning from a reset never loses one to
// the watch. Null when there is none.
std::unique_ptr<UsbBus> MakeWatchBus(UsbBus& bus);
// A view of the cameras of `bus` for one more thread of the program, with change notifications
// of its own, so that threads updating cameras side by side never take each other's. Null when
// there is none.
std::unique_ptr<UsbBus> MakeThreadBus(UsbBus& bus);

// A virtual clock when ORBISK_SIM and ORBISK_SIM_CLOCK=virtual are set, so that every wait of
// the tool and every delay of the simulated cameras passes at once; else null (the real clock).
std::unique_ptr<Clock> MakeSimulationClock();

}  // namespace orbisk
