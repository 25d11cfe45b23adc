// The other memory-type operations of a serial-flash camera: the silent write with its version
// skip, read to file, erase, dump checks, and a camera found in its boot ROM.
#include <gtest/gtest.h>

#include <filesystem>

#include "device/device_object.h"
#include "device/farrow_flash_info_usb.h"
#include "device/flash_rig.h"
#include "device/recovery_record.h"
#include "image/demo_image.h"
#include "sim/sim_image.h"
#include "support/temp_dir.h"

namespace orbisk::test {
namespace {

bool AllErased(const std::vector<uint8_t>& memory) {
    return std::all_of(memory.begin(), memory.end(), [](uint8_t b) { return b == 0xFF; });
}

TEST(FlashOperationsTest, SilentWriteSkipsACameraThatRunsTheImageAlready) {
    // The carried image and the camera agree on VID, PID and REV.
    DemoImageSpec same = NewFirmware();
    FlashRig rig(FlashRig::DefaultSettings(), MakeDemoImage(same));
    ASSERT_TRUE(rig.OpenAndLoad());
    const std::vector<uint8_t> before = rig.Memory();
    EXPECT_EQ(rig.device->SilenceWriteBin("ignored.rfw"), 1);
    EXPECT_TRUE(rig.log.Contains("Device firmware version is the latest version."));
    EXPECT_EQ(rig.Memory(), before);
    EXPECT_TRUE(rig.sink.codes(kReportStepText).empty());
}

TEST(FlashOperationsTest, SilentWriteUpdatesACameraWithAnotherRevision) {
    FlashRig rig;
    ASSERT_TRUE(rig.OpenAndLoad());
    ASSERT_EQ(rig.device->SilenceWriteBin("ignored.rfw"), 1) << rig.log.Joined();
    // The program's own image for this camera, written and started.
    EXPECT_EQ(rig.Memory(), MakeDemoImage(NewFirmware()));
    EXPECT_TRUE(rig.camera->AppMode());
    EXPECT_EQ(rig.process.status.Code(), 0u);
}

TEST(FlashOperationsTest, ReadToFileAndDumpCheck) {
    TempDir dir;
    FlashRig rig;
    rig.process.program_folder = dir.path();
    ASSERT_TRUE(rig.OpenAndLoad(MakeDemoImage(OldFirmware())));

    // The read goes to the file and the camera is restarted into its code afterwards.
    ASSERT_EQ(rig.device->SilenceReadBin(dir.File("dump.rfw")), 1);
    const std::string dump = ReadFile(dir.File("dump.rfw"));
    const std::vector<uint8_t> memory = rig.Memory();
    EXPECT_EQ(dump, std::string(memory.begin(), memory.end()));
    EXPECT_TRUE(rig.camera->AppMode());

    // The memory matches the loaded image: the dump check passes and keeps nothing.
    rig.sink.clear();
    EXPECT_EQ(rig.device->DumpCheck(), 1);
    EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{41755});
    EXPECT_FALSE(std::filesystem::exists(dir.File("Fail")));

    // A bit that reads wrong: the check fails with 41709 and keeps the read-back under Fail/.
    sim::Faults faults;
    faults.stuck_bit = true;
    faults.stuck_address = 0x20;
    faults.stuck_mask = 0x80;
    faults.stuck_value = (memory[0x20] & 0x80) == 0;
    rig.camera->SetFaults(faults);
    rig.sink.clear();
    EXPECT_EQ(rig.device->DumpCheck(), 0);
    EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{41709});
    ASSERT_TRUE(std::filesystem::is_directory(dir.File("Fail")));
    const auto kept = std::filesystem::directory_iterator(dir.File("Fail"))->path();
    const std::string failed = ReadFile(kept.string());
    ASSERT_EQ(failed.size(), memory.size());
    EXPECT_NE(static_cast<uint8_t>(failed[0x20]), memory[0x20]);

    // The silent dump check compares with the program's own image, which this camera does not
    // hold: the mismatch must leave a failing status code, not 0.
    EXPECT_EQ(rig.device->SilenceDumpCheck("ignored.rfw"), 0);
    EXPECT_EQ(rig.process.status.Code(), 41709u);
}

