// Camera folders: loading, writing back at reset and at exit, and ORBISK_SIM.
#include "sim/sim_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "sim/sha256.h"
#include "sim/sim_fixture.h"
#include "support/temp_dir.h"

namespace orbisk::sim::test {
namespace {

using orbisk::test::ReadFile;
using orbisk::test::TempDir;
using orbisk::test::WriteFile;

std::string MakeFolder(const TempDir& temp, const std::string& name, SimSettings settings,
                       std::vector<uint8_t> memory) {
    const std::string folder = temp.File(name);
    memory.resize(settings.MemorySize(), 0xFF);
    std::string error;
    EXPECT_TRUE(WriteCameraFolder(folder, settings, memory, &error)) << error;
    return folder;
}

TEST(SimStore, ResetAndExitWriteTheFolderBack) {
    TempDir temp;
    SimSettings second;
    second.ports = {2, 3};
    const std::string a = MakeFolder(temp, "a", SimSettings{}, BuildImage());
    const std::string b = MakeFolder(temp, "b", second, {});
    VirtualClock clock;
    std::string error;
    {
        auto bus = OpenSimBus(a + ":" + b, clock, &error);
        ASSERT_NE(bus, nullptr) << error;
        const auto list = bus->List();
        ASSERT_EQ(list.size(), 2u);
        EXPECT_EQ(list[1].port_chain, (std::vector<uint8_t>{2, 3}));
        EXPECT_EQ(list[0].path, a);

        // Reset into the code: the folder records the camera as it will come back.
        auto handle = bus->Open(list[0].node_handle);
        ASSERT_EQ(handle->ClaimInterface(0), kOk);
        uint8_t reset[8] = {0x00, 0x09, 0, 0, 0, 0, 0, 0};
        uint32_t got = 0;
        ASSERT_EQ(handle->ControlTransfer(0x21, 0x01, 10 << 8, 4 << 8, reset, 8, 5000, &got), kOk);
        CIniFile ini(a + "/camera.ini");
        ASSERT_TRUE(ini.ReadFile());
        EXPECT_EQ(ini.GetValue("Camera", "Mode"), "app");
        EXPECT_EQ(ini.GetValueI("Running", "VID"), 0x1234);

        // Memory written before the bus goes away is in the file afterwards.
        bus->WaitForChange(1000);
        bus->WaitForChange(1000);
        auto second_handle = bus->Open(list[1].node_handle);
        ASSERT_EQ(second_handle->ClaimInterface(0), kOk);
        uint8_t write[8] = {0x02, 0x82, 0x00, 0x00, 1, 0, 0, 0};
        ASSERT_EQ(second_handle->ControlTransfer(0x21, 0x01, 10 << 8, 4 << 8, write, 8, 5000, &got),
                  kOk);
        uint8_t packet[8] = {0x5A};
        ASSERT_EQ(
            second_handle->ControlTransfer(0x21, 0x01, 11 << 8, 4 << 8, packet, 8, 5000, &got),
            kOk);
    }
    EXPECT_EQ(static_cast<uint8_t>(ReadFile(b + "/flash.bin")[0]), 0x5A);
    // Loaded again, the first camera runs its application.
    auto camera = LoadCameraFolder(a, clock, &error);
    ASSERT_NE(camera, nullptr) << error;
    EXPECT_TRUE(camera->AppMode());
    EXPECT_EQ(camera->CurrentIdentity().pid, 0x5678);
}

TEST(SimStore, BadFoldersAreRefusedWithAReason) {
    TempDir temp;
    const std::string good = MakeFolder(temp, "good", SimSettings{}, {});
    const std::string clash = MakeFolder(temp, "clash", SimSettings{}, {});
    const std::string short_memory = MakeFolder(temp, "short", SimSettings{}, {});
    WriteFile(short_memory + "/flash.bin", std::string(100, '\xFF'));
    const std::string bad_value = MakeFolder(temp, "bad", SimSettings{}, {});
    CIniFile ini(bad_value + "/camera.ini");
    ASSERT_TRUE(ini.ReadFile());
    ini.SetValue("Camera", "Generation", "v3");
    ASSERT_TRUE(ini.WriteFile());
    struct Case {
        std::string folders;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {temp.File("missing"), "no simulated camera here"},
        {short_memory, "holds 100 bytes"},
        {bad_value, "Generation must be xu, v1 or v2"},
        {good + ":" + clash, "same bus port"},
    };
    VirtualClock clock;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folders);
        std::string error;
        EXPECT_EQ(OpenSimBus(c.folders, clock, &error), nullptr);
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    // Nothing was written over the refused folders.
    EXPECT_EQ(ReadFile(short_memory + "/flash.bin").size(), 100u);
}

TEST(SimStore, FiguresAreCheckedWhenRead) {
    // Each key alone in an otherwise default folder; a refused one names itself.
    struct Case {
        const char* section;
        const char* key;
        const char* value;
        const char* reason;  // nullptr: taken
    };
    const Case cases[] = {
        {"Timing", "TransferUs", "-5", "[Timing] TransferUs must be a whole number"},
        {"Timing", "ReenumerateMs", "99999999999", "[Timing] ReenumerateMs"},
        {"Timing", "ChipEraseMs", "0x3E8", nullptr},
        {"Timing", "PageProgramUs", " 1400", "[Timing] PageProgramUs"},
        {"Timing", "SectorEraseMs", "60ms", "[Timing] SectorEraseMs"},
        {"Faults", "FailTransfer", "+3", "[Faults] FailTransfer"},
        {"Faults", "BusyStuck", "2", "[Faults] BusyStuck must be a whole number from 0 to 1"},
        {"Faults", "StuckBit", "1", "a stuck bit needs a StuckMask"},
        {"Camera", "FlashStatus", "0x18C", "[Camera] FlashStatus"},
        {"Camera", "MaxDataSize", "4", "[Camera] MaxDataSize must be a whole number from 8"},
        {"Running", "VID", "0x12345", "[Running] VID"},
        {"Usb", "Speed", "0", "[Usb] Speed must be a whole number from 1 to 4"},
        {"Sensors", "0x6C", "0x300A:0x2722,0x0000:0x5640", nullptr},
        {"Sensors", "0x6D", "0x300A:0x2722", "[Sensors] 0x6D must be a bus address"},
        {"Sensors", "0x20", "0x300A=0x6737", "[Sensors] 0x20 must be REGISTER:VALUE items"},
        {"Sensors", "0x20", "0xFFFF:0x6737", "[Sensors] 0x20 must be REGISTER:VALUE items"},
        {"Sensors", "0x20", "0x300A:0x16737", "[Sensors] 0x20 must be REGISTER:VALUE items"},
        {"Sensors", "0x20", "", nullptr},  // no sensor there
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        CIniFile ini;
        ini.SetValue(c.section, c.key, c.value);
        if (std::string(c.key) == "StuckBit") ini.SetValue("Faults", "StuckMask", "0");
        SimSettings settings;
        std::string error;
        EXPECT_EQ(settings.Load(ini, &error), c.reason == nullptr);
        if (c.reason) {
            EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        }
    }
    // Sensors come back as they were set, and on the bus they answer high byte first.
    CIniFile with_sensors;
    with_sensors.SetValue("Sensors", "0x20", "0x300A:0x6737");
    with_sensors.SetValue("Sensors", "0x6C", "0x0000:0x5640");
    SimSettings loaded;
    std::string load_error;
    ASSERT_TRUE(loaded.Load(with_sensors, &load_error)) << load_error;
    CIniFile saved;
    loaded.Save(&saved);
    EXPECT_EQ(saved.GetValue("Sensors", "0x20"), "0x300A:0x6737");
    EXPECT_EQ(saved.GetValue("Sensors", "0x6C"), "0x0000:0x5640");
    ASSERT_EQ(loaded.sensors.size(), 2u);
    SensorRegisters rear(loaded.sensors[0]);
    EXPECT_TRUE(rear.Answers(0x21));  // the read form of the address
    EXPECT_FALSE(rear.Answers(0x6C));
    uint8_t bytes[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    rear.Read(0x3009, bytes, 4);  // a register the sensor does not name reads 0
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 4),
              (std::vector<uint8_t>{0x00, 0x67, 0x37, 0x00}));

