#include "sim/sim_net_server.h"

#include <algorithm>
#include <cerrno>

namespace orbisk::sim {
namespace {
// Every wait is a slice this long, so a stop is seen soon even without a wake-up.
constexpr uint32_t kSliceMs = 200;
constexpr uint32_t kSendMs = 10000;
}  // namespace

SimNetServer::SimNetServer(SimNetCamera& camera, TcpNetwork& network)
    : camera_(camera), network_(network) {}

SimNetServer::~SimNetServer() {
    Stop();
}

bool SimNetServer::Start(const std::string& address, std::string* error) {
    TcpError failure;
    listener_ = network_.Listen(address, kNetPort, &failure);
    if (!listener_) {
        *error = "cannot listen on " + address + ":" + std::to_string(kNetPort) + " (errno " +
                 std::to_string(failure.code) + ")";
        return false;
    }
    camera_.SetListenAddress(address);
    stopping_ = false;
    accept_thread_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void SimNetServer::Stop() {
    stopping_ = true;
    if (listener_) listener_->Close();
    if (accept_thread_.joinable()) accept_thread_.join();
    std::vector<Session> sessions;
    {
        std::lock_guard lock(mutex_);
        sessions.swap(sessions_);
    }
    for (Session& session : sessions) session.connection->Shutdown();
    for (Session& session : sessions) session.thread.join();
    listener_.reset();
}

void SimNetServer::JoinFinished() {
    std::lock_guard lock(mutex_);
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        if (!it->done->load()) {
            ++it;
            continue;
        }
        it->thread.join();
        it = sessions_.erase(it);
    }
}

void SimNetServer::AcceptLoop() {
    while (!stopping_) {
        int error = 0;
        std::shared_ptr<TcpConnection> connection = listener_->Accept(kSliceMs, &error);
        JoinFinished();
        if (!connection) continue;
        ++connections_;
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::lock_guard lock(mutex_);
        sessions_.push_back({connection, std::thread([this, connection, done] {
                                 Serve(*connection);
                                 // The host sees the end at once, not when the thread is reaped.
                                 connection->Shutdown();
                                 done->store(true);
                             }),
                             done});
    }
}

bool SimNetServer::ReceiveExactly(TcpConnection& connection, uint8_t* buffer, size_t size) {
    for (size_t done = 0; done < size;) {
        if (stopping_) return false;
        size_t got = 0;
        const int error = connection.Receive(buffer + done, size - done, kSliceMs, &got);
        if (error == ETIMEDOUT) continue;
        if (error != 0 || got == 0) return false;
        done += got;
    }
    return true;
}

void SimNetServer::Serve(TcpConnection& connection) {
    uint8_t header[kNetHeaderSize];
    while (ReceiveExactly(connection, header, sizeof header)) {
        const uint16_t command = static_cast<uint16_t>(header[0] | (header[1] << 8));
        const uint32_t length = uint32_t{header[8]} | (uint32_t{header[9]} << 8) |
                                (uint32_t{header[10]} << 16) | (uint32_t{header[11]} << 24);
        // More than the camera's buffer holds: it drops the connection.
        if (length > SimNetCamera::MaxRequestData(command)) return;
        std::vector<uint8_t> data(length);
        if (!ReceiveExactly(connection, data.data(), data.size())) return;
        const NetAnswer answer = camera_.Handle(header, data);
        if (answer.action == NetAnswer::kClose) return;
        if (answer.action == NetAnswer::kSilence) {
            // Reads on without answering until the host gives up.
            uint8_t sink[256];
            while (ReceiveExactly(connection, sink, 1)) {
            }
            return;
        }
        const size_t piece = camera_.split() == 0 ? answer.reply.size() : camera_.split();
        for (size_t sent = 0; sent < answer.reply.size(); sent += piece) {
            const size_t n = std::min(piece, answer.reply.size() - sent);
            if (connection.SendAll(answer.reply.data() + sent, n, kSendMs) != 0) return;
        }
        if (answer.action == NetAnswer::kSendThenClose) return;
    }
}

}  // namespace orbisk::sim
