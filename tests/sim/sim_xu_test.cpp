// The simulated camera's USB face and extension-unit protocol, driven with control transfers.
#include <gtest/gtest.h>

#include <cerrno>

#include "sim/sim_fixture.h"

namespace orbisk::sim::test {
namespace {

const HResult kStall = ResultFromErrno(EPIPE);

// Offset of the first descriptor of this type and subtype in a configuration, or -1.
int FindDescriptor(const std::vector<uint8_t>& config, uint8_t type, uint8_t subtype,
                   int from = 0) {
    for (size_t i = static_cast<size_t>(from); i + 2 < config.size(); i += config[i]) {
        if (config[i] == 0) return -1;
        if (config[i + 1] == type && (type != 0x24 || config[i + 2] == subtype))
            return static_cast<int>(i);
    }
    return -1;
}

TEST(SimDescriptors, RomCameraListsItsIdentityAndTheVendorUnit) {
    Rig rig;
    const UsbDeviceInfo& info = rig.info;
    EXPECT_EQ(info.vid, 0x2C7E);
    EXPECT_EQ(info.pid, 0xB016);  // boot ROM of chip model 22
    EXPECT_EQ(info.speed, 3);
    EXPECT_EQ(info.port_chain, std::vector<uint8_t>{1});
    EXPECT_EQ(info.node_handle, NodeHandleFor(1, {1}));
    ASSERT_EQ(info.device_descriptor.size(), 18u);
    EXPECT_EQ(info.device_descriptor[8] | (info.device_descriptor[9] << 8), 0x2C7E);

    // The configuration read over the wire equals the listed one and is self-consistent.
    std::vector<uint8_t> config(1024);
    uint32_t got = 0;
    ASSERT_EQ(rig.handle->GetDescriptor(2, 0, 0, config.data(), 1024, &got), kOk);
    config.resize(got);
    EXPECT_EQ(config, info.config_descriptor);
    EXPECT_EQ(config[2] | (config[3] << 8), static_cast<int>(config.size()));
    const int xu = FindDescriptor(config, 0x24, 0x06);
    ASSERT_GE(xu, 0);
    EXPECT_EQ(config[xu + 3], 4);  // bUnitID
    EXPECT_EQ(config[xu + 4], 0xA1);
    EXPECT_EQ(config[xu + 19], 0x95);
    EXPECT_GE(config[xu + 20], 2);                    // bNumControls
    EXPECT_EQ(config[xu + 22 + config[xu + 21]], 2);  // bControlSize
    EXPECT_EQ(config[xu + 25] & 0x06, 0x06);          // controls 10 and 11
    EXPECT_EQ(FindDescriptor(config, 0x24, 0x06, xu + config[xu]), -1);

    std::string text;
    ASSERT_EQ(rig.handle->GetStringDescriptor(1, &text), kOk);
    EXPECT_EQ(text, "Camera Controller");
    EXPECT_EQ(rig.handle->GetStringDescriptor(3, &text), kStall);  // the ROM has no serial
}

TEST(SimDescriptors, SecondVendorUnitAndTwoEntriesWhenConfigured) {
    SimSettings settings;
    settings.second_unit = true;
    settings.entries = 2;
    Rig rig(settings);
    const auto list = rig.bus.List();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].node_handle, list[1].node_handle);
    const auto& config = list[0].config_descriptor;
    const int first = FindDescriptor(config, 0x24, 0x06);
    const int second = FindDescriptor(config, 0x24, 0x06, first + config[first]);
    ASSERT_GE(second, 0);
    EXPECT_EQ(config[second + 4], 0xC4);
    EXPECT_EQ(config[second + 3], 5);
}

