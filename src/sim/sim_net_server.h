#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/tcp.h"
#include "sim/sim_net_camera.h"

namespace orbisk::sim {

// Serves a simulated network camera on port 6666 of a local address: one thread accepts, one
// thread per connection answers its requests in order. Stop (or destruction) ends every
// connection and joins every thread.
class SimNetServer {
  public:
    SimNetServer(SimNetCamera& camera, TcpNetwork& network);
    ~SimNetServer();
    SimNetServer(const SimNetServer&) = delete;
    SimNetServer& operator=(const SimNetServer&) = delete;

    // Listens on address:6666 (a numeric address); false with the reason.
    bool Start(const std::string& address, std::string* error);
    void Stop();
    // Connections accepted so far.
    uint32_t Connections() const { return connections_.load(); }

  private:
    struct Session {
        std::shared_ptr<TcpConnection> connection;
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void AcceptLoop();
    void Serve(TcpConnection& connection);
    // Exactly `size` bytes; false when the peer closed, failed or the server stops.
    bool ReceiveExactly(TcpConnection& connection, uint8_t* buffer, size_t size);
    void JoinFinished();

    SimNetCamera& camera_;
    TcpNetwork& network_;
    std::unique_ptr<TcpListener> listener_;
    std::thread accept_thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<uint32_t> connections_{0};
    std::mutex mutex_;
    std::vector<Session> sessions_;
};

}  // namespace orbisk::sim
