#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/debug_channel.h"
#include "base/logger.h"
#include "base/process.h"

namespace orbisk {

class CParseArg;
class CSystemInfo;

// The application object: builds the process-wide state in the fixed start-up order, runs the
// command line (any argument) or the dialog (none), and on exit tears it down, writes
// config.ini back and turns the status code into the exit code.
class COrbiskApp {
public:
    // The dialog branch; the Qt front end passes its runner, the command-line-only build none.
    using DialogRunner = std::function<void(COrbiskApp&)>;

    explicit COrbiskApp(Clock& clock);
    ~COrbiskApp();

    // Start-up, the chosen run mode and exit; returns the process exit code.
    int Run(const std::vector<std::string>& args, const DialogRunner& dialog = {});

    Process& process() { return process_; }
    Logger& logger() { return logger_; }
    CSystemInfo* system_info() { return system_info_.get(); }

    // Start-up and exit, callable on their own by tests.
    void InitInstance(const std::vector<std::string>& args, const DialogRunner& dialog);
    int ExitInstance();

    static std::string ShortVersion(const std::string& file_version);

private:
    void OpenConfiguration();
    void CreateProcessObjects();
    void ReleaseProcessObjects();
    void RunCommandLine(const std::vector<std::string>& args);

    DebugChannel channel_;
    Logger logger_;
    Process process_;
    std::unique_ptr<CSystemInfo> system_info_;
    std::unique_ptr<CParseArg> parse_arg_;
};

}  // namespace orbisk
