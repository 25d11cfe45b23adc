#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/device_lock.h"
#include "transport/ip_cam_channel.h"
#include "transport/vendor_cmd_common.h"

namespace orbisk {

// An IP camera over TCP: every operation is one or more messages on one connection to port
// 6666 of the camera, each exchange under the tuning lock. Results: 0 success,
// kIpTransportFailure (1) when the camera could not be reached or answered wrongly (the
// connection is closed; the next operation connects again), kInvalidArg before anything was
// sent, kNotImpl for what the protocol does not carry.
class CIpCamVendorCmd : public CVendorCmdCommon {
  public:
    // `address` is the camera's "rtsp://host:port/…" address; `connection`, when given, is
    // one already open to it (the record's).
    CIpCamVendorCmd(std::string address, TcpNetwork& network, Logger& logger,
                    std::shared_ptr<DeviceLock> tuning_lock, IpCamTimeouts timeouts = {},
                    std::unique_ptr<TcpConnection> connection = nullptr);
    ~CIpCamVendorCmd() override;

    const std::string& address() const { return channel_.address(); }
    bool connected() const { return channel_.connected(); }

    // Memory (command 6, code 0x0081 / 0x0001); progress after every piece.
    HResult ReadMem(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                    void* context) override;
    HResult WriteMem(uint32_t addr, uint32_t len, const uint8_t* buf, ProgressCallback progress,
                     void* context) override;
    // Sensor registers through the sensor's I2C address; width 1 or 2, else kFail.
    HResult I2CRead(uint8_t width, uint32_t reg, uint16_t* value) override;
    HResult I2CWrite(uint8_t width, uint32_t reg, uint16_t value) override;
    using CVendorCmdCommon::I2CRead;
    using CVendorCmdCommon::I2CWrite;
    HResult IpCamRegRead83(uint32_t addr, uint32_t len, uint8_t* buf) override;
    HResult IpCamRegWrite03(uint32_t addr, uint32_t len, const uint8_t* buf) override;
    HResult I2CGenRead(uint8_t addr, uint16_t len, uint8_t* buf) override;
    HResult I2CGenWrite(uint8_t addr, uint16_t len, const uint8_t* buf) override;
    HResult I2CRandomRead(uint8_t slave, uint16_t len, uint8_t* buf) override;
    HResult I2CRandomWrite(uint8_t slave, uint16_t len, const uint8_t* buf) override;

    // The file upload with a progress callback (bytes sent); the reply status, or 1 when the
    // file cannot be read completely or the transfer fails; kInvalidArg for an empty file.
    HResult IpCamSendFile(const char* path) override;
    HResult SendFile(const char* path, ProgressCallback progress, void* context);
    HResult IpCamCommand3() override;
    HResult IpCamCommand3Ex() override;
    HResult IpCamQuery4(uint8_t* buf, uint32_t size, uint8_t value) override;
    HResult IpCamQuery5(uint8_t* buf, uint32_t size, uint8_t value) override;
    HResult IpCamGet9(uint32_t* value) override;
    HResult IpCamSet9(bool on) override;
    HResult IpCamGet7(uint32_t* value) override;
    HResult IpCamSet7(bool on, const char* path) override;
    HResult IpCamGet8(uint32_t* value) override;
    HResult IpCamSet8(bool on) override;
    HResult IpCamGet10(uint8_t* buf, uint32_t* len) override;
    HResult IpCamSet10(const uint8_t* data, uint32_t len) override;
    HResult IpCamGet11(uint8_t* buf, uint32_t* len) override;
    HResult IpCamGet12(uint8_t* buf, uint32_t size) override;
    HResult IpCamGet13(uint8_t* buf, uint32_t size) override;
    HResult IpCamGet14(uint8_t* buf, uint32_t size) override;
    HResult IpCamGet16(uint8_t* value) override;
    HResult IpCamSet16(uint8_t value) override;
    HResult IpCamCommand19(uint8_t value) override;
    HResult IpCamQuery18(uint8_t* buf, uint32_t size) override;
    HResult IpCamCommand17(uint8_t value) override;
    HResult IpCamRead0581(uint8_t selector, uint32_t len, uint8_t* buf) override;
    HResult IpCamWrite0501(uint8_t selector, uint32_t len, const uint8_t* buf) override;
    HResult IpCamWrite0A1D(uint8_t value) override;
    HResult IpCamRead0A9D(uint8_t* value) override;
    HResult IpCamSet20(uint32_t param, uint32_t value) override;
    HResult IpCamGet20(uint32_t param, uint32_t* value) override;

    // Own operations: one-byte registers of command 6.
    HResult IpCamRead0A81(uint8_t* value);
    // Replaces the bits of `mask` in the 0x0A81 byte by those of `value`.
    HResult IpCamUpdate0A81(uint8_t mask, uint8_t value);
    HResult IpCamWrite0A01(uint8_t value);
    HResult IpCamRead0A85(uint8_t* value);
    HResult IpCamWrite0A05(uint8_t value);
    HResult IpCamRead0A86(uint8_t* value);
    HResult IpCamWrite0A06(uint8_t value);

  private:
    // One message under the tuning lock; the reply data at most max_reply bytes.
    HResult Exchange(uint16_t command, uint32_t parameter, const uint8_t* data, uint32_t length,
                     uint32_t max_reply, IpCamReply* reply);
    HResult Simple(uint16_t command, uint32_t parameter, const uint8_t* data, uint32_t length);
    // Reply data into buf when it fits in size; a longer reply is refused.
    HResult Fetch(uint16_t command, uint32_t parameter, const uint8_t* data, uint32_t length,
                  uint8_t* buf, uint32_t size, uint32_t* stored);
    HResult GetSwitch(uint16_t command, uint32_t* value);
    // Command 6 in pieces of 32 bytes, the address advancing by 32.
    HResult Access(uint16_t code, uint8_t extra, uint32_t addr, uint32_t len, const uint8_t* out,
                   uint8_t* in, ProgressCallback progress = nullptr, void* context = nullptr);
    HResult ReadByte(uint16_t code, uint8_t* value);
    HResult WriteByte(uint16_t code, uint8_t value);
    // The whole file, at most `limit` bytes: kIpTransportFailure when it cannot be read
    // completely, kInvalidArg when it is larger.
    HResult ReadWholeFile(const char* path, uint64_t limit, std::vector<uint8_t>* bytes);

    Logger& logger_;
    std::shared_ptr<DeviceLock> lock_;
    IpCamChannel channel_;
};

}  // namespace orbisk