TEST(SimExtensionUnit, QualifyAndStatusBlockInRom) {
    Rig rig;
    uint8_t reply[8] = {};
    ASSERT_EQ(rig.In(0x00, 0xD0, 0, 8, 0, reply, 8), kOk);
    EXPECT_EQ(0, std::memcmp(reply, "ZORVINE", 8));
    EXPECT_EQ(rig.Status(), kStsNoErr);

    const auto block = rig.StatusBlock();
    ASSERT_EQ(block.size(), kStatusBlockSize);
    EXPECT_EQ(block[64] & 0x0F, 2);  // boot ROM
    EXPECT_EQ(block[6], 0x10);       // chip identity bytes
    EXPECT_EQ(block[7], 0xC0);
    EXPECT_EQ(VersionText(block), "0x00-0000-0100");
    EXPECT_EQ(std::vector<uint8_t>(block.begin() + 24, block.begin() + 32),
              std::vector<uint8_t>(8, 0));

    uint8_t chip[2] = {};
    ASSERT_EQ(rig.ReadMem(0xFE21, 2, chip), kOk);
    EXPECT_EQ(chip[0], 0x10);
    EXPECT_EQ(chip[1], 0xC0);
}

TEST(SimExtensionUnit, ProtocolErrorsStallAndLeaveTheirStatus) {
    struct Case {
        const char* what;
        std::function<HResult(Rig&)> act;
        uint8_t status;
    };
    const uint8_t seven[7] = {};
    uint8_t packet[8] = {};
    const std::vector<Case> cases = {
        {"unknown group", [](Rig& r) { return r.Command(0x09, 0x01); }, kStsUnknownCmd},
        {"group the channel does not have", [](Rig& r) { return r.Command(0x05, 0xC3, 0, 1); },
         kStsUnknownCmd},
        // Parameters a command does not take must be 0; a fixed length must be that length.
        {"status read with an address", [](Rig& r) { return r.Command(0x02, 0xC3, 0x10, 1); },
         kStsUnknownSubCmd},
        {"status write with a high address", [](Rig& r) { return r.Command(0x02, 0x83, 0, 1, 1); },
         kStsUnknownSubCmd},
        {"chip erase with a parameter", [](Rig& r) { return r.Command(0x02, 0x04, 0, 0, 1); },
         kStsUnknownSubCmd},
        {"sector erase with a length", [](Rig& r) { return r.Command(0x02, 0x05, 0, 1, 0); },
         kStsUnknownSubCmd},
        {"restart with an argument", [](Rig& r) { return r.Command(0x00, 0x09, 1); },
         kStsUnknownSubCmd},
        {"code read with a high address", [](Rig& r) { return r.Command(0x00, 0xC3, 0, 2, 1); },
         kStsUnknownSubCmd},
        {"status record with a high word", [](Rig& r) { return r.Command(0x00, 0xCD, 0, 8, 1); },
         kStsUnknownSubCmd},
        {"status read of two bytes", [](Rig& r) { return r.Command(0x02, 0xC3, 0, 2); },
         kStsErrLen},
        {"qualify of four bytes", [](Rig& r) { return r.Command(0x00, 0xD0, 0, 4); }, kStsErrLen},
        {"write-protect query of neither length",
         [](Rig& r) { return r.Command(0x00, 0xFC, 0, 3); }, kStsErrLen},
        {"unknown opcode", [](Rig& r) { return r.Command(0x00, 0x55); }, kStsUnknownSubCmd},
        {"image group not modelled", [](Rig& r) { return r.Command(0x01, 0xD8, 0, 1); },
         kStsUnknownSubCmd},
        {"short command", [&](Rig& r) { return r.SetCur(kCommandControl, seven, 7); }, kStsErrLen},
        {"data read without data phase", [&](Rig& r) { return r.GetCur(kDataControl, packet, 8); },
         kStsErrDir},
        {"data write during a read",
         [&](Rig& r) {
             r.Command(0x00, 0xD0, 0, 8);
             return r.SetCur(kDataControl, packet, 8);
         },
         kStsErrDir},
        {"data read during a write",
         [&](Rig& r) {
             r.Command(0x00, 0x82, 0x8000, 8);
             return r.GetCur(kDataControl, packet, 8);
         },
         kStsErrDir},
        {"packet of the wrong size",
         [&](Rig& r) {
             r.Command(0x00, 0xC2, 0x8000, 16);
             return r.GetCur(kDataControl, packet, 4);
         },
         kStsErrLen},
        {"command before the data phase ended",
         [&](Rig& r) {
             r.Command(0x00, 0xC2, 0x8000, 16);
             return r.Command(0x00, 0xD0, 0, 8);
         },
         kStsNotFinish},
        {"memory read past 64 KB", [](Rig& r) { return r.Command(0x00, 0xC2, 0xFFF8, 16); },
         kStsErrOutRange},
        {"status record past the block", [](Rig& r) { return r.Command(0x00, 0xCD, 13, 8); },
         kStsErrOutRange},
        {"flash write past the memory",
         [](Rig& r) { return r.Command(0x02, 0x82, 0xFFF0, 0x20, 1); }, kStsErrOutRange},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        EXPECT_EQ(c.act(rig), kStall);
        EXPECT_EQ(rig.Status(), c.status);
    }
}

