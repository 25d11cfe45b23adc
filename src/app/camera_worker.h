#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/console_progress.h"
#include "app/parse_arg.h"
#include "app/pinned_bus.h"
#include "base/process.h"
#include "device/device_factory.h"

namespace orbisk {

class CamLib;
class CDevFlow;
class CICTypeIni;
class CSystemInfo;
class TransportFactory;

// What `orbisk -s --all` says of one camera at the end.
struct CameraSummary {
    std::string port;      // "1-2.3"
    std::string identity;  // "VID_2C7E&PID_6363&REV_0100", empty when it was never read
    UpdateOutcome outcome;
};

// The update of one camera among several: a stack of its own (settings, status, bus view,
// transports, function library, chip profiles, device object) that reaches only the camera on
// its port, so that it runs on a thread of its own beside the others. Its progress goes to
// stderr, one line per change, each line beginning with the port.
class CameraWorker {
  public:
    CameraWorker(const Process& parent, std::unique_ptr<PinnedUsbBus> bus,
                 CSystemInfo* system_info);
    ~CameraWorker();
    CameraWorker(const CameraWorker&) = delete;
    CameraWorker& operator=(const CameraWorker&) = delete;

    // The whole update as `orbisk -s` runs it for one camera, with the same arguments.
    void Run(const std::vector<std::string>& args);
    CameraSummary summary() const;

  private:
    CDevFlow* RecreateDeviceObject();

    Process process_;
    std::string port_;
    std::unique_ptr<PinnedUsbBus> bus_;
    CSystemInfo* system_info_;
    ConsoleProgress progress_;
    std::unique_ptr<TransportFactory> transports_;
    std::unique_ptr<CamLib> camlib_;
    std::unique_ptr<CICTypeIni> profiles_;
    std::unique_ptr<CDevFlow> device_;
    MemoryClass device_class_ = MemoryClass::kNone;
    CParseArg parse_arg_;
};

}  // namespace orbisk
