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
    ~NetCameraRig();

    const std::string& host() const { return host_; }
    // The camera's address as a user writes it: port 554 and a stream path.
    std::string Address() const { return "rtsp://" + host_ + ":554/live/main"; }
    std::string Folder() const { return dir_.path() + "/camera"; }
    sim::SimNetCamera& camera() { return *net_; }
    sim::SimCamera& controller() { return *camera_; }
    sim::SimNetServer& server() { return *server_; }
    TcpNetwork& network() { return *network_; }

  private:
    TempDir dir_;
    VirtualClock clock_;
    std::unique_ptr<TcpNetwork> network_;
    std::shared_ptr<sim::SimCamera> camera_;
    std::unique_ptr<sim::SimNetCamera> net_;
    std::unique_ptr<sim::SimNetServer> server_;
    std::string host_;
};

}  // namespace orbisk::test