TEST(SimExtensionUnit, AbortRecoversAnOpenDataPhase) {
    Rig rig;
    ASSERT_EQ(rig.Command(0x00, 0xC2, 0x8000, 16), kOk);
    EXPECT_EQ(rig.Status(), kStsDataIn);
    EXPECT_EQ(rig.Command(0x00, 0xD0, 0, 8), kStall);
    ASSERT_EQ(rig.Command(0xFF, 0x00), kOk);
    EXPECT_EQ(rig.Status(), kStsCmd);
    uint8_t reply[8] = {};
    ASSERT_EQ(rig.In(0x00, 0xD0, 0, 8, 0, reply, 8), kOk);
    EXPECT_EQ(0, std::memcmp(reply, "ZORVINE", 8));
}

TEST(SimExtensionUnit, RequestsOutsideTheUnitStallOrAreRefused) {
    Rig rig;
    uint8_t block[8] = {0x00, 0xD0, 0, 0, 8, 0, 0, 0};
    uint32_t got = 0;
    // Another unit id, another selector.
    EXPECT_EQ(rig.handle->ControlTransfer(0x21, 0x01, 10 << 8, 5 << 8, block, 8, 5000, &got),
              kStall);
    EXPECT_EQ(rig.handle->ControlTransfer(0x21, 0x01, 3 << 8, 4 << 8, block, 8, 5000, &got),
              kStall);
    // A second handle that has not claimed the interface meets the kernel driver.
    auto other = rig.bus.Open(rig.info.node_handle);
    EXPECT_EQ(other->ControlTransfer(0x21, 0x01, 10 << 8, 4 << 8, block, 8, 5000, &got),
              ResultFromErrno(EBUSY));
    EXPECT_EQ(other->ClaimInterface(0), ResultFromErrno(EBUSY));
}

TEST(SimExtensionUnit, DataControlSizeNegotiation) {
    struct Case {
        uint16_t requested, granted;
    };
    for (const Case c : {Case{64, 64}, Case{100, 96}, Case{8, 8}, Case{2, 8}, Case{4096, 1024}}) {
        SCOPED_TRACE(c.requested);
        Rig rig;
        ASSERT_EQ(rig.Command(0x00, 0x16, 0, c.requested), kOk);
        EXPECT_EQ(rig.DataSize(), c.granted);
    }
    // Packets follow the new size: 13 bytes at size 64 are one padded packet.
    Rig rig;
    ASSERT_EQ(rig.WriteMem(0x9000, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}), kOk);
    ASSERT_EQ(rig.Command(0x00, 0x16, 0, 64), kOk);
    uint8_t packet[64] = {};
    ASSERT_EQ(rig.Command(0x00, 0xC2, 0x9000, 13), kOk);
    EXPECT_EQ(rig.GetCur(kDataControl, packet, 8), kStall);
    EXPECT_EQ(rig.Status(), kStsErrLen);
    ASSERT_EQ(rig.Command(0x00, 0xC2, 0x9000, 13), kOk);
    ASSERT_EQ(rig.GetCur(kDataControl, packet, 64), kOk);
    EXPECT_EQ(packet[12], 13);
    EXPECT_EQ(packet[13], 0);
    EXPECT_EQ(rig.Status(), kStsNoErr);
}

