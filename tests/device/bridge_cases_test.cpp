// The edge cases of the bridge flows and the bridge functions, and a fault at each step of the
// update ending with that step's code, against the simulated bridge.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "device/bridge_rig.h"

namespace orbisk::test {
namespace {

using Record = sim::SimBridge::CommandRecord;

std::vector<uint32_t> Addresses(const std::vector<Record>& commands) {
    std::vector<uint32_t> out;
    for (const Record& c : commands) out.push_back(c.address);
    return out;
}

// A bridge whose flash takes longer to program a page than the host takes to write the next
// program command, so that both mailboxes work at once.
sim::SimSettings SlowProgramming() {
    sim::SimSettings settings = BridgeRig::DefaultSettings();
    settings.bridge.timing.page_program_us = 20000;
    return settings;
}

struct Case {
    const char* name;
    sim::SimSettings settings;
    std::vector<uint8_t> image;
    std::function<void(BridgeRig&)> before;  // after the open, before the operation
    std::function<int(BridgeRig&)> run;
    int result;
    std::function<void(BridgeRig&)> check;
};

int Download(BridgeRig& rig) {
    return rig.device->Download();
}

std::vector<uint8_t> FirstBytes(size_t n) {
    const std::vector<uint8_t> image = NewBridgeImage();
    return std::vector<uint8_t>(image.begin(), image.begin() + static_cast<long>(n));
}

sim::SimSettings InRom() {
    sim::SimSettings settings = BridgeRig::DefaultSettings();
    settings.bridge.complete = false;
    return settings;
}

sim::SimSettings FirstGeneration() {
    sim::SimSettings settings = BridgeRig::DefaultSettings();
    settings.generation = sim::Generation::kVendorV1;
    return settings;
}

sim::SimSettings SlowStatusWrite() {
    sim::SimSettings settings = BridgeRig::DefaultSettings();
    settings.bridge.timing.status_write_ms = 5000;
    return settings;
}

TEST(BridgeCasesTest, EdgeCases) {
    const std::vector<Case> cases = {
        {"already in the boot ROM: no command, no wait", InRom(), NewBridgeImage(), nullptr,
         Download, 1,
         [](BridgeRig& rig) {
             EXPECT_TRUE(rig.Commands(0x05, 0x07).empty());
             EXPECT_EQ(rig.camera->BridgeMode(), 2);
         }},
        {"running its code: 05 07 with value 0, then mode 1", BridgeRig::DefaultSettings(),
         NewBridgeImage(), nullptr, Download, 1,
         [](BridgeRig& rig) {
             const auto to_rom = rig.Commands(0x05, 0x07);
             ASSERT_EQ(to_rom.size(), 1u);
             EXPECT_EQ(to_rom[0].address, 0u);
         }},
        {"300 bytes: two program commands, progress 67 and 70", BridgeRig::DefaultSettings(),
         FirstBytes(300), nullptr, Download, 1,
         [](BridgeRig& rig) {
             const auto programs = rig.Commands(0x01, 0xC2);
             ASSERT_EQ(programs.size(), 2u);
             EXPECT_EQ(programs[0].address, 0u);
             EXPECT_EQ(programs[0].length, 256u);
             EXPECT_EQ(programs[1].address, 256u);
             EXPECT_EQ(programs[1].length, 44u);
             // Writing 67, 70; reading back 87, 90; done.
             EXPECT_EQ(rig.sink.codes(kReportProgress),
                       (std::vector<uint32_t>{67, 70, 87, 90, 100}));
         }},
        {"a camera of the first vendor-request generation: the bridge over its requests",
         FirstGeneration(), NewBridgeImage(), nullptr, Download, 1,
         [](BridgeRig& rig) { EXPECT_EQ(rig.camera->BridgeMode(), 2); }},
        {"slow programming: the mailboxes take the program commands in turn", SlowProgramming(),
         NewBridgeImage(), nullptr, Download, 1,
         [](BridgeRig& rig) {
             const auto programs = rig.Commands(0x01, 0xC2);
             ASSERT_EQ(programs.size(), 512u);
             for (size_t i = 0; i < programs.size(); ++i)
                 ASSERT_EQ(programs[i].mailbox, static_cast<int>(i % 2)) << "command " << i;
         }},
        {"a program command after a failed one on its mailbox is not sent", SlowProgramming(),
         NewBridgeImage(),
         [](BridgeRig& rig) {
             sim::BridgeFaults f;
             f.fail_program = true;
             f.fail_address = 0;
             rig.bridge().SetFaults(f);
         },
         Download, 0,
         [](BridgeRig& rig) {
             EXPECT_EQ(Addresses(rig.Commands(0x01, 0xC2)), (std::vector<uint32_t>{0, 256}));
             EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{41706});
         }},
        {"unlock with the busy bit still set after 20 re-reads", SlowStatusWrite(),
         NewBridgeImage(), nullptr, Download, 1,
         [](BridgeRig& rig) {
             // Unlock and lock: one read and 20 re-reads each.
             EXPECT_EQ(rig.Commands(0x01, 0x86).size(), 42u);
             const auto lines = rig.log.lines();
             EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                     [](const std::string& l) {
                                         return l.find("Waiting for SPI_SF_WriteSr") !=
                                                std::string::npos;
                                     }),
                       40);
         }},
        {"without program and verify: erase and lock, nothing written, no completion",
         BridgeRig::DefaultSettings(), NewBridgeImage(),
         [](BridgeRig& rig) { rig.process.download_options &= static_cast<uint8_t>(~0x10); },
         Download, 1,
         [](BridgeRig& rig) {
             EXPECT_TRUE(rig.Commands(0x01, 0xC2).empty());
             EXPECT_TRUE(rig.Commands(0x01, 0x09).empty());
             const auto flash = rig.BridgeFlash();
             EXPECT_TRUE(
                 std::all_of(flash.begin(), flash.end(), [](uint8_t b) { return b == 0xFF; }));
             EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{41755});
         }},
        {"the erase never restarts the bridge", BridgeRig::DefaultSettings(), NewBridgeImage(),
         nullptr, [](BridgeRig& rig) { return rig.device->Erase(); }, 1,
         [](BridgeRig& rig) {
             EXPECT_TRUE(rig.Commands(0x05, 0x08).empty());
             EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{41752});
         }},
        {"a passed dump check rewrites the sector at 0x1E000 with zeros",
         BridgeRig::DefaultSettings(), OldBridgeImage(), nullptr,
         [](BridgeRig& rig) { return rig.device->DumpCheck(); }, 1,
         [](BridgeRig& rig) {
             EXPECT_EQ(Addresses(rig.Commands(0x01, 0x08)), std::vector<uint32_t>{0x1E000});
             const auto flash = rig.BridgeFlash();
             EXPECT_TRUE(std::all_of(flash.begin() + 0x1E000, flash.begin() + 0x1F000,
                                     [](uint8_t b) { return b == 0x00; }));
             EXPECT_TRUE(
                 std::equal(flash.begin(), flash.begin() + 0x1E000, OldBridgeImage().begin()));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BridgeRig rig(c.settings);
        ASSERT_TRUE(rig.OpenAndLoad(c.image));
        if (c.before) c.before(rig);
        EXPECT_EQ(c.run(rig), c.result) << rig.log.Joined();
        c.check(rig);
    }
}

