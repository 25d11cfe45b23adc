// What the device flow reads of a camera behind a MIPI bridge, and the data of the bridge's
// flash that "MIPI Reserve" keeps across an update.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/bridge_rig.h"
#include "support/temp_dir.h"

namespace orbisk::test {
namespace {

TEST(BridgeInfoTest, TheFoundCameraShowsItsIdentityAndTheBridgesVersion) {
    BridgeRig rig;
    ASSERT_TRUE(rig.OpenAndLoad());
    const DeviceConnection& conn = rig.device->connection();
    const DeviceTexts& texts = rig.device->texts();
    EXPECT_EQ(rig.process.project_type, 5);
    EXPECT_EQ(conn.mipi_bridge, 1);
    EXPECT_EQ(conn.mipi_simulation, 0);
    EXPECT_EQ(conn.rom_flag, 0);  // the controller runs its code
    EXPECT_EQ(texts.connection, "ZN Camera Connected");
    EXPECT_EQ(texts.vid_pid, "VID_2C7E&PID_6363");
    EXPECT_EQ(texts.code_mode, "Vendor Code");
    // Bytes 27, 30, 31, 4 and 5 of the old bridge firmware's information.
    EXPECT_EQ(texts.fw_version, "0x00-0000-0203");
    EXPECT_EQ(texts.memory_name, "SPI_SF_MX25L512");
}

TEST(BridgeInfoTest, TheSimulationSignatureReadsNoVersionAndAFailedReadSaysSo) {
    sim::SimSettings settings = BridgeRig::DefaultSettings();
    settings.bridge.simulation_signature = true;
    BridgeRig simulated(settings);
    ASSERT_TRUE(simulated.OpenAndLoad());
    EXPECT_EQ(simulated.device->connection().mipi_simulation, 1);
    simulated.device->MP_Get7608VersionText();
    EXPECT_TRUE(simulated.Commands(0x05, 0x84).empty());
    EXPECT_EQ(simulated.device->texts().fw_version, "0x00-0000-0000");

    BridgeRig rig;
    ASSERT_TRUE(rig.OpenAndLoad());
    std::vector<std::string> notices;
    rig.device->SetNotice([&](const std::string& text) { notices.push_back(text); });
    sim::BridgeFaults f;
    f.fail_command = 0x0584;
    rig.bridge().SetFaults(f);
    EXPECT_EQ(rig.device->MP_Get7608VersionText(), 0);
    EXPECT_EQ(notices, std::vector<std::string>{"Can't Find MIPI Camera"});
    EXPECT_EQ(rig.device->texts().fw_version, "0x00-0000-0000");
}

TEST(BridgeInfoTest, TheRefreshReadsTheStatusFromItsSecondRecordBehindABridge) {
    BridgeRig rig;
    ASSERT_TRUE(rig.OpenAndLoad());
    ASSERT_EQ(rig.device->MP_RefreshDeviceStatus(), 1);
    // Records 1 to 12 land at the start of the block; the rest stays clear.
    const std::vector<uint8_t> block = rig.camera->StatusBlock();
    std::vector<uint8_t> from_second(block.size(), 0);
    std::copy(block.begin() + 8, block.end(), from_second.begin());
    EXPECT_EQ(rig.device->texts().fw_version, sim::VersionText(from_second) + "-VID2C7E&&PID6363");
    EXPECT_NE(sim::VersionText(from_second), sim::VersionText(block));
}

// 31 keeps the last two units of 4096 bytes: 0x1E000 to the end.
constexpr int32_t kReserve = 31;
constexpr size_t kReservedAt = 0x1E000;

std::vector<uint8_t> BridgeWithOwnData() {
    std::vector<uint8_t> flash = OldBridgeImage();
    for (size_t i = kReservedAt; i < flash.size(); ++i) flash[i] = static_cast<uint8_t>(i * 13);
    return flash;
}

TEST(BridgeInfoTest, TheReservedTailIsReadAndKeptAcrossTheUpdate) {
    BridgeRig rig(BridgeRig::DefaultSettings(), BridgeWithOwnData());
    rig.process.config.SetValueI(kConfigSection, "MIPI Reserve", kReserve);
    const std::vector<uint8_t> image = NewBridgeImage();
    ASSERT_TRUE(rig.OpenAndLoad(image));
    const std::vector<uint8_t> own = BridgeWithOwnData();
    ASSERT_EQ(rig.device->mipi_reserved(),
              std::vector<uint8_t>(own.begin() + kReservedAt, own.end()));

    ASSERT_EQ(rig.device->Download(), 1) << rig.log.Joined();
    const std::vector<uint8_t> flash = rig.BridgeFlash();
    EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + kReservedAt, image.begin()));
    EXPECT_TRUE(std::equal(flash.begin() + kReservedAt, flash.end(), own.begin() + kReservedAt));
    // The dump check compares only what lies before the reserved area.
    rig.sink.clear();
    EXPECT_EQ(rig.device->DumpCheck(), 1) << rig.log.Joined();
}