TEST(FlashOperationsTest, SilentEraseWithoutResetLeavesTheCameraInItsRom) {
    FlashRig rig;
    ASSERT_TRUE(rig.OpenAndLoad());
    rig.sink.clear();
    EXPECT_EQ(rig.device->SilenceErase(0), 1);
    EXPECT_TRUE(AllErased(rig.Memory()));
    EXPECT_FALSE(rig.camera->AppMode());
    EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{41752});
    // "Erase Flash Code Succeed." is no clearing code: the exit code says 1.
    EXPECT_EQ(rig.process.status.Code(), 41752u);
    EXPECT_EQ(rig.process.download_options & 0x01, 0);
}

TEST(FlashOperationsTest, CameraFoundInItsRomIsNotResetIntoIt) {
    sim::SimSettings settings = FlashRig::DefaultSettings();
    settings.app_mode = false;
    FlashRig rig(settings);
    ASSERT_TRUE(rig.OpenAndLoad());
    // A read leaves a camera that was found in its ROM there.
    EXPECT_EQ(rig.device->Read(), 1);
    EXPECT_EQ(rig.device->connection().rom_flag, 1);
    EXPECT_FALSE(rig.camera->AppMode());
    EXPECT_EQ(rig.device->readback(), rig.Memory());
    // Without a recovery record only on request; the download then ends in the new code.
    EXPECT_EQ(rig.device->Download(), 0);
    EXPECT_EQ(rig.process.status.Code(), 41530u);
    rig.device->SetRecoverWithoutRecord(true);
    EXPECT_EQ(rig.device->Download(), 1) << rig.log.Joined();
    EXPECT_TRUE(rig.camera->AppMode());
}

}  // namespace
}  // namespace orbisk::test

namespace orbisk::test {
namespace {

TEST(FlashOperationsTest, DeviceInformationTexts) {
    FlashRig rig;
    ASSERT_TRUE(rig.OpenAndLoad());
    ASSERT_EQ(rig.device->MP_RefreshDeviceStatus(), 1);
    const DeviceTexts& texts = rig.device->texts();
    EXPECT_EQ(texts.connection, "ZN Camera Connected");
    EXPECT_EQ(texts.fw_version, sim::VersionText(rig.camera->StatusBlock()) + "-VID2C7E&&PID6363");
    EXPECT_EQ(texts.manufacturer, "SN-CAM-000042");
    EXPECT_EQ(texts.usb_speed, "N/A");  // only two chips tell their bus speed
    EXPECT_EQ(rig.device->connection().rom_flag, 0);

    ASSERT_EQ(rig.device->MP_GetDeviceInfo(), 1);
    EXPECT_EQ(texts.vid_pid_rev, "VID_2C7E&PID_6363&REV_0099");
    EXPECT_EQ(texts.memory_name, "SPI_SF_MLX128");  // a 128 KB image
    EXPECT_EQ(texts.code_mode, "Vendor Code");

    rig.device->DEV_CloseDevice();
    ASSERT_EQ(rig.device->MP_GetDeviceInfo(), 1);
    EXPECT_EQ(texts.connection, "No ZN Camera");
    EXPECT_EQ(texts.fw_version, "N/A");
    EXPECT_EQ(rig.device->Download(), 0);  // nothing to update without a camera
}

}  // namespace
}  // namespace orbisk::test

namespace orbisk::test {
namespace {

TEST(FlashOperationsTest, CamerasOfAModuleAreFoundByTheirRoleAndSwitchedToTheirRom) {
    // One camera of chip identity 0x1010: the rear camera of a multi-camera module; it carries
    // no "rear" bit in its status, so for a two-camera module it is the front one.
    sim::SimSettings settings = FlashRig::DefaultSettings();
    settings.profile = "ORV6521";
    std::vector<uint8_t> memory = MakeDemoImage(OldFirmware());
    memory[0x1EFFE] = 0x55;  // this chip's tag address
    memory[0x1EFFF] = 0xAA;
    FlashRig rig(settings, memory);
    ASSERT_TRUE(rig.camera->AppMode());

    EXPECT_EQ(rig.device->MP_OpenFrontRomFarrowDevice(), 0);
    EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{41511});
    EXPECT_TRUE(rig.log.Contains("Open Farrow Front Device Fail"));

