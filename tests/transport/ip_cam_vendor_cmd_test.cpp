// The IP-camera transport against the simulated network camera on a loopback address.
#include "transport/ip_cam_vendor_cmd.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <numeric>

#include "base/clock.h"
#include "base/logger.h"
#include "platform/tuning_lock.h"
#include "support/net_camera_rig.h"
#include "support/recorders.h"
#include "support/table_row.h"
#include "transport/mock_usb.h"

namespace orbisk {
namespace {

using test::Bytes;
using test::Hex;

// A request as the camera sees it: header fields, then the data bytes ("" for none).
std::string Msg(uint16_t command, uint32_t parameter, const std::string& data = "") {
    const std::vector<uint8_t> bytes = Bytes(data);
    std::vector<uint8_t> message(12);
    ipcam::EncodeHeader({command, 0, parameter, static_cast<uint32_t>(bytes.size())},
                        message.data());
    message.insert(message.end(), bytes.begin(), bytes.end());
    return Hex(message);
}

void Collect(void* context, uint32_t bytes) {
    static_cast<std::vector<uint32_t>*>(context)->push_back(bytes);
}

std::atomic<int> lock_number{0};

class IpCamTest : public ::testing::Test {
  protected:
    IpCamTest()
        : lock_name_("orbisk-test-tuning-" + std::to_string(getpid()) + "-" +
                     std::to_string(++lock_number)),
          lock_(OpenTuningLock(lock_name_)) {}
    ~IpCamTest() override { RemoveDeviceLock(lock_name_); }

    // The requests since the last call, as hex text.
    std::vector<std::string> Sent() {
        std::vector<std::string> out;
        for (const auto& request : rig_.camera().Requests()) out.push_back(Hex(request));
        rig_.camera().SetRecording(true);
        return out;
    }
    std::unique_ptr<CIpCamVendorCmd> Transport(const std::string& address,
                                               IpCamTimeouts timeouts = {3000, 5000, 5000}) {
        return std::make_unique<CIpCamVendorCmd>(address, rig_.network(), logger_, lock_, timeouts);
    }

