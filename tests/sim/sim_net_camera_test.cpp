// The simulated network camera answers exactly the requests of the protocol.
#include "sim/sim_net_camera.h"

#include <gtest/gtest.h>

#include "sim/sim_net_server.h"
#include "support/net_camera_rig.h"
#include "transport/mock_usb.h"

namespace orbisk::sim {
namespace {

using orbisk::test::Bytes;

class SimNetCameraTest : public ::testing::Test {
  protected:
    // The status of the reply to one request.
    uint16_t Status(uint16_t command, uint32_t parameter, const std::string& data) {
        const std::vector<uint8_t> bytes = Bytes(data);
        uint8_t header[kNetHeaderSize] = {static_cast<uint8_t>(command),
                                          static_cast<uint8_t>(command >> 8)};
        for (int i = 0; i < 4; ++i) {
            header[4 + i] = static_cast<uint8_t>(parameter >> (8 * i));
            header[8 + i] = static_cast<uint8_t>(bytes.size() >> (8 * i));
        }
        const NetAnswer answer = rig_.camera().Handle(header, bytes);
        return static_cast<uint16_t>(answer.reply.at(2) | (answer.reply.at(3) << 8));
    }

    orbisk::test::NetCameraRig rig_;
};

TEST_F(SimNetCameraTest, RequestsOutsideTheProtocolGetAnErrorStatus) {
    struct Case {
        const char* what;
        uint16_t command;
        uint32_t parameter;
        const char* data;
        uint16_t status;
    };
    const Case cases[] = {
        {"a valid memory read", 6, 0, "81 00 00 02 00 00 21 FE", kNetOk},
        {"unknown command", 99, 0, "", kNetUnknownCommand},
        {"unknown access code", 6, 0, "87 00 00 01 00 00 00 00", kNetUnknownCommand},
        {"a piece of 33 bytes", 6, 0, "81 00 00 21 00 00 00 00", kNetBadRequest},
        {"a piece of 0 bytes", 6, 0, "81 00 00 00 00 00 00 00", kNetBadRequest},
        {"a read that carries data", 6, 0, "81 00 00 01 00 00 00 00 AA", kNetBadRequest},
        {"a write short of its count", 6, 0, "01 00 00 02 00 00 00 00 AA", kNetBadRequest},
        {"a second selector", 6, 0, "81 00 00 01 01 00 00 00", kNetBadRequest},
        {"register access with a parameter", 6, 1, "81 00 00 01 00 00 00 00", kNetBadRequest},
        {"past the registers", 6, 0, "81 00 00 20 00 00 F0 FF", kNetOutOfRange},
        {"no device at that I2C address", 6, 0, "82 00 00 01 00 00 61 00", kNetNoAcknowledge},
        {"a one-byte register of two bytes", 6, 0, "9D 0A 00 02 00 00 00 00", kNetBadRequest},
        {"past a 0x05 block", 6, 0, "81 05 01 02 00 00 FF 00", kNetOutOfRange},
        {"command 3 with another parameter", 3, 5, "", kNetBadRequest},
        {"command 16 read with another selector", 16, 0, "81", kNetBadRequest},
        {"command 16 write of 8 bytes", 16, 0, "00 00 00 00 00 00 00 00", kNetBadRequest},
        {"switch 9 set with data", 9, 1, "01", kNetBadRequest},
        {"switch 8 to 3", 8, 3, "", kNetBadRequest},
        {"status record 13 of 13", 4, 0, "0D", kNetOutOfRange},
        {"an empty upload", 2, 0, "", kNetBadRequest},
        {"command 20 with 3 bytes", 20, 1, "01 02 03", kNetBadRequest},
        {"command 18 with 1", 18, 0, "01", kNetBadRequest},
        {"a text with data", 12, 0, "00", kNetBadRequest},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Status(c.command, c.parameter, c.data), c.status) << c.what;
}

TEST_F(SimNetCameraTest, TheServerDropsARequestLargerThanTheCameraTakes) {
    auto network = CreateNativeTcpNetwork();
    TcpError error;
    auto connection = network->Connect(rig_.host(), kNetPort, 3000, &error);
    ASSERT_TRUE(connection) << error.code;
    // Command 10 announcing 2 MB: more than the camera's message buffer.
    const uint8_t header[kNetHeaderSize] = {10, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x20, 0};
    ASSERT_EQ(connection->SendAll(header, sizeof header, 3000), 0);
    uint8_t reply[16];
    size_t got = 1;
    ASSERT_EQ(connection->Receive(reply, sizeof reply, 5000, &got), 0);
    EXPECT_EQ(got, 0u);  // hung up, nothing answered
    EXPECT_EQ(rig_.camera().RequestCount(), 0u);
}

}  // namespace
}  // namespace orbisk::sim