TEST(BridgeInfoTest, WithoutTheReservedDataTheUpdateStopsBeforeAnythingIsErased) {
    struct Case {
        const char* name;
        bool read_fails;
        size_t image_size;
        uint32_t code;
    };
    for (const Case& c : {Case{"the tail could not be read", true, 0x20000, 41704},
                          Case{"the image ends before the tail", false, 0x1D000, 41706}}) {
        SCOPED_TRACE(c.name);
        BridgeRig rig(BridgeRig::DefaultSettings(), BridgeWithOwnData());
        rig.process.config.SetValueI(kConfigSection, "MIPI Reserve", kReserve);
        if (c.read_fails) {
            sim::BridgeFaults f;
            f.fail_command = 0x0182;
            rig.bridge().SetFaults(f);
        }
        ASSERT_TRUE(rig.OpenAndLoad(NewBridgeImage(c.image_size)));
        rig.bridge().SetFaults({});
        EXPECT_EQ(rig.device->Download(), 0);
        EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{c.code});
        EXPECT_TRUE(rig.Commands(0x01, 0x07).empty());
        EXPECT_EQ(rig.BridgeFlash(), BridgeWithOwnData());
        EXPECT_EQ(rig.camera->BridgeMode(), 2);
    }
}

TEST(BridgeInfoTest, ABridgeLeftInItsBootRomGetsBackTheDataItsRecordKept) {
    BridgeRig rig(BridgeRig::DefaultSettings(), BridgeWithOwnData());
    rig.process.config.SetValueI(kConfigSection, "MIPI Reserve", kReserve);
    const std::vector<uint8_t> image = NewBridgeImage();
    ASSERT_TRUE(rig.OpenAndLoad(image));
    sim::BridgeFaults f;
    f.fail_program = true;
    f.fail_address = 0x100;
    rig.bridge().SetFaults(f);
    ASSERT_EQ(rig.device->Download(), 0);
    // Erased and half written, in its boot ROM: what its flash holds at 0x1E000 is gone.
    rig.bridge().SetFaults({});
    ASSERT_EQ(rig.camera->BridgeMode(), 1);
    const std::vector<uint8_t> own = BridgeWithOwnData();
    EXPECT_FALSE(
        std::equal(own.begin() + kReservedAt, own.end(), rig.BridgeFlash().begin() + kReservedAt));
    const std::string record = rig.device->texts().bridge_recovery.record_path;

    // The next run finds the bridge in its boot ROM with the record, and restores the data.
    ASSERT_TRUE(rig.OpenAndLoad(image));
    EXPECT_TRUE(rig.device->texts().bridge_recovery.in_rom);
    EXPECT_TRUE(rig.device->texts().bridge_recovery.record);
    ASSERT_EQ(rig.device->Download(), 1) << rig.log.Joined();
    const std::vector<uint8_t> flash = rig.BridgeFlash();
    EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + kReservedAt, image.begin()));
    EXPECT_TRUE(std::equal(flash.begin() + kReservedAt, flash.end(), own.begin() + kReservedAt));
    EXPECT_FALSE(FileExists(record));
    EXPECT_FALSE(FileExists(record + ".reserved"));
}

TEST(BridgeInfoTest, ABridgeInItsBootRomWithoutARecordIsWrittenOnlyWhenAskedFor) {
    sim::SimSettings settings = BridgeRig::DefaultSettings();
    settings.bridge.complete = false;  // in its boot ROM, found so
    BridgeRig rig(settings, BridgeWithOwnData());
    rig.process.config.SetValueI(kConfigSection, "MIPI Reserve", kReserve);
    ASSERT_TRUE(rig.OpenAndLoad());
    EXPECT_EQ(rig.device->Download(), 0);
    EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{41704});
    EXPECT_TRUE(rig.Commands(0x01, 0x07).empty());

    rig.device->SetRecoverWithoutRecord(true);
    rig.sink.clear();
    EXPECT_EQ(rig.device->Download(), 1) << rig.log.Joined();
    EXPECT_EQ(rig.BridgeFlash(), NewBridgeImage());
}

}  // namespace
}  // namespace orbisk::test