    rig.sink.clear();
    EXPECT_EQ(rig.device->MP_OpenRearRomDevice(), 0);
    EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{41512});
    EXPECT_TRUE(rig.log.Contains("Open Rear Device Fail"));

    rig.sink.clear();
    EXPECT_EQ(rig.device->MP_OpenRearRomFarrowDevice(), 1);
    EXPECT_EQ(rig.sink.codes(kReportStepText), std::vector<uint32_t>{41718});
    EXPECT_FALSE(rig.camera->AppMode());
    rig.device->MP_CloseDevice();

    EXPECT_EQ(rig.device->MP_OpenFrontRomDevice(), 1);
    EXPECT_FALSE(rig.camera->AppMode());
}

}  // namespace
}  // namespace orbisk::test

namespace orbisk::test {
namespace {

// A demo image made for the chip of identity 0x1010 (chip model 15, tag at 0x1EFFE).
std::vector<uint8_t> Chip15Image(const DemoImageSpec& recipe) {
    std::vector<uint8_t> image = MakeDemoImage(recipe);
    uint8_t& model = image[DemoLayout::kConfigAddress + 2];
    model = static_cast<uint8_t>((15 << 3) | (model & 0x07));
    image[0x1EFFE] = 0x55;
    image[0x1EFFF] = 0xAA;
    return image;
}

TEST(FlashOperationsTest, MultiCameraModuleTakesEachCameraItsOwnImage) {
    TempDir dir;
    sim::SimSettings settings = FlashRig::DefaultSettings();
    settings.profile = "ORV6521";
    FlashRig rig(settings, Chip15Image(OldFirmware()));
    ASSERT_TRUE(rig.camera->AppMode());
    rig.device = std::make_unique<CFarrowFlashInfo_USB>(rig.process, rig.camlib, rig.profiles);
    rig.process.program_folder = dir.path();
    std::filesystem::create_directory(dir.File("rear"));
    DemoImageSpec rear = NewFirmware();
    rear.product = "Rear Module Camera";
    const std::vector<uint8_t> image = Chip15Image(rear);
    WriteFile(dir.File("rear/module.rfw"), std::string(image.begin(), image.end()));
    rig.process.config.SetValue(kConfigSection, "RearCamera", "rear");

    // No camera selected: nothing is opened.
    EXPECT_EQ(rig.device->Download(), 0);
    EXPECT_TRUE(rig.sink.reports().empty());

    rig.process.config.SetValue(kConfigSection, "MultiCamera", "2");
    ASSERT_EQ(rig.device->Download(), 1) << rig.log.Joined();
    EXPECT_EQ(rig.Memory(), image);
    EXPECT_TRUE(rig.camera->AppMode());
    EXPECT_EQ(rig.camera->CurrentIdentity().product, "Rear Module Camera");
    EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{41755});
    EXPECT_EQ(rig.device->connection().camera_handle, 0u);

    // A module whose folder holds no image for the camera.
    rig.process.config.SetValue(kConfigSection, "RearCamera", "empty");
    rig.sink.clear();
    EXPECT_EQ(rig.device->Download(), 0);
    EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{41512});
    EXPECT_TRUE(rig.log.Contains("Can't Find Suitable FW"));
}

}  // namespace
}  // namespace orbisk::test