TEST(SimExtensionUnit, LastPacketMayCarryExactlyTheRemainingBytes) {
    Rig rig;
    // 8-byte packets, then a 5-byte remainder in a transfer of its own length.
    uint8_t data[13] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    ASSERT_EQ(rig.Command(0x00, 0x82, 0x9100, 13), kOk);
    ASSERT_EQ(rig.SetCur(kDataControl, data, 8), kOk);
    ASSERT_EQ(rig.SetCur(kDataControl, data + 8, 5), kOk);
    uint8_t back[13] = {};
    ASSERT_EQ(rig.Command(0x00, 0xC2, 0x9100, 13), kOk);
    ASSERT_EQ(rig.GetCur(kDataControl, back, 8), kOk);
    ASSERT_EQ(rig.GetCur(kDataControl, back + 8, 5), kOk);
    EXPECT_EQ(0, std::memcmp(data, back, 13));
}

TEST(SimExtensionUnit, MemoriesRoundTrip) {
    Rig rig;
    std::vector<uint8_t> bytes(300);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i ^ 0x5A);
    ASSERT_EQ(rig.WriteMem(0x8000, bytes), kOk);
    std::vector<uint8_t> back(300);
    ASSERT_EQ(rig.ReadMem(0x8000, 300, back.data()), kOk);
    EXPECT_EQ(back, bytes);

    // The chip identity registers cannot be written.
    ASSERT_EQ(rig.WriteMem(0xFE21, {0x00, 0x00}), kOk);
    uint8_t chip[2] = {};
    ASSERT_EQ(rig.ReadMem(0xFE21, 2, chip), kOk);
    EXPECT_EQ(chip[0], 0x10);

    // Physical registers move one byte per command.
    uint8_t phy = 0x3C;
    ASSERT_EQ(rig.Out(0x00, 0x8C, 0x0123, 1, 0, &phy, 1), kOk);
    uint8_t phy_back = 0;
    ASSERT_EQ(rig.In(0x00, 0xCC, 0x0123, 1, 0, &phy_back, 1), kOk);
    EXPECT_EQ(phy_back, 0x3C);

    // Code reads see the program memory.
    const auto image = BuildImage();
    Rig with_image(SimSettings{}, image);
    uint8_t code[4] = {};
    ASSERT_EQ(with_image.In(0x00, 0xC3, 0x0FFE, 2, 0, code, 2), kOk);
    EXPECT_EQ(code[0], 0x55);
    EXPECT_EQ(code[1], 0xAA);
}

TEST(SimExtensionUnit, AccelerateRegistersReportTheClockSwitch) {
    Rig rig;
    uint8_t value = 0;
    ASSERT_EQ(rig.WriteMem(0xFF24, {0x06}), kOk);
    ASSERT_EQ(rig.ReadMem(0xFF24, 1, &value), kOk);
    EXPECT_EQ(value & 0x08, 0x08);
    uint8_t speed[2] = {};
    ASSERT_EQ(rig.ReadMem(0xFC02, 1, speed), kOk);
    ASSERT_EQ(rig.ReadMem(0xFA01, 1, speed + 1), kOk);
    EXPECT_EQ(speed[0], 0);      // not super speed
    EXPECT_EQ(speed[1] & 1, 1);  // high speed
}

TEST(SimExtensionUnit, EveryTransferCostsVirtualTime) {
    Rig rig;
    const uint64_t start = rig.clock.now_us();
    uint8_t reply[8] = {};
    ASSERT_EQ(rig.Command(0x00, 0xD0, 0, 8), kOk);
    ASSERT_EQ(rig.GetCur(kDataControl, reply, 8), kOk);
    // Two transfers of 8 bytes: 2 x (125 us + 8 x 17 ns rounded up).
    EXPECT_EQ(rig.clock.now_us() - start, 2u * (125 + 1));
}

}  // namespace
}  // namespace orbisk::sim::test