    // A NOR camera has no status register to hold protection bits.
    CIniFile nor;
    nor.SetValue("Camera", "Memory", "nor");
    nor.SetValue("Camera", "MemorySize", "0x10000");
    nor.SetValue("Camera", "FlashStatus", "0x8C");
    SimSettings settings;
    std::string error;
    EXPECT_FALSE(settings.Load(nor, &error));
    EXPECT_NE(error.find("FlashStatus"), std::string::npos) << error;
}

TEST(SimStore, EnvironmentSelectsTheCameras) {
    TempDir temp;
    const std::string a = MakeFolder(temp, "a", SimSettings{}, {});
    VirtualClock clock;
    std::string error;
    ::unsetenv(kSimEnvironment);
    EXPECT_EQ(MakeSimBusFromEnvironment(clock, &error), nullptr);
    EXPECT_TRUE(error.empty());
    ::setenv(kSimEnvironment, a.c_str(), 1);
    auto bus = MakeSimBusFromEnvironment(clock, &error);
    ::unsetenv(kSimEnvironment);
    ASSERT_NE(bus, nullptr) << error;
    EXPECT_EQ(bus->List().size(), 1u);
}

TEST(SimStore, Sha256) {
    EXPECT_EQ(Sha256Hex({'a', 'b', 'c'}),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex(std::vector<uint8_t>(131072, 0xFF)),
              "b5a41c3758763bbec72769fab4a2533bf2db0b6312d93d25a695f9e4b9e02260");
}

}  // namespace
}  // namespace orbisk::sim::test
