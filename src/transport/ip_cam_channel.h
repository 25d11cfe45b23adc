#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/result.h"
#include "platform/tcp.h"
#include "transport/ip_cam_protocol.h"
#include "transport/vendor_cmd_common.h"

namespace orbisk {

class Logger;

// Result of every IP-camera operation that failed on the way: the connection is closed and
// the next operation connects again.
inline constexpr HResult kIpTransportFailure = 1;

// Bounds of every wait on the camera's connection.
struct IpCamTimeouts {
    uint32_t connect_ms = 3000;
    // Silence allowed while a request goes out or its reply comes in.
    uint32_t reply_ms = 10000;
    // The answer to a file upload: the camera may write its memory before it answers.
    uint32_t upload_reply_ms = 600000;
};

struct IpCamReply {
    ipcam::Header header;
    std::vector<uint8_t> data;
};

// One TCP connection to an IP camera on port 6666 and the exchange of messages on it. Any
// failure (cannot connect, send or receive, a reply longer than the caller expects, a reply
// status other than 0) closes the connection and answers kIpTransportFailure.
class IpCamChannel {
  public:
    IpCamChannel(std::string address, TcpNetwork& network, Logger& logger, IpCamTimeouts timeouts,
                 std::unique_ptr<TcpConnection> connection = nullptr);
    ~IpCamChannel();

    const std::string& address() const { return address_; }
    bool connected() const { return connection_ != nullptr; }
    // Connects unless connected; false (logged) when the address names no host or the camera
    // cannot be reached within the connect time-out.
    bool Connect();
    void Close();
    // Hands the connection over (to a transport made after the record), leaving none here.
    std::unique_ptr<TcpConnection> Release() { return std::move(connection_); }

    // Sends one request (header and data) and receives its reply, whose data may be at most
    // max_reply bytes (never more than ipcam::kMaxReplyData).
    HResult Exchange(const std::vector<uint8_t>& request, uint32_t max_reply, IpCamReply* reply);
    // The file upload: the header, then the data in slices (progress after each), then one
    // reply header, whose status is returned in *status. A reply that carries data or a status
    // other than 0 ends the connection, so the next exchange starts clean.
    HResult Upload(const ipcam::Header& header, const uint8_t* data, size_t size,
                   ProgressCallback progress, void* context, uint16_t* status);

  private:
    HResult Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
    HResult Send(const uint8_t* data, size_t size);
    // Exactly `size` bytes, each wait at most timeout_ms.
    HResult ReceiveExactly(uint8_t* buffer, size_t size, uint32_t timeout_ms);

    std::string address_;
    TcpNetwork& network_;
    Logger& logger_;
    IpCamTimeouts timeouts_;
    std::unique_ptr<TcpConnection> connection_;
};

}  // namespace orbisk
