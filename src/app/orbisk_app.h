#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/cli_options.h"
#include "app/usb_backend.h"
#include "base/clock.h"
#include "base/debug_channel.h"
#include "base/logger.h"
#include "base/process.h"
#include "base/program_folder.h"
#include "device/device_factory.h"

namespace orbisk {

class CamLib;
class CDevFlow;
class CICTypeIni;
class CParseArg;
class CSystemInfo;
class TcpNetwork;
class TransportFactory;

// The application object: builds the process-wide state in the fixed start-up order, runs the
// command line (any argument) or the dialog (none), and on exit tears it down, writes
// config.ini back and turns the status code into the exit code.
class COrbiskApp {
  public:
    // The dialog branch; the Qt front end passes its runner, the command-line-only build none.
    using DialogRunner = std::function<void(COrbiskApp&)>;

    // With ORBISK_SIM and ORBISK_SIM_CLOCK=virtual the application runs on a virtual clock of
    // its own, whatever clock the front end passes, so that a simulated update takes no real
    // time.
    explicit COrbiskApp(Clock& clock);
    ~COrbiskApp();

    // Start-up, the chosen run mode and exit; returns the process exit code.
    int Run(const std::vector<std::string>& args, const DialogRunner& dialog = {});

    Process& process() { return process_; }
    Logger& logger() { return logger_; }
    CSystemInfo* system_info() { return system_info_.get(); }
    CICTypeIni* profiles() { return profiles_.get(); }
    // The bus the cameras are found on; null (with a reason) when there is none.
    UsbBus* bus() { return backend_.bus.get(); }
    const std::string& bus_error() const { return backend_.error; }
    // The camera function library on that bus; null without a bus.
    CamLib* camlib() { return camlib_.get(); }
    // The device object of the class the device factory chose; null when this build has none
    // for the selected profile or there is no bus.
    CDevFlow* device() { return device_.get(); }
    // The device factory run: keeps the device object when its class still fits the
    // process-wide project and bus type, else makes one of the fitting class that takes over
    // the open camera. Returns the device object (null when there is none).
    CDevFlow* RecreateDeviceObject();

    // Start-up and exit, callable on their own by tests.
    void InitInstance(const std::vector<std::string>& args, const DialogRunner& dialog);
    int ExitInstance();

    static std::string ShortVersion(const std::string& file_version);

  private:
    // config.ini of the program folder; a file that does not load whole, or a program folder
    // that is not there, is kept in process().setup_error.
    void OpenConfiguration();
    bool ConfigurationLoaded() const;
    // `with_cameras`: also the bus, its transports, the function library and the device object
    // (the command line's; the dialog builds its own stack).
    void CreateProcessObjects(bool with_cameras);
    void ReleaseProcessObjects();
    void RunCommandLine(const std::vector<std::string>& args);
    // `orbisk -s --all`: every camera at once.
    void RunAllCameras(const std::vector<std::string>& args);
    // --help, --version, --list: answered without touching a camera.
    void RunInfoRequest(InfoRequest request);
    // --ip-upload (and --ip or --camera without it, a usage error).
    void RunIpCommand(const IpCameraArgs& args);
    // No usable program folder: --help and --version are still answered, anything else ends
    // with the reason and exit code 1.
    void RefuseStart(const std::vector<std::string>& args);

    std::unique_ptr<Clock> own_clock_;
    Clock& clock_;
    DebugChannel channel_;
    Logger logger_;
    Process process_;
    UsbBackend backend_;
    std::unique_ptr<TcpNetwork> network_;
    std::unique_ptr<TransportFactory> transports_;
    std::unique_ptr<CamLib> camlib_;
    std::unique_ptr<CDevFlow> device_;
    MemoryClass device_class_ = MemoryClass::kNone;
    std::unique_ptr<CICTypeIni> profiles_;
    std::unique_ptr<CSystemInfo> system_info_;
    std::unique_ptr<CParseArg> parse_arg_;
    ProgramFolderChoice program_folder_;
    // Set by RefuseStart: nothing was loaded, so nothing is written back at exit.
    int refused_exit_code_ = -1;
    // A failure outside the status code (settings, camera folders) that still makes the exit
    // code 1.
    bool exit_failure_ = false;
};

}  // namespace orbisk
