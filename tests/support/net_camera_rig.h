#pragma once
#include <memory>
#include <string>

#include "base/clock.h"
#include "platform/tcp.h"
#include "sim/sim_net_server.h"
#include "sim/sim_settings.h"
#include "support/temp_dir.h"

namespace orbisk::test {

// Starts `server` on a loopback address no other server of this machine uses (127.x.y.z,
// port 6666); the host, or "" after many tries.
std::string StartOnFreeLoopback(sim::SimNetServer& server);
// A loopback host where, very likely, nothing listens.
std::string UnusedLoopbackHost();

// A simulated network camera served on a loopback address of its own, its folder in a
// scratch directory. Recording of the requests is on.
class NetCameraRig {
  public:
    explicit NetCameraRig(sim::SimSettings settings = {});
    // The camera of an existing camera folder.
    explicit NetCameraRig(const std::string& folder);
    ~NetCameraRig();

    const std::string& host() const { return host_; }
    // The camera's address as a user writes it: port 554 and a stream path.
    std::string Address(const std::string& tail = ":554/live/main") const {
        return "rtsp://" + host_ + tail;
    }
    const std::string& Folder() const { return folder_; }
    sim::SimNetCamera& camera() { return *net_; }
    sim::SimCamera& controller() { return *camera_; }
    sim::SimNetServer& server() { return *server_; }
    TcpNetwork& network() { return *network_; }

  private:
    void Serve();

    TempDir dir_;
    std::string folder_;
    VirtualClock clock_;
    std::unique_ptr<TcpNetwork> network_;
    std::shared_ptr<sim::SimCamera> camera_;
    std::unique_ptr<sim::SimNetCamera> net_;
    std::unique_ptr<sim::SimNetServer> server_;
    std::string host_;
};

}  // namespace orbisk::test
