#include "app/all_cameras.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>

#include "app/autostart.h"
#include "app/cli_options.h"
#include "app/usb_backend.h"
#include "base/process.h"
#include "base/result_records.h"
#include "base/status.h"
#include "base/status_codes.h"
#include "camera/usb_enumeration.h"

namespace orbisk {

bool HasAllOption(const std::vector<std::string>& args) {
    return std::find(args.begin(), args.end(), kAllOption) != args.end();
}

std::string AllCamerasError(const std::vector<std::string>& args, const Process& process) {
    bool update = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == kImageOption) {
            ++i;  // its file name is a name, never an option
        } else if (arg == "--recover") {
            return "--all cannot be combined with --recover: a camera without its recovery "
                   "record is brought back one at a time";
        } else if (arg == "--list" || arg == "--json" || arg == "--ip" || arg == "--ip-upload" ||
                   arg == "--camera" || arg == "--help" || arg == "-h" || arg == "--version") {
            return "--all cannot be combined with " + arg;
        } else if (AsksForUpdate(arg)) {
            update = true;
        }
    }
    if (!update) return "--all updates every camera: orbisk -s --all";
    // Each of these picks one camera for the whole run.
    if (process.ConfigInt("MIPI Camera", 0) != 0)
        return "--all cannot update the MIPI camera that \"MIPI Camera\" in config.ini selects";
    if (process.ConfigInt("LockPort", 0) != 0)
        return "--all cannot be used with \"LockPort\" in config.ini, which keeps the update to "
               "one port";
    return {};
}

namespace {

// The device-node handles of the imaging cameras on the bus, each camera once, in bus order.
std::vector<uint64_t> CameraNodes(UsbBus& bus, Clock& clock) {
    UsbEnumeration enumeration(bus, clock);
    std::vector<uint64_t> nodes;
    for (const CameraListEntry& entry : enumeration.ListCameras(kClassSetImaging))
        if (std::find(nodes.begin(), nodes.end(), entry.node_handle) == nodes.end())
            nodes.push_back(entry.node_handle);
    return nodes;
}

}  // namespace

std::vector<CameraSummary> UpdateAllCameras(const Process& process, UsbBus& bus,
                                            CSystemInfo* system_info,
                                            const std::vector<std::string>& args) {
    std::vector<std::unique_ptr<CameraWorker>> workers;
    for (const uint64_t node : CameraNodes(bus, process.clock)) {
        std::unique_ptr<UsbBus> view = MakeThreadBus(bus);
        if (!view) continue;
        workers.push_back(std::make_unique<CameraWorker>(
            process, std::make_unique<PinnedUsbBus>(std::move(view), node), system_info));
    }
    if (process.clock.passes_by_itself()) {
        std::vector<std::thread> threads;
        threads.reserve(workers.size());
        for (auto& worker : workers) threads.emplace_back([&worker, &args] { worker->Run(args); });
        for (std::thread& thread : threads) thread.join();
    } else {
        // On a virtual clock only a sleeper moves the time, and every camera's charges move the
        // one clock: side by side, each thread's waits would be cut short by the others' work.
        // There the cameras take turns, each with the same stack of its own.
        for (auto& worker : workers) worker->Run(args);
    }
    std::vector<CameraSummary> out;
    for (const auto& worker : workers) out.push_back(worker->summary());
    std::sort(out.begin(), out.end(),
              [](const CameraSummary& a, const CameraSummary& b) { return a.port < b.port; });
    return out;
}

void FinishAllCameras(Process& process, const std::vector<CameraSummary>& cameras) {
    const bool all_pass =
        !cameras.empty() && std::all_of(cameras.begin(), cameras.end(),
                                        [](const CameraSummary& c) { return c.outcome.pass; });
    process.status.SetCode(0);
    if (cameras.empty()) {
        std::fputs("orbisk: no camera found\n", stderr);
        process.status.SetCode(kStatusDetectDeviceFail);
    }
    const auto failed = std::find_if(cameras.begin(), cameras.end(),
                                     [](const CameraSummary& c) { return !c.outcome.pass; });
    // A failure without a code of its own still fails the run.
    if (failed != cameras.end())
        process.status.SetCode(failed->outcome.code != 0 ? failed->outcome.code
                                                         : kStatusResetDeviceFail);
    if (const int mode = process.ConfigInt("SaveResultToFile", 0); mode > 0) {
        ResultFile result;
        if (result.Create(process.ProgramFile("Result.txt")))
            result.Write(CommandLineVerdict(mode, all_pass));
    }
    if (process.ConfigInt("LogType", 0) != 0) {
        // The burn record lives in the working folder, where production scripts collect it.
        BurnRecord burn;
        if (burn.Open("burn_result.txt")) {
            for (const CameraSummary& c : cameras)
                burn.AppendRow(std::time(nullptr), c.outcome.serial, c.outcome.pass,
                               c.outcome.code);
        } else {
            std::fputs("Can't Open burn_result.txt\n", stderr);
        }
    }
    if (all_pass) RemoveAutostartEntry(kAutostartEntry);
    std::fputs(FormatSummaryTable(cameras).c_str(), stdout);
    std::fflush(stdout);
}

std::string FormatSummaryTable(const std::vector<CameraSummary>& cameras) {
    const auto line = [](const std::string& port, const std::string& identity,
                         const std::string& serial, const std::string& code,
                         const std::string& text) {
        char row[512];
        std::snprintf(row, sizeof row, "%-12s %-28s %-26s %-6s %s\n", port.c_str(),
                      identity.c_str(), serial.c_str(), code.c_str(), text.c_str());
        return std::string(row);
    };
    std::string out = line("Port", "Camera", "Serial number", "Code", "Result");
    for (const CameraSummary& c : cameras) {
        const UpdateOutcome& o = c.outcome;
        std::string text = o.pass ? "Pass" : "Fail";
        const std::string_view reason = StatusText(o.code);
        if (!o.pass && !reason.empty()) text += ": " + std::string(reason);
        out += line(c.port, c.identity.empty() ? "-" : c.identity,
                    o.serial.empty() ? "-" : o.serial, std::to_string(o.code), text);
    }
    return out;
}

}  // namespace orbisk
