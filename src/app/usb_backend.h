#pragma once
#include <memory>
#include <string>

#include "base/clock.h"
#include "platform/usb.h"

namespace orbisk {

// The bus the cameras are found on: the simulated cameras named by ORBISK_SIM, else real USB.
struct UsbBackend {
    std::unique_ptr<UsbBus> bus;  // null when there is none; `error` says why
    std::string error;
    bool simulated = false;
};

UsbBackend MakeUsbBackend(Clock& clock);

// The process clock: the real one, except with ORBISK_SIM and ORBISK_SIM_CLOCK=virtual, where
// every wait of the tool and every delay of the simulated cameras passes at once.
std::unique_ptr<Clock> MakeProcessClock();

}  // namespace orbisk
