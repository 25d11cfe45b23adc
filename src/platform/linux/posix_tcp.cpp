// TCP over POSIX sockets. Every socket is non-blocking; each wait is a poll with the caller's
// time-out, so no call can hang on a peer that went silent.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>

#include "platform/tcp.h"

namespace orbisk {
namespace {

int PollTimeout(uint32_t timeout_ms) {
    return static_cast<int>(std::min<uint32_t>(timeout_ms, INT_MAX));
}

// 1 ready, 0 timed out, -1 failed (errno set).
int WaitFor(int fd, short events, uint32_t timeout_ms) {
    pollfd entry{fd, events, 0};
    for (;;) {
        const int rc = ::poll(&entry, 1, PollTimeout(timeout_ms));
        if (rc < 0 && errno == EINTR) continue;
        return rc < 0 ? -1 : rc;
    }
}

// "[::1]" names the same host as "::1".
std::string Unbracketed(const std::string& host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        return host.substr(1, host.size() - 2);
    return host;
}

struct AddressList {
    addrinfo* head = nullptr;
    ~AddressList() {
        if (head != nullptr) ::freeaddrinfo(head);
    }
};

int Resolve(const std::string& host, uint16_t port, bool passive, AddressList* out) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | (passive ? AI_NUMERICHOST | AI_PASSIVE : 0);
    const std::string service = std::to_string(port);
    return ::getaddrinfo(Unbracketed(host).c_str(), service.c_str(), &hints, &out->head);
}

class PosixTcpConnection final : public TcpConnection {
  public:
    explicit PosixTcpConnection(int fd) : fd_(fd) {
        // Messages are small and answered one at a time: send each at once.
        const int on = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ~PosixTcpConnection() override { ::close(fd_); }

    int SendAll(const uint8_t* data, size_t length, uint32_t timeout_ms) override {
        size_t sent = 0;
        while (sent < length) {
            const ssize_t n = ::send(fd_, data + sent, length - sent, MSG_NOSIGNAL);
            if (n > 0) {
                sent += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return errno;
            const int ready = WaitFor(fd_, POLLOUT, timeout_ms);
            if (ready < 0) return errno;
            if (ready == 0) return ETIMEDOUT;
        }
        return 0;
    }

    int Receive(uint8_t* buffer, size_t capacity, uint32_t timeout_ms, size_t* received) override {
        *received = 0;
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer, capacity, 0);
            if (n >= 0) {
                *received = static_cast<size_t>(n);
                return 0;
            }
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return errno;
            const int ready = WaitFor(fd_, POLLIN, timeout_ms);
            if (ready < 0) return errno;
            if (ready == 0) return ETIMEDOUT;
        }
    }

    void Shutdown() override { ::shutdown(fd_, SHUT_RDWR); }

  private:
    int fd_;
};

class PosixTcpListener final : public TcpListener {
  public:
    explicit PosixTcpListener(int fd) : fd_(fd) {}
    ~PosixTcpListener() override { ::close(fd_); }

    std::unique_ptr<TcpConnection> Accept(uint32_t timeout_ms, int* error) override {
        *error = 0;
        if (closed_.load()) return nullptr;
        const int ready = WaitFor(fd_, POLLIN, timeout_ms);
        if (ready <= 0 || closed_.load()) {
            if (ready < 0) *error = errno;
            return nullptr;
        }
        const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            // A client that gave up between the poll and the accept is no error.
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ECONNABORTED && errno != EINTR)
                *error = errno;
            return nullptr;
        }
        return std::make_unique<PosixTcpConnection>(fd);
    }

    void Close() override {
        closed_.store(true);
        // Wakes a blocked poll; the descriptor itself is closed with the object.
        ::shutdown(fd_, SHUT_RDWR);
    }

  private:
    int fd_;
    std::atomic<bool> closed_{false};
};

// Connects one address within the time left; the socket or -1 with errno set.
int ConnectOne(const addrinfo& address, uint32_t timeout_ms, TcpError* error) {
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                            address.ai_protocol);
    if (fd < 0) {
        *error = {TcpError::kSocket, errno};
        return -1;
    }
    int rc = ::connect(fd, address.ai_addr, address.ai_addrlen);
    if (rc != 0 && errno == EINPROGRESS) {
        const int ready = WaitFor(fd, POLLOUT, timeout_ms);
        if (ready <= 0) {
            *error = {TcpError::kConnect, ready == 0 ? ETIMEDOUT : errno};
            ::close(fd);
            return -1;
        }
        int socket_error = 0;
        socklen_t size = sizeof socket_error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &socket_error, &size) != 0) socket_error = errno;
        rc = socket_error == 0 ? 0 : -1;
        errno = socket_error;
    }
    if (rc != 0) {
        *error = {TcpError::kConnect, errno};
        ::close(fd);
        return -1;
    }
    return fd;
}

class PosixTcpNetwork final : public TcpNetwork {
  public:
    std::unique_ptr<TcpConnection> Connect(const std::string& host, uint16_t port,
                                           uint32_t timeout_ms, TcpError* error) override {
        *error = {};
        AddressList addresses;
        if (const int rc = Resolve(host, port, false, &addresses); rc != 0) {
            *error = {TcpError::kResolve, rc};
            return nullptr;
        }
        const auto start = std::chrono::steady_clock::now();
        for (const addrinfo* a = addresses.head; a != nullptr; a = a->ai_next) {
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - start)
                                   .count();
            if (spent >= timeout_ms) {
                *error = {TcpError::kConnect, ETIMEDOUT};
                break;
            }
            const int fd = ConnectOne(*a, timeout_ms - static_cast<uint32_t>(spent), error);
            if (fd >= 0) {
                *error = {};
                return std::make_unique<PosixTcpConnection>(fd);
            }
        }
        return nullptr;
    }

    std::unique_ptr<TcpListener> Listen(const std::string& address, uint16_t port,
                                        TcpError* error) override {
        *error = {};
        AddressList addresses;
        if (const int rc = Resolve(address, port, true, &addresses); rc != 0) {
            *error = {TcpError::kResolve, rc};
            return nullptr;
        }
        const addrinfo& a = *addresses.head;
        const int fd =
            ::socket(a.ai_family, a.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a.ai_protocol);
        if (fd < 0) {
            *error = {TcpError::kSocket, errno};
            return nullptr;
        }
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(fd, a.ai_addr, a.ai_addrlen) != 0 || ::listen(fd, 16) != 0) {
            *error = {TcpError::kListen, errno};
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<PosixTcpListener>(fd);
    }
};

}  // namespace

std::unique_ptr<TcpNetwork> CreateNativeTcpNetwork() {
    return std::make_unique<PosixTcpNetwork>();
}

}  // namespace orbisk