    test::NetCameraRig rig_;
    VirtualClock clock_;
    test::RecordingLogSink log_;
    Logger logger_{clock_, &log_};
    std::string lock_name_;
    std::shared_ptr<DeviceLock> lock_;
    std::unique_ptr<CIpCamVendorCmd> ip_ = Transport(rig_.Address());
};

TEST_F(IpCamTest, EveryOperationSendsItsMessages) {
    uint8_t buf[128] = {};
    uint32_t u32 = 0;
    uint16_t u16 = 0;
    uint8_t u8 = 0;
    uint32_t len = sizeof buf;
    const std::string file = rig_.Folder() + "/../set7.bin";
    test::WriteFile(file, "abc");
    const uint8_t two[2] = {0xAA, 0xBB};
    CIpCamVendorCmd& ip = *ip_;
    struct Case {
        const char* what;
        std::function<HResult()> run;
        std::vector<std::string> messages;
    };
    const std::string sensor_select = Msg(6, 0, "02 00 00 01 00 00 60 00 34");
    const Case cases[] = {
        {"ReadMem",
         [&] { return ip.ReadMem(0x1234, 4, buf, nullptr, nullptr); },
         {Msg(6, 0, "81 00 00 04 00 00 34 12")}},
        {"WriteMem",
         [&] { return ip.WriteMem(0x1234, 2, two, nullptr, nullptr); },
         {Msg(6, 0, "01 00 00 02 00 00 34 12 AA BB")}},
        {"I2CRead",
         [&] { return ip.I2CRead(uint8_t(2), uint32_t(0x1234), &u16); },
         {sensor_select, Msg(6, 0, "82 00 00 02 00 00 60 00")}},
        {"I2CWrite",
         [&] { return ip.I2CWrite(uint8_t(2), uint32_t(0x1234), uint16_t(0xBEEF)); },
         {sensor_select, Msg(6, 0, "02 00 00 02 00 00 60 00 EF BE")}},
        {"IpCamRegRead83",
         [&] { return ip.IpCamRegRead83(0x10, 1, buf); },
         {Msg(6, 0, "83 00 00 01 00 00 10 00")}},
        {"IpCamRegWrite03",
         [&] { return ip.IpCamRegWrite03(0x10, 2, two); },
         {Msg(6, 0, "03 00 00 02 00 00 10 00 AA BB")}},
        {"I2CGenRead",
         [&] { return ip.I2CGenRead(0x60, 1, buf); },
         {Msg(6, 0, "82 00 00 01 00 00 60 00")}},
        {"I2CGenWrite",
         [&] { return ip.I2CGenWrite(0x60, 2, two); },
         {Msg(6, 0, "02 00 00 02 00 00 60 00 AA BB")}},
        {"I2CRandomRead",
         [&] { return ip.I2CRandomRead(0x60, 1, buf); },
         {Msg(6, 0, "82 00 01 01 00 00 60 00")}},
        {"I2CRandomWrite",
         [&] { return ip.I2CRandomWrite(0x60, 2, two); },
         {Msg(6, 0, "02 00 01 02 00 00 60 00 AA BB")}},
        {"IpCamCommand3", [&] { return ip.IpCamCommand3(); }, {Msg(3, 0)}},
        {"IpCamCommand3Ex", [&] { return ip.IpCamCommand3Ex(); }, {Msg(3, 0x12345678, "00")}},
        {"IpCamQuery4", [&] { return ip.IpCamQuery4(buf, 8, 1); }, {Msg(4, 0, "01")}},
        {"IpCamQuery5", [&] { return ip.IpCamQuery5(buf, 104, 0); }, {Msg(5, 0, "00")}},
        {"IpCamGet9", [&] { return ip.IpCamGet9(&u32); }, {Msg(9, 0)}},
        {"IpCamSet9 on", [&] { return ip.IpCamSet9(true); }, {Msg(9, 1)}},
        {"IpCamSet9 off", [&] { return ip.IpCamSet9(false); }, {Msg(9, 2)}},
        {"IpCamGet7", [&] { return ip.IpCamGet7(&u32); }, {Msg(7, 0)}},
        {"IpCamSet7 off", [&] { return ip.IpCamSet7(false, file.c_str()); }, {Msg(7, 2)}},
        {"IpCamSet7 with a file",
         [&] { return ip.IpCamSet7(true, file.c_str()); },
         {Msg(7, 1, "61 62 63")}},
        {"IpCamSet7 on", [&] { return ip.IpCamSet7(true, ""); }, {Msg(7, 1)}},
        {"IpCamGet8", [&] { return ip.IpCamGet8(&u32); }, {Msg(8, 0)}},
        {"IpCamSet8", [&] { return ip.IpCamSet8(true); }, {Msg(8, 1)}},
        {"IpCamSet10", [&] { return ip.IpCamSet10(two, 2); }, {Msg(10, 1, "AA BB")}},
        {"IpCamGet10", [&] { return ip.IpCamGet10(buf, &len); }, {Msg(10, 0)}},
        {"IpCamGet11", [&] { return ip.IpCamGet11(buf, &len); }, {Msg(11, 0)}},
        {"IpCamGet12", [&] { return ip.IpCamGet12(buf, 64); }, {Msg(12, 0)}},
        {"IpCamGet13", [&] { return ip.IpCamGet13(buf, 64); }, {Msg(13, 0)}},
        {"IpCamGet14", [&] { return ip.IpCamGet14(buf, 64); }, {Msg(14, 0)}},
        {"IpCamGet16", [&] { return ip.IpCamGet16(&u8); }, {Msg(16, 0, "80")}},
        {"IpCamSet16",
         [&] { return ip.IpCamSet16(7); },
         {Msg(16, 0, "00 00 00 00 00 00 00 00 07")}},
        {"IpCamCommand19", [&] { return ip.IpCamCommand19(5); }, {Msg(19, 0, "05")}},
        {"IpCamCommand17", [&] { return ip.IpCamCommand17(5); }, {Msg(17, 0, "05")}},
        {"IpCamQuery18", [&] { return ip.IpCamQuery18(buf, 8); }, {Msg(18, 0, "00")}},
        {"IpCamRead0581",
         [&] { return ip.IpCamRead0581(3, 2, buf); },
         {Msg(6, 0, "81 05 03 02 00 00 00 00")}},
        {"IpCamWrite0501",
         [&] { return ip.IpCamWrite0501(3, 2, two); },
         {Msg(6, 0, "01 05 03 02 00 00 00 00 AA BB")}},
        {"IpCamWrite0A1D",
         [&] { return ip.IpCamWrite0A1D(9); },
         {Msg(6, 0, "1D 0A 00 01 00 00 00 00 09")}},
        {"IpCamRead0A9D",
         [&] { return ip.IpCamRead0A9D(&u8); },
         {Msg(6, 0, "9D 0A 00 01 00 00 00 00")}},
        {"IpCamSet20",
         [&] { return ip.IpCamSet20(0x42, 0x11223344); },
         {Msg(20, 0x42, "44 33 22 11")}},
        {"IpCamGet20", [&] { return ip.IpCamGet20(0x42, &u32); }, {Msg(20, 0x42)}},
        {"IpCamRead0A81",
         [&] { return ip.IpCamRead0A81(&u8); },
         {Msg(6, 0, "81 0A 00 01 00 00 00 00")}},
        {"IpCamWrite0A01",
         [&] { return ip.IpCamWrite0A01(0x0F); },
         {Msg(6, 0, "01 0A 00 01 00 00 00 00 0F")}},
        {"IpCamUpdate0A81",
         [&] { return ip.IpCamUpdate0A81(0x3C, 0xFF); },
         {Msg(6, 0, "81 0A 00 01 00 00 00 00"), Msg(6, 0, "01 0A 00 01 00 00 00 00 3F")}},
        {"IpCamRead0A85",
         [&] { return ip.IpCamRead0A85(&u8); },
         {Msg(6, 0, "85 0A 00 01 00 00 00 00")}},
        {"IpCamWrite0A05",
         [&] { return ip.IpCamWrite0A05(1); },
         {Msg(6, 0, "05 0A 00 01 00 00 00 00 01")}},
        {"IpCamRead0A86",
         [&] { return ip.IpCamRead0A86(&u8); },
         {Msg(6, 0, "86 0A 00 01 00 00 00 00")}},
        {"IpCamWrite0A06",
         [&] { return ip.IpCamWrite0A06(2); },
         {Msg(6, 0, "06 0A 00 01 00 00 00 00 02")}},
    };
    Sent();
    for (const Case& c : cases) {
        TRACE_ROW(cases, c);
        len = sizeof buf;
        EXPECT_EQ(c.run(), kOk) << c.what;
        EXPECT_EQ(Sent(), c.messages) << c.what;
    }
    // One connection carried them all.
    EXPECT_EQ(rig_.server().Connections(), 1u);
    // Operations outside the protocol send nothing.
    EXPECT_EQ(ip.GetDevStatus(0, buf, 8), kNotImpl);
    EXPECT_EQ(ip.SPI_SF_ReadSr(&u8), kNotImpl);
    EXPECT_FALSE(ip.DevQualify());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(IpCamTest, ValuesComeBackFromTheCameraModel) {
    // Registers are the controller's: the chip identity bytes, and what was written.
    uint8_t chip[2] = {};
    ASSERT_EQ(ip_->ReadMem(0xFE21, 2, chip, nullptr, nullptr), kOk);
    uint8_t model[2] = {};
    rig_.controller().ReadRegisters(0xFE21, 2, model);
    EXPECT_EQ(Hex({chip[0], chip[1]}), Hex({model[0], model[1]}));
    // The sensor keeps a 16-bit register across a select-then-write and a select-then-read.
    uint16_t value = 0;
    ASSERT_EQ(ip_->I2CWrite(uint8_t(2), uint32_t(0x21), uint16_t(0xBEEF)), kOk);
    ASSERT_EQ(ip_->I2CRead(uint8_t(2), uint32_t(0x21), &value), kOk);
    EXPECT_EQ(value, 0xBEEF);
    ASSERT_EQ(ip_->I2CRead(uint8_t(1), uint32_t(0x22), &value), kOk);
    EXPECT_EQ(value, 0xBE);
    EXPECT_EQ(ip_->I2CRead(uint8_t(3), uint32_t(0x22), &value), kFail);
    // The numbered settings, and the 0x0A81 byte's bits.
    uint32_t number = 0;
    ASSERT_EQ(ip_->IpCamSet9(true), kOk);
    ASSERT_EQ(ip_->IpCamGet9(&number), kOk);
    EXPECT_EQ(number, 1u);
    ASSERT_EQ(ip_->IpCamSet20(7, 0xCAFE0001), kOk);
    ASSERT_EQ(ip_->IpCamGet20(7, &number), kOk);
    EXPECT_EQ(number, 0xCAFE0001u);
    uint8_t byte = 0;
    ASSERT_EQ(ip_->IpCamWrite0A01(0xF0), kOk);
    ASSERT_EQ(ip_->IpCamUpdate0A81(0x3C, 0x05), kOk);
    ASSERT_EQ(ip_->IpCamRead0A81(&byte), kOk);
    EXPECT_EQ(byte, 0xC4);
    ASSERT_EQ(ip_->IpCamSet16(0x5A), kOk);
    ASSERT_EQ(ip_->IpCamGet16(&byte), kOk);
    EXPECT_EQ(byte, 0x5A);
    // They live in the camera folder: a camera started again still has them.
    auto again = std::make_unique<sim::SimNetCamera>(
        std::shared_ptr<sim::SimCamera>(&rig_.controller(), [](sim::SimCamera*) {}));
    const uint8_t get9[12] = {9};
    EXPECT_EQ(Hex(again->Handle(get9, {}).reply), Msg(9, 1));
}

TEST_F(IpCamTest, A70ByteWriteGoesInPiecesOf32_32And6) {
    std::vector<uint8_t> data(70);
    std::iota(data.begin(), data.end(), uint8_t{1});
    std::vector<uint32_t> progress;
    Sent();
    ASSERT_EQ(ip_->WriteMem(0x2000, 70, data.data(), Collect, &progress), kOk);
    const std::vector<std::string> sent = Sent();
    ASSERT_EQ(sent.size(), 3u);
    const auto piece = [&](uint16_t address, size_t from, size_t count) {
        std::vector<uint8_t> body = {0x01,
                                     0x00,
                                     0x00,
                                     static_cast<uint8_t>(count),
                                     0,
                                     0,
                                     static_cast<uint8_t>(address),
                                     static_cast<uint8_t>(address >> 8)};
        body.insert(body.end(), data.begin() + from, data.begin() + from + count);
        return Msg(6, 0, Hex(body));
    };
    EXPECT_EQ(sent[0], piece(0x2000, 0, 32));
    EXPECT_EQ(sent[1], piece(0x2020, 32, 32));
    EXPECT_EQ(sent[2], piece(0x2040, 64, 6));
    EXPECT_EQ(progress, (std::vector<uint32_t>{32, 32, 6}));
    // And the camera holds all 70 bytes.
    std::vector<uint8_t> back(70);
    ASSERT_EQ(ip_->ReadMem(0x2000, 70, back.data(), nullptr, nullptr), kOk);
    EXPECT_EQ(back, data);
    Sent();
    // A transfer whose last piece would need an address past 16 bits is refused unsent.
    EXPECT_EQ(ip_->ReadMem(0xFFE0, 64, back.data(), nullptr, nullptr), kInvalidArg);
    EXPECT_EQ(ip_->WriteMem(0, 4, nullptr, nullptr, nullptr), kInvalidArg);
    EXPECT_TRUE(Sent().empty());
}

// The host's side of a connection taking at most 5 bytes per receive, over the real socket.
class TrickleNetwork : public TcpNetwork {
  public:
    explicit TrickleNetwork(TcpNetwork& inner) : inner_(inner) {}
    std::unique_ptr<TcpConnection> Connect(const std::string& host, uint16_t port,
                                           uint32_t timeout_ms, TcpError* error) override {
        ports.push_back(port);
        auto connection = inner_.Connect(host, port, timeout_ms, error);
        if (!connection) return nullptr;
        return std::make_unique<Trickle>(std::move(connection), &receives);
    }
    std::unique_ptr<TcpListener> Listen(const std::string&, uint16_t, TcpError*) override {
        return nullptr;
    }
    std::vector<uint16_t> ports;
    int receives = 0;

  private:
    class Trickle : public TcpConnection {
      public:
        Trickle(std::unique_ptr<TcpConnection> inner, int* receives)
            : inner_(std::move(inner)), receives_(receives) {}
        int SendAll(const uint8_t* data, size_t length, uint32_t timeout_ms) override {
            return inner_->SendAll(data, length, timeout_ms);
        }
        int Receive(uint8_t* buffer, size_t capacity, uint32_t timeout_ms,
                    size_t* received) override {
            ++*receives_;
            return inner_->Receive(buffer, std::min<size_t>(capacity, 5), timeout_ms, received);
        }
        void Shutdown() override { inner_->Shutdown(); }

      private:
        std::unique_ptr<TcpConnection> inner_;
        int* receives_;
    };
    TcpNetwork& inner_;
};

TEST_F(IpCamTest, A100ByteReplyInPiecesIsCompletedAndPortsAreAlways6666) {
    std::vector<uint8_t> data(100);
    std::iota(data.begin(), data.end(), uint8_t{0x40});
    ASSERT_EQ(ip_->IpCamSet10(data.data(), 100), kOk);
    // The camera sends its reply in pieces of 7 bytes, the host takes at most 5 at a time.
    rig_.camera().SetSplit(7);
    TrickleNetwork trickle(rig_.network());
    for (const std::string& address :
         {"rtsp://" + rig_.host() + ":554/stream/main",
          "rtsp://user:pw@" + rig_.host() + ":554/a:b", "RTSP://" + rig_.host() + ":8554"}) {
        CIpCamVendorCmd ip(address, trickle, logger_, lock_, {3000, 5000, 5000});
        uint8_t buf[128] = {};
        uint32_t len = sizeof buf;
        trickle.receives = 0;
        ASSERT_EQ(ip.IpCamGet10(buf, &len), kOk) << address;
        EXPECT_EQ(len, 100u);
        EXPECT_EQ(std::vector<uint8_t>(buf, buf + len), data);
        EXPECT_GE(trickle.receives, 23);  // 12 + 100 bytes, 5 at a time
    }
    EXPECT_EQ(trickle.ports, (std::vector<uint16_t>{6666, 6666, 6666}));
    // Without a port there is no camera address; another scheme is none either.
    for (const char* wrong : {"rtsp://127.0.0.1/live", "http://127.0.0.1:80/", "rtsp://:554/x"}) {
        CIpCamVendorCmd ip(wrong, trickle, logger_, lock_);
        EXPECT_EQ(ip.IpCamCommand3(), kIpTransportFailure) << wrong;
    }
    EXPECT_EQ(trickle.ports.size(), 3u);
    EXPECT_TRUE(log_.Contains("RTSP address is wrong!"));
}

TEST_F(IpCamTest, EachFaultEndsWith1AndTheNextOperationReconnects) {
    // A camera that never answers costs one reply wait: a short one for that case.
    auto quick = Transport(rig_.Address(), {3000, 500, 500});
    struct Case {
        sim::NetFault fault;
        const char* trace;
    };
    const Case cases[] = {
        {sim::NetFault::kShortReply, "connection closed"},
        {sim::NetFault::kWrongStatus, "answered status 2"},
        {sim::NetFault::kClose, "connection closed"},
        {sim::NetFault::kSilent, "timed out after 500 ms"},
    };
    uint8_t text[256] = {};
    for (const Case& c : cases) {
        TRACE_ROW(cases, c);
        CIpCamVendorCmd& ip = c.fault == sim::NetFault::kSilent ? *quick : *ip_;
        ASSERT_EQ(ip.IpCamGet12(text, sizeof text), kOk);
        const uint32_t connections = rig_.server().Connections();
        rig_.camera().SetFault(c.fault);
        EXPECT_EQ(ip.IpCamGet12(text, sizeof text), kIpTransportFailure) << c.trace;
        EXPECT_FALSE(ip.connected()) << c.trace;
        EXPECT_TRUE(log_.Contains(c.trace)) << c.trace;
        ASSERT_EQ(ip.IpCamGet12(text, sizeof text), kOk) << c.trace;
        EXPECT_EQ(rig_.server().Connections(), connections + 1) << c.trace;
    }
    // No camera at all: the connect fails at once on loopback.
    CIpCamVendorCmd nobody("rtsp://" + test::UnusedLoopbackHost() + ":554/", rig_.network(),
                           logger_, lock_);
    EXPECT_EQ(nobody.IpCamCommand3(), kIpTransportFailure);
    EXPECT_TRUE(log_.Contains("connect() failed"));
}

TEST_F(IpCamTest, RepliesLargerThanTheCallerExpectsAreRefused) {
    std::vector<uint8_t> data(100, 0x11);
    ASSERT_EQ(ip_->IpCamSet10(data.data(), 100), kOk);
    // Caller's buffer of 40 bytes, with a guard behind it.
    uint8_t buf[48];
    std::fill(std::begin(buf), std::end(buf), 0xEE);
    uint32_t len = 40;
    EXPECT_EQ(ip_->IpCamGet10(buf, &len), kIpTransportFailure);
    EXPECT_TRUE(std::all_of(std::begin(buf), std::end(buf), [](uint8_t b) { return b == 0xEE; }));
    EXPECT_FALSE(ip_->connected());
    EXPECT_TRUE(log_.Contains("announces 100 bytes, more than 40"));
    // The version text does not fit 4 bytes either; it fits 64.
    EXPECT_EQ(ip_->IpCamGet12(buf, 4), kIpTransportFailure);
    uint8_t text[64] = {};
    ASSERT_EQ(ip_->IpCamGet12(text, sizeof text), kOk);
    EXPECT_STREQ(reinterpret_cast<char*>(text), "0x00-0000-0100");
}

TEST_F(IpCamTest, UploadsA1MegabyteFileOnAFreshConnection) {
    std::string content(1 << 20, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 131 + (i >> 9));
    const std::string file = rig_.Folder() + "/../firmware.bin";
    test::WriteFile(file, content);
    uint8_t text[64] = {};
    ASSERT_EQ(ip_->IpCamGet12(text, sizeof text), kOk);
    Sent();
    std::vector<uint32_t> progress;
    ASSERT_EQ(ip_->SendFile(file.c_str(), Collect, &progress), kOk);
    EXPECT_EQ(test::ReadFile(rig_.Folder() + "/upload.bin"), content);
    EXPECT_EQ(std::accumulate(progress.begin(), progress.end(), size_t{0}), content.size());
    EXPECT_GT(progress.size(), 4u);
    const auto requests = rig_.camera().Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(Hex({requests[0].begin(), requests[0].begin() + 12}),
              "02 00 00 00 00 00 00 00 00 00 10 00");
    EXPECT_EQ(requests[0].size(), 12u + content.size());
    EXPECT_EQ(rig_.server().Connections(), 2u);
    // The connection stays usable after it.
    ASSERT_EQ(ip_->IpCamGet12(text, sizeof text), kOk);
    Sent();

    // The camera's refusal is its status; a file that cannot be read sends nothing.
    rig_.camera().SetFault(sim::NetFault::kWrongStatus);
    EXPECT_EQ(ip_->IpCamSendFile(file.c_str()), 2);
    const std::string empty = rig_.Folder() + "/../empty.bin";
    test::WriteFile(empty, "");
    EXPECT_EQ(ip_->IpCamSendFile(empty.c_str()), kInvalidArg);
    EXPECT_EQ(ip_->IpCamSendFile((file + ".missing").c_str()), kIpTransportFailure);
    EXPECT_EQ(ip_->IpCamSendFile(rig_.Folder().c_str()), kIpTransportFailure);
    EXPECT_EQ(Sent().size(), 1u);
}

// A lock that lets the test see where the exchange happens.
class WatchedLock : public DeviceLock {
  public:
    explicit WatchedLock(std::function<void(const char*)> seen) : seen_(std::move(seen)) {}
    LockWaitResult Wait(uint32_t) override {
        seen_("wait");
        return {fail ? LockWait::kFailed : LockWait::kAcquired, 0};
    }
    void Release() override { seen_("release"); }
    bool fail = false;

  private:
    std::function<void(const char*)> seen_;
};

TEST_F(IpCamTest, EveryExchangeHappensUnderTheTuningLock) {
    std::vector<std::string> events;
    auto lock = std::make_shared<WatchedLock>([&](const char* what) {
        events.push_back(std::string(what) + " " + std::to_string(rig_.camera().RequestCount()));
    });
    CIpCamVendorCmd ip(rig_.Address(), rig_.network(), logger_, lock);
    uint8_t buf[40] = {};
    // A two-piece read holds the lock around both pieces, and each piece takes it again.
    ASSERT_EQ(ip.ReadMem(0x100, 40, buf, nullptr, nullptr), kOk);
    EXPECT_EQ(events, (std::vector<std::string>{"wait 0", "wait 0", "release 1", "wait 1",
                                                "release 2", "release 2"}));
    lock->fail = true;
    EXPECT_EQ(ip.IpCamCommand3(), kIpTransportFailure);
    EXPECT_EQ(rig_.camera().RequestCount(), 2u);
}

}  // namespace
}  // namespace orbisk
