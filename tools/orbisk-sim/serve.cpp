// orbisk-sim serve: a camera folder as an IP camera on port 6666 of a local address, until
// SIGINT or SIGTERM.
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "base/clock.h"
#include "platform/tcp.h"
#include "sim/sim_net_server.h"
#include "sim/sim_store.h"
#include "tool.h"

namespace orbisk::sim::tool {
namespace {

bool Number(const std::string& text, uint32_t* out) {
    if (text.empty() || text[0] == '-') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || value > 0x7FFFFFFF) return false;
    *out = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

// Options after the folder: --listen ADDRESS (required), --split N, --fault KIND [--fault-at N].
int Serve(const std::string& dir, int argc, char** argv) {
    std::map<std::string, std::string> options;
    for (int i = 3; i < argc; ++i) {
        const std::string name = argv[i];
        if (name != "--listen" && name != "--split" && name != "--fault" && name != "--fault-at")
            return Usage("unknown option " + name, "serve");
        if (i + 1 >= argc) return Usage(name + " needs a value", "serve");
        options[name.substr(2)] = argv[++i];
    }
    if (!options.count("listen")) return Usage("serve needs --listen ADDRESS", "serve");
    uint32_t split = 0, fault_at = 0;
    if (options.count("split") && !Number(options["split"], &split))
        return Usage("--split takes a byte count", "serve");
    if (options.count("fault-at") && !Number(options["fault-at"], &fault_at))
        return Usage("--fault-at takes a request number", "serve");
    const std::map<std::string, NetFault> faults = {{"short", NetFault::kShortReply},
                                                    {"status", NetFault::kWrongStatus},
                                                    {"close", NetFault::kClose},
                                                    {"silent", NetFault::kSilent}};
    NetFault fault = NetFault::kNone;
    if (options.count("fault")) {
        const auto it = faults.find(options["fault"]);
        if (it == faults.end()) return Usage("--fault is short, status, close or silent", "serve");
        fault = it->second;
    }

    SystemClock clock;
    std::string error;
    auto camera = LoadCameraFolder(dir, clock, &error);
    if (!camera) return Fail(error);
    SimNetCamera net(camera);
    net.SetSplit(split);
    if (fault != NetFault::kNone) net.SetFault(fault, fault_at == 0 ? 1 : fault_at);

    // The signals wait for sigwait, in every thread the server starts too.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    auto network = CreateNativeTcpNetwork();
    SimNetServer server(net, *network);
    if (!server.Start(options["listen"], &error)) return Fail(error);
    std::printf("listening on %s:%u\n", options["listen"].c_str(), kNetPort);
    std::fflush(stdout);
    int signal_number = 0;
    sigwait(&stop, &signal_number);
    server.Stop();
    return 0;
}

}  // namespace orbisk::sim::tool
