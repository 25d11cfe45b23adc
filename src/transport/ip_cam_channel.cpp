#include "transport/ip_cam_channel.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "base/logger.h"

namespace orbisk {
namespace {
// Upload slices: small enough for a steady progress display.
constexpr size_t kUploadSlice = 64 * 1024;
}  // namespace

IpCamChannel::IpCamChannel(std::string address, TcpNetwork& network, Logger& logger,
                           IpCamTimeouts timeouts, std::unique_ptr<TcpConnection> connection)
    : address_(std::move(address)),
      network_(network),
      logger_(logger),
      timeouts_(timeouts),
      connection_(std::move(connection)) {}

IpCamChannel::~IpCamChannel() = default;

bool IpCamChannel::Connect() {
    if (connection_) return true;
    std::string host, reason;
    if (!ipcam::HostOfAddress(address_, &host, &reason)) {
        logger_.DebugPrint("%s\n", reason.c_str());
        return false;
    }
    TcpError error;
    connection_ = network_.Connect(host, ipcam::kPort, timeouts_.connect_ms, &error);
    if (connection_) return true;
    switch (error.step) {
        case TcpError::kResolve:
            logger_.DebugPrint("cannot resolve %s (%d)\n", host.c_str(), error.code);
            break;
        case TcpError::kSocket:
            logger_.DebugPrint("socket() failed!\n");
            break;
        default:
            logger_.DebugPrint("connect() failed %d!\n", error.code);
            break;
    }
    return false;
}

void IpCamChannel::Close() {
    connection_.reset();
}

HResult IpCamChannel::Fail(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    logger_.DebugPrint("%s", text);
    Close();
    return kIpTransportFailure;
}

HResult IpCamChannel::Send(const uint8_t* data, size_t size) {
    if (const int error = connection_->SendAll(data, size, timeouts_.reply_ms); error != 0)
        return Fail("send() failed %d!\n", error);
    return kOk;
}

HResult IpCamChannel::ReceiveExactly(uint8_t* buffer, size_t size, uint32_t timeout_ms) {
    for (size_t done = 0; done < size;) {
        size_t got = 0;
        const int error = connection_->Receive(buffer + done, size - done, timeout_ms, &got);
        if (error == ETIMEDOUT) return Fail("recv() timed out after %u ms\n", timeout_ms);
        if (error != 0) return Fail("recv() failed %d!\n", error);
        if (got == 0) return Fail("recv() got %zu of %zu bytes: connection closed\n", done, size);
        done += got;
    }
    return kOk;
}

HResult IpCamChannel::Exchange(const std::vector<uint8_t>& request, uint32_t max_reply,
                               IpCamReply* reply) {
    if (!Connect()) return kIpTransportFailure;
    if (HResult hr = Send(request.data(), request.size()); hr != kOk) return hr;
    uint8_t head[ipcam::kHeaderSize];
    if (HResult hr = ReceiveExactly(head, sizeof head, timeouts_.reply_ms); hr != kOk) return hr;
    reply->header = ipcam::DecodeHeader(head);
    // The length comes from the network: it is checked before a byte more is taken.
    const uint32_t limit = std::min(max_reply, ipcam::kMaxReplyData);
    if (reply->header.length > limit)
        return Fail("reply to command %u announces %u bytes, more than %u\n", reply->header.command,
                    reply->header.length, limit);
    reply->data.assign(reply->header.length, 0);
    if (HResult hr = ReceiveExactly(reply->data.data(), reply->data.size(), timeouts_.reply_ms);
        hr != kOk)
        return hr;
    if (reply->header.status != 0)
        return Fail("command %u answered status %u\n", reply->header.command, reply->header.status);
    return kOk;
}

HResult IpCamChannel::Upload(const ipcam::Header& header, const uint8_t* data, size_t size,
                             ProgressCallback progress, void* context, uint16_t* status) {
    if (!Connect()) return kIpTransportFailure;
    uint8_t head[ipcam::kHeaderSize];
    ipcam::EncodeHeader(header, head);
    if (HResult hr = Send(head, sizeof head); hr != kOk) return hr;
    for (size_t done = 0; done < size;) {
        const size_t slice = std::min(kUploadSlice, size - done);
        if (HResult hr = Send(data + done, slice); hr != kOk) return hr;
        done += slice;
        if (progress != nullptr) progress(context, static_cast<uint32_t>(slice));
    }
    if (HResult hr = ReceiveExactly(head, sizeof head, timeouts_.upload_reply_ms); hr != kOk)
        return hr;
    const ipcam::Header answer = ipcam::DecodeHeader(head);
    *status = answer.status;
    if (answer.length != 0 || answer.status != 0) {
        logger_.DebugPrint("upload answered status %u with %u data bytes\n", answer.status,
                           answer.length);
        Close();
    }
    return kOk;
}

}  // namespace orbisk