namespace orbisk::test {
namespace {

TEST(FlashOperationsTest, DeviceObjectOfTheChosenFlashClass) {
    FlashRig rig;
    struct Case {
        MemoryClass memory_class;
        bool made;
    } const cases[] = {
        {MemoryClass::kSPIFlashInfo_USB, true},  {MemoryClass::kNORFlashInfo_USB, true},
        {MemoryClass::kTarnFlashInfo_USB, true}, {MemoryClass::kFarrowFlashInfo_USB, true},
        {MemoryClass::kEepromInfo8_USB, true},   {MemoryClass::kEepromInfo16_USB, true},
        {MemoryClass::kMTPInfo_USB, true},       {MemoryClass::kNone, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(MemoryClassName(c.memory_class));
        auto device = CreateDeviceObject(c.memory_class, rig.process, rig.camlib, rig.profiles);
        EXPECT_EQ(device != nullptr, c.made);
    }
    // The default class runs a whole update through the slot interface.
    std::unique_ptr<CDevFlow> device =
        CreateDeviceObject(MemoryClass::kSPIFlashInfo_USB, rig.process, rig.camlib, rig.profiles);
    rig.device.reset(static_cast<CFlashInfo*>(device.release()));
    ASSERT_TRUE(rig.OpenAndLoad());
    EXPECT_EQ(rig.device->Download(), 1);
    EXPECT_EQ(rig.Memory(), rig.device->images().front);
}

}  // namespace
}  // namespace orbisk::test

namespace orbisk::test {
namespace {

TEST(FlashOperationsTest, FastDownloadSwitchesAreOnlyTriedOnTheirChips) {
    // A camera that stops answering: a switch that is tried fails, one that does not concern
    // the chip is not tried at all (and so cannot fail the update of another chip).
    struct Case {
        const char* profile;
        int accelerate_6644, accelerate_6521;
    } const cases[] = {{"ORV6363", 1, 1}, {"ORV6644", 0, 1}, {"ORV6521", 1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        sim::SimSettings settings = FlashRig::DefaultSettings();
        settings.profile = c.profile;
        FlashRig rig(settings);
        ASSERT_TRUE(rig.OpenAndLoad());
        sim::Faults dead;
        dead.fail_from = rig.camera->TransferCount() + 1;
        rig.camera->SetFaults(dead);
        EXPECT_EQ(rig.device->MP_Accelerate6644Download(), c.accelerate_6644);
        EXPECT_EQ(rig.device->MP_Accelerate6521Download(), c.accelerate_6521);
        EXPECT_EQ(rig.device->MP_Prepare6521Erase(), c.accelerate_6521);
    }
}

}  // namespace
}  // namespace orbisk::test

namespace orbisk::test {
namespace {

TEST(FlashOperationsTest, RecoveryRecordIsTakenOnlyForItsChip) {
    // A camera in its boot ROM with a record for its port: the record's serial number goes into
    // the image, unless the record was written for another chip (another camera on that port).
    struct Case {
        uint16_t chip_identity;
        int download;
    } const cases[] = {{0x1010, 0}, {0xC010, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip_identity);
        sim::SimSettings settings = FlashRig::DefaultSettings();
        settings.app_mode = false;
        FlashRig rig(settings);
        rig.process.config.SetValue(kConfigSection, "SaveSN", "1");
        RecoveryRecord record;
        record.port = "1-1";
        record.vid = 0x2C7E;
        record.pid = 0x6363;
        record.chip_identity = c.chip_identity;
        record.serial = "SN-RECORDED";
        record.serial_source = RecoveryRecord::SerialSource::kManufacturerString;
        record.image = "built-in 3068";
        record.image_sha256 = std::string(64, '0');
        std::string error;
        ASSERT_TRUE(
            WriteRecoveryRecord(RecoveryRecordPath(rig.folder.path(), "1-1"), record, &error));
        ASSERT_TRUE(rig.OpenAndLoad());
        const RecoveryState& state = rig.device->texts().recovery;
        EXPECT_EQ(rig.device->Download(), c.download) << rig.log.Joined();
        if (c.download == 0) {
            EXPECT_EQ(state.rom, RecoveryState::Rom::kDamagedRecord);
            EXPECT_NE(state.problem.find("chip identity 0x1010, this camera has 0xC010"),
                      std::string::npos)
                << state.problem;
            EXPECT_EQ(rig.process.status.Code(), 41530u);
            EXPECT_FALSE(rig.camera->AppMode());
        } else {
            EXPECT_EQ(rig.camera->CurrentIdentity().manufacturer, "SN-RECORDED");
        }
    }
}

}  // namespace
}  // namespace orbisk::test
