// The IP-camera transport reading replies from the network: the input is what the camera
// sends (byte 0 picks how many bytes each receive hands out, the rest is the stream). Every
// operation must stay inside its caller's buffer, whatever the headers announce.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/clock.h"
#include "base/logger.h"
#include "transport/ip_cam_protocol.h"
#include "transport/ip_cam_vendor_cmd.h"

namespace {

using namespace orbisk;

class Stream {
  public:
    Stream(const uint8_t* data, size_t size)
        : piece_(size ? 1 + data[0] % 16 : 1), data_(data), size_(size), pos_(size ? 1 : 0) {}
    bool done() const { return pos_ >= size_; }
    size_t Take(uint8_t* out, size_t capacity) {
        const size_t n = std::min({capacity, piece_, size_ - pos_});
        std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return n;
    }

  private:
    size_t piece_;
    const uint8_t* data_;
    size_t size_;
    size_t pos_;
};

class FuzzConnection : public TcpConnection {
  public:
    explicit FuzzConnection(Stream& stream) : stream_(stream) {}
    int SendAll(const uint8_t*, size_t, uint32_t) override { return 0; }
    int Receive(uint8_t* buffer, size_t capacity, uint32_t, size_t* received) override {
        *received = stream_.Take(buffer, capacity);
        return 0;
    }
    void Shutdown() override {}

  private:
    Stream& stream_;
};

class FuzzNetwork : public TcpNetwork {
  public:
    explicit FuzzNetwork(Stream& stream) : stream_(stream) {}
    std::unique_ptr<TcpConnection> Connect(const std::string&, uint16_t, uint32_t,
                                           TcpError*) override {
        return std::make_unique<FuzzConnection>(stream_);
    }
    std::unique_ptr<TcpListener> Listen(const std::string&, uint16_t, TcpError*) override {
        return nullptr;
    }

  private:
    Stream& stream_;
};

class FreeLock : public DeviceLock {
  public:
    LockWaitResult Wait(uint32_t) override { return {LockWait::kAcquired, 0}; }
    void Release() override {}
};

constexpr uint8_t kGuard = 0xA5;
constexpr size_t kRoom = 80;

// A buffer of `size` usable bytes and a guard behind them.
struct Guarded {
    uint8_t bytes[kRoom + 16];
    Guarded() { std::memset(bytes, kGuard, sizeof bytes); }
    void Check(size_t size) const {
        for (size_t i = size; i < sizeof bytes; ++i)
            if (bytes[i] != kGuard) std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Stream stream(data, size);
    FuzzNetwork network(stream);
    VirtualClock clock;
    Logger logger(clock, nullptr);
    CIpCamVendorCmd ip("rtsp://10.0.0.1:554/", network, logger, std::make_shared<FreeLock>());

    uint16_t word = 0;
    ipcam::ParseChipIdentityText(data, std::min<size_t>(size, ipcam::kChipIdentityTextMax), &word);
    std::string host, reason;
    ipcam::HostOfAddress(
        std::string(reinterpret_cast<const char*>(data), std::min<size_t>(size, 64)), &host,
        &reason);

    for (int round = 0; round < 32 && !stream.done(); ++round) {
        Guarded a;
        uint32_t len = 64;
        if (ip.IpCamGet10(a.bytes, &len) == kOk && len > 64) std::abort();
        a.Check(64);
        Guarded b;
        ip.IpCamGet12(b.bytes, 32);
        b.Check(32);
        Guarded c;
        ip.IpCamQuery5(c.bytes, 48, 0);
        c.Check(48);
        Guarded d;
        ip.ReadMem(0x10, 70, d.bytes, nullptr, nullptr);
        d.Check(70);
        Guarded e;
        len = 16;
        if (ip.IpCamGet11(e.bytes, &len) == kOk && len > 16) std::abort();
        e.Check(16);
        uint32_t number = 0;
        uint8_t byte = 0;
        uint16_t value = 0;
        ip.IpCamGet20(1, &number);
        ip.IpCamGet16(&byte);
        ip.IpCamGet9(&number);
        ip.I2CRead(uint8_t(2), uint32_t(0x10), &value);
        ip.IpCamUpdate0A81(0x0F, 0x03);
        ip.IpCamCommand3();
    }
    return 0;
}
