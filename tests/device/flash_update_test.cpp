// Whole updates of a simulated serial-flash camera through the device object, as the command
// line runs them.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/flash_rig.h"
#include "device/tarn_flash_info_usb.h"
#include "image/config_edit.h"
#include "image/demo_image.h"
#include "sim/sim_image.h"

namespace orbisk::test {
namespace {

constexpr uint32_t kTag = DemoLayout::kTagAddress;

// The whole update for a camera of each write-protect family, found locked (as an update
// leaves it) and unlocked.
class FlashScenarioTest : public ::testing::TestWithParam<ChipCase> {
  protected:
    FlashScenarioTest()
        : rig(ChipSettings(GetParam()), ChipImage(GetParam().profile, OldFirmware())) {}
    bool Load() { return rig.OpenAndLoad(ChipImage(GetParam().profile, NewFirmware())); }
    sim::ImageFacts MemoryFacts() {
        const sim::ChipProfile& chip = *sim::FindProfile(GetParam().profile);
        return sim::ReadImageFacts(rig.Memory(), chip.config_address, chip.tag_address);
    }
    FlashRig rig;
};

INSTANTIATE_TEST_SUITE_P(Chips, FlashScenarioTest, ::testing::ValuesIn(kChipCases),
                         [](const auto& info) { return ChipCaseName(info.param); });

TEST_P(FlashScenarioTest, DownloadWritesTheImageKeepsTheSerialAndStartsTheNewCode) {
    rig.process.config.SetValue(kConfigSection, "SaveSN", "1");
    ASSERT_TRUE(Load());
    rig.sink.clear();

    ASSERT_EQ(rig.device->Download(), 1) << rig.log.Joined();

    // The new image with the camera's serial number carried over; the camera came back running
    // it, with the same serial number, and the flash is locked again, whichever way it was found.
    const sim::ImageFacts facts = MemoryFacts();
    EXPECT_EQ(facts.identity.manufacturer, "SN-CAM-000042");
    EXPECT_EQ(rig.camera->CurrentIdentity().manufacturer, "SN-CAM-000042");
    EXPECT_EQ(rig.camera->Settings().flash_status, sim::kProtectedFlashStatus);
    // One chunk of 4096 bytes per progress value in each of the three transfers, the erase's 5
    // and the final 100.
    rig.ExpectNewCodeRunning(facts, {41718, 41719, 41720, 41721, 41722, 41724}, 5,
                             3u * rig.Memory().size() / 4096 + 2);
    // The erase goes on in the flash while the device lock is free: no command holds it for
    // longer than one 4 KB chunk of 8-byte packets takes.
    EXPECT_LT(rig.lock->longest_hold_ms, 100u);
}

TEST(FlashUpdateTest, WithoutProgramAndVerifyTheUpdateOnlyErases) {
    FlashRig rig;
    ASSERT_TRUE(rig.OpenAndLoad());
    rig.process.download_options &= static_cast<uint8_t>(~0x10);
    rig.sink.clear();

    ASSERT_EQ(rig.device->Download(), 1) << rig.log.Joined();
    const std::vector<uint8_t> memory = rig.Memory();
    EXPECT_TRUE(std::all_of(memory.begin(), memory.end(), [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(rig.StepTexts(), (std::vector<uint32_t>{41718, 41719, 41720, 41724}));
    // Nothing to start: the camera stays in its boot ROM, and that is no failure here.
    EXPECT_FALSE(rig.camera->AppMode());
    EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{41755});
}

// Faults during an update. Each must end with its step's failure code, and the memory holds
// either the old image untouched or no tagged image at all.
struct FaultCase {
    const char* name;
    void (*arrange)(FlashRig& rig, int& attempts);
    int result;
    uint32_t failure;        // 0: none
    bool untouched = false;  // the failure comes before the flash is erased
};

// The first byte of the new image whose bit 0 differs from `stuck`: a bit stuck there shows.
uint32_t StuckAddress(const std::vector<uint8_t>& image, bool stuck) {
    return static_cast<uint32_t>(
        std::find_if(image.begin(), image.end(), [&](uint8_t b) { return (b & 0x01) != stuck; }) -
        image.begin());
}

void StuckBit(FlashRig& rig, bool value) {
    sim::Faults faults;
    faults.stuck_bit = true;
    faults.stuck_address = StuckAddress(rig.device->images().front, value);
    faults.stuck_mask = 0x01;
    faults.stuck_value = value;
    rig.camera->SetFaults(faults);
}

const FaultCase kFaults[] = {
    {"a chunk that fails seven times, then succeeds",
     [](FlashRig& rig, int& attempts) {
         rig.factory.write_hook = [&attempts](uint32_t address, uint32_t length) {
             if (address != 0x4000 || length != 4096) return kOk;
             return ++attempts <= 7 ? kFail : kOk;
         };
     },
     1, 0},
    {"a chunk that always fails",
     [](FlashRig& rig, int& attempts) {
         rig.factory.write_hook = [&attempts](uint32_t address, uint32_t length) {
             if (address != 0x4000 || length != 4096) return kOk;
             ++attempts;
             return kFail;
         };
     },
     0, 41706},
    {"a stop request during the write",
     [](FlashRig& rig, int&) {
         rig.factory.write_hook = [&rig](uint32_t address, uint32_t) {
             if (address == 0x6000) rig.cancel.SetCancel(true);
             return kOk;
         };
     },
     0, 41706},
    {"a disconnect in the middle of the write",
     [](FlashRig& rig, int&) {
         rig.factory.write_hook = [&rig](uint32_t address, uint32_t) {
             if (address == 0x8000) {
                 sim::Faults faults;
                 faults.disconnect_at = rig.bus.transfers() + 3;
                 rig.camera->SetFaults(faults);
             }
             return kOk;
         };
     },
     0, 41706},
    // Stuck at 0, the erased flash is not empty; stuck at 1, the written image does not verify.
    {"a bit stuck at 0", [](FlashRig& rig, int&) { StuckBit(rig, false); }, 0, 41717},
    {"a bit stuck at 1", [](FlashRig& rig, int&) { StuckBit(rig, true); }, 0, 41709},
    {"a tag address outside the image",
     [](FlashRig& rig, int&) { rig.profiles.SetValue("Vendor Info M1", "TagAddress", "0x20000"); },
     0, 41706, true},
    {"a busy bit that never clears",
     [](FlashRig& rig, int&) {
         sim::Faults faults;
         faults.busy_stuck = true;
         rig.camera->SetFaults(faults);
     },
     0, 41710, true},
};

TEST_P(FlashScenarioTest, FaultsEndWithTheirStepCodeAndNoTaggedImage) {
    const ChipCase chip = GetParam();
    for (const FaultCase& c : kFaults) {
        SCOPED_TRACE(c.name);
        FlashRig rig(ChipSettings(chip), ChipImage(chip.profile, OldFirmware()));
        const std::vector<uint8_t> old_memory = rig.Memory();
        const sim::ChipProfile& layout = *sim::FindProfile(chip.profile);
        ASSERT_TRUE(rig.OpenAndLoad(ChipImage(chip.profile, NewFirmware())));
        const std::vector<uint8_t> image = rig.device->images().front;
        int attempts = 0;
        c.arrange(rig, attempts);
        rig.sink.clear();

        EXPECT_EQ(rig.device->Download(), c.result);
        const std::vector<uint32_t> failures = rig.sink.codes(kReportFailure);
        if (c.failure == 0) {
            EXPECT_TRUE(failures.empty());
            EXPECT_EQ(rig.Memory(), image);
            EXPECT_EQ(attempts, 8);  // seven failures and the one that worked
        } else {
            // One failure report, with the step's code; the loaded image is left as it was.
            EXPECT_EQ(failures, std::vector<uint32_t>{c.failure}) << rig.log.Joined();
            EXPECT_EQ(rig.process.status.Code(), c.failure);
            const std::vector<uint8_t> memory = rig.Memory();
            EXPECT_TRUE(
                memory == old_memory ||
                !sim::ReadImageFacts(memory, layout.config_address, layout.tag_address).tagged);
            if (c.untouched) {
                EXPECT_EQ(memory, old_memory);
            }
            EXPECT_EQ(rig.device->images().front, image);
            if (c.failure == 41706 && attempts > 0) {
                EXPECT_EQ(attempts, 8);
            }
        }
    }
}

TEST(FlashUpdateTest, FailedWriteLocksTheFlashAgain) {
    FlashRig rig;
    ASSERT_TRUE(rig.OpenAndLoad());
    rig.factory.write_hook = [](uint32_t address, uint32_t) {
        return address == 0x1000 ? kFail : kOk;
    };
    EXPECT_EQ(rig.device->Download(), 0);
    EXPECT_EQ(rig.camera->Settings().flash_status, 0x8C);
    EXPECT_TRUE(rig.log.Contains("Write Flash Code Fail"));
}

TEST(FlashUpdateTest, CameraNotBackInItsCodeIsReportedOnceAsWrittenAndVerified) {
    // An image without its identity record is written and tagged, but the camera cannot start
    // it and stays in its boot ROM after each reset.
    std::vector<uint8_t> image = MakeDemoImage(NewFirmware());
    const ConfigLayout layout{DemoLayout::kConfigAddress, DemoLayout::kConfigSize, kTag};
    ASSERT_EQ(RebuildWithoutType(image, layout, 0x04), EditResult::kOk);
    FlashRig rig;
    ASSERT_TRUE(rig.OpenAndLoad(image));
    rig.sink.clear();

    EXPECT_EQ(rig.device->Download(), 0);
    // The restart is tried three times; the one failure says what the camera holds.
    EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{41736});
    std::vector<uint32_t> steps = rig.sink.codes(kReportStepText);
    EXPECT_EQ(std::count(steps.begin(), steps.end(), 41724u), 3);
    EXPECT_TRUE(rig.log.Contains("Device is not in cache mode"));
    EXPECT_TRUE(rig.log.Contains("Firmware written and verified"));
    EXPECT_EQ(rig.process.status.Code(), 41736u);
    EXPECT_EQ(rig.Memory(), image);
}

TEST(FlashUpdateTest, BusyBitWaitAfterTheStatusWriteFollowsTheFlashUpToOneSecond) {
    // The unlock and the lock each wait for a status write: a slower write costs the update
    // twice its extra time and hardly more (a poll every millisecond), up to the one-second
    // bound, past which the unlock fails.
    auto run = [](uint32_t status_write_ms, int& result) {
        sim::SimSettings settings = FlashRig::DefaultSettings();
        settings.timing.status_write_ms = status_write_ms;
        auto rig = std::make_unique<FlashRig>(settings);
        EXPECT_TRUE(rig->OpenAndLoad());
        const uint64_t start = rig->clock.now_us();
        result = rig->device->Download();
        return std::pair{rig->clock.now_us() - start, std::move(rig)};
    };
    int result = 0;
    const uint64_t base_us = run(10, result).first;
    ASSERT_EQ(result, 1);
    for (const uint32_t ms : {47u, 410u, 990u}) {
        SCOPED_TRACE(ms);
        const uint64_t took_us = run(ms, result).first;
        EXPECT_EQ(result, 1);
        const uint64_t extra_us = 2 * (ms - 10) * 1000;
        EXPECT_GE(took_us, base_us + extra_us);
        EXPECT_LE(took_us, base_us + extra_us + 4000);
    }
    auto [took_us, rig] = run(1010, result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(rig->sink.codes(kReportFailure), std::vector<uint32_t>{41710});
    EXPECT_TRUE(rig->log.Contains("Waiting Time Out"));
}

TEST(FlashUpdateTest, TwoCameraModuleIsUpdatedFrontThenRear) {
    FlashRig rig;  // the front camera, on port 1
    sim::SimSettings rear_settings = FlashRig::DefaultSettings();
    rear_settings.ports = {2};
    rear_settings.rear_camera = true;
    auto rear = std::make_shared<sim::SimCamera>(rear_settings, MakeDemoImage(OldFirmware()),
                                                 rig.camera_clock);
    rig.sim_bus.AddCamera(rear);
    rig.device = std::make_unique<CTarnFlashInfo_USB>(rig.process, rig.camlib, rig.profiles);
    ASSERT_TRUE(rig.OpenAndLoad());
    DemoImageRecipe rear_recipe = NewFirmware();
    rear_recipe.product = "Orbisk Rear Camera";
    rear_recipe.version = 0x1070;
    rig.device->images().rear = MakeDemoImage(rear_recipe);
    rig.sink.clear();

    ASSERT_EQ(rig.device->Download(), 1) << rig.log.Joined();
    EXPECT_EQ(rig.Memory(), rig.device->images().front);
    EXPECT_EQ(rear->Memory(), rig.device->images().rear);
    EXPECT_EQ(rear->CurrentIdentity().product, "Orbisk Rear Camera");
    EXPECT_TRUE(rig.camera->AppMode());
    EXPECT_TRUE(rear->AppMode());
    // Progress 100 after each camera, success once at the end; the cameras are closed.
    const std::vector<uint32_t> progress = rig.Progress();
    EXPECT_EQ(std::count(progress.begin(), progress.end(), 100u), 2);
    EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{41755});
    EXPECT_EQ(rig.device->connection().camera_handle, 0u);
}

TEST(FlashUpdateTest, BlocksOfOnlyErasedBytesAreNotWrittenYetTheWholeImageIsVerified) {
    // The old image has code where the new one is blank: the erase alone must clear it, and the
    // verify reads every byte, so a block left out wrongly would fail the update.
    std::vector<uint8_t> old_image = MakeDemoImage(OldFirmware());
    std::fill(old_image.begin() + 0xC000, old_image.end(), 0x5A);
    std::vector<uint8_t> image = MakeDemoImage(NewFirmware());
    std::fill(image.begin() + 0x3000, image.begin() + 0x4000, 0xFF);
    image[0x5FFF] = 0xFE;  // one programmed byte makes its block count
    FlashRig rig(FlashRig::DefaultSettings(), old_image);
    ASSERT_TRUE(rig.OpenAndLoad(image));
    std::vector<uint32_t> written;
    rig.factory.write_hook = [&written](uint32_t address, uint32_t) {
        written.push_back(address);
        return kOk;
    };
    ASSERT_EQ(rig.device->Download(), 1);

    std::vector<uint32_t> expected;
    for (uint32_t at = 0; at < image.size(); at += 4096) {
        const bool tag_block = at <= DemoLayout::kTagAddress && DemoLayout::kTagAddress < at + 4096;
        bool blank = true;
        for (uint32_t i = at; i < at + 4096; ++i)
            if (image[i] != 0xFF &&
                !(tag_block && i >= DemoLayout::kTagAddress && i < DemoLayout::kTagAddress + 2u))
                blank = false;
        if (!blank) expected.push_back(at);
    }
    expected.push_back(DemoLayout::kTagAddress);
    EXPECT_EQ(written, expected);
    EXPECT_LT(expected.size(), image.size() / 4096);  // some blocks were left out
    EXPECT_TRUE(std::find(expected.begin(), expected.end(), 0x5000u) != expected.end());
    EXPECT_TRUE(rig.Memory() == image);
    EXPECT_TRUE(rig.camera->AppMode());
}

}  // namespace
}  // namespace orbisk::test