struct FaultCase {
    const char* name;
    sim::SimSettings settings;
    bool dialog;
    std::function<void(sim::BridgeFaults&)> fault;
    uint32_t code;
};

sim::BridgeFaults Failing(uint16_t command, uint32_t skip = 0) {
    sim::BridgeFaults f;
    f.fail_command = command;
    f.fail_skip = skip;
    return f;
}

TEST(BridgeCasesTest, EachFaultEndsTheUpdateWithItsCode) {
    const std::vector<FaultCase> cases = {
        {"the unlock's status write", BridgeRig::DefaultSettings(), false,
         [](sim::BridgeFaults& f) { f = Failing(0x01C6); }, 41710},
        {"the whole-flash erase", BridgeRig::DefaultSettings(), false,
         [](sim::BridgeFaults& f) { f = Failing(0x0107); }, 41705},
        {"the last program command, on the second mailbox", SlowProgramming(), false,
         [](sim::BridgeFaults& f) {
             f.fail_program = true;
             f.fail_address = 0x1FF00;
         },
         41706},
        {"a read of the read-back", BridgeRig::DefaultSettings(), false,
         [](sim::BridgeFaults& f) { f = Failing(0x0182); }, 41704},
        {"the bridge's CRC", BridgeRig::DefaultSettings(), true,
         [](sim::BridgeFaults& f) { f = Failing(0x018A); }, 41704},
        {"the completion", BridgeRig::DefaultSettings(), false,
         [](sim::BridgeFaults& f) { f = Failing(0x0109); }, 41712},
        {"the lock's status write", BridgeRig::DefaultSettings(), false,
         [](sim::BridgeFaults& f) { f = Failing(0x01C6, 1); }, 41711},
        {"the way into the boot ROM", BridgeRig::DefaultSettings(), false,
         [](sim::BridgeFaults& f) { f = Failing(0x0507); }, 41512},
        {"the restart into the code", BridgeRig::DefaultSettings(), false,
         [](sim::BridgeFaults& f) { f = Failing(0x0508); }, 41512},
        {"a bridge that stays busy", BridgeRig::DefaultSettings(), false,
         [](sim::BridgeFaults& f) { f.stays_busy = true; }, 41512},
        {"a bridge that does not start its code", BridgeRig::DefaultSettings(), false,
         [](sim::BridgeFaults& f) { f.no_start = true; }, 41905},
        {"a mailbox that reports an unknown sub-command", BridgeRig::DefaultSettings(), false,
         [](sim::BridgeFaults& f) {
             f = Failing(0x01C6);
             f.fail_code = 4;
         },
         41710},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        BridgeRig rig(c.settings);
        const std::vector<uint8_t> image = NewBridgeImage();
        ASSERT_TRUE(rig.OpenAndLoad(image));
        if (c.dialog) {
            rig.process.run_mode = kRunDialog;
            rig.device->SetImageCrcSource([&](uint32_t, uint32_t* crc) {
                *crc = ReferenceCrc(image);
                return true;
            });
        }
        sim::BridgeFaults faults;
        c.fault(faults);
        rig.bridge().SetFaults(faults);
        EXPECT_EQ(rig.device->Download(), 0);
        EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{c.code})
            << rig.log.Joined();
        EXPECT_TRUE(rig.sink.codes(kReportSuccess).empty());

        // The fault gone, the next run brings the camera back, as the dialog runs it: the
        // camera closed (the bridge powered down), opened again (powered up), updated.
        rig.bridge().SetFaults({});
        rig.device->DEV_CloseDevice();
        rig.device->selected_index = 0;
        ASSERT_EQ(rig.device->Dev_OpenDeviceForMultiCamera(), 1);
        rig.device->DEV_SetTransportOptions();
        rig.sink.clear();
        EXPECT_EQ(rig.device->Download(), 1) << rig.log.Joined();
        EXPECT_EQ(rig.camera->BridgeMode(), 2);
        const std::vector<uint8_t> flash = rig.BridgeFlash();
        EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    }
}

}  // namespace
}  // namespace orbisk::test
