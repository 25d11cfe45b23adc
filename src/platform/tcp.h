#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace orbisk {

// Why a connection or a listener could not be made: the step that failed and its errno.
struct TcpError {
    enum Step { kNone, kResolve, kSocket, kConnect, kListen };
    Step step = kNone;
    int code = 0;  // errno (for kResolve the resolver's own code)
};

// One TCP connection. Every wait is bounded by the caller's time-out; a connection is used by
// one thread at a time, except Shutdown, which any thread may call to end a blocked wait.
class TcpConnection {
  public:
    virtual ~TcpConnection() = default;
    // Sends all `length` bytes. 0, or an errno: ETIMEDOUT when the peer took nothing for
    // timeout_ms, EPIPE or ECONNRESET when it is gone.
    virtual int SendAll(const uint8_t* data, size_t length, uint32_t timeout_ms) = 0;
    // Waits at most timeout_ms for data and takes what is there, up to `capacity` bytes.
    // 0 with *received > 0 for data, 0 with *received == 0 when the peer closed the
    // connection; else an errno (ETIMEDOUT when nothing arrived in time).
    virtual int Receive(uint8_t* buffer, size_t capacity, uint32_t timeout_ms,
                        size_t* received) = 0;
    // Ends both directions; a Receive blocked in another thread returns.
    virtual void Shutdown() = 0;
};

// A listening socket of the device side (the simulated network camera).
class TcpListener {
  public:
    virtual ~TcpListener() = default;
    // Waits at most timeout_ms for the next connection; null when none came (*error 0 on a
    // time-out or after Close, else an errno).
    virtual std::unique_ptr<TcpConnection> Accept(uint32_t timeout_ms, int* error) = 0;
    // Stops listening; a blocked Accept returns null.
    virtual void Close() = 0;
};

class TcpNetwork {
  public:
    virtual ~TcpNetwork() = default;
    // Connects to host (a name or a numeric address, IPv6 in brackets or not) on `port`,
    // waiting at most timeout_ms. Null with the failed step in *error.
    virtual std::unique_ptr<TcpConnection> Connect(const std::string& host, uint16_t port,
                                                   uint32_t timeout_ms, TcpError* error) = 0;
    // Listens on a local numeric address and port (address reuse on, so a restarted server
    // gets its port back at once). Null with the failed step in *error.
    virtual std::unique_ptr<TcpListener> Listen(const std::string& address, uint16_t port,
                                                TcpError* error) = 0;
};

// The operating system's TCP/IP.
std::unique_ptr<TcpNetwork> CreateNativeTcpNetwork();

}  // namespace orbisk
