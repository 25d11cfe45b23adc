// Whole updates of a simulated NOR-flash camera through the NOR device object, as the command
// line runs them.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/flash_rig.h"
#include "device/nor_flash_info_usb.h"
#include "device/recovery_record.h"
#include "image/demo_image.h"
#include "sim/sim_image.h"

namespace orbisk::test {
namespace {

// NOR commands carry 16-bit addresses: the camera has 64 KB and the images are cut to that.
constexpr size_t kNorSize = 0x10000;

std::vector<uint8_t> NorImage(const DemoImageRecipe& recipe) {
    std::vector<uint8_t> image = MakeDemoImage(recipe);
    // Everything past 64 KB is unused in the demo images, so nothing is lost.
    EXPECT_TRUE(
        std::all_of(image.begin() + kNorSize, image.end(), [](uint8_t b) { return b == 0xFF; }));
    image.resize(kNorSize);
    return image;
}

sim::SimSettings NorSettings() {
    sim::SimSettings settings = FlashRig::DefaultSettings();
    settings.memory = sim::MemoryKind::kNorFlash;
    settings.flash_status = 0;  // no status register
    settings.memory_size = kNorSize;
    return settings;
}

struct NorRig : FlashRig {
    NorRig() : FlashRig(NorSettings(), NorImage(OldFirmware())) {
        device = std::make_unique<CNORFlashInfo_USB>(process, camlib, profiles);
    }
    bool Load() { return OpenAndLoad(NorImage(NewFirmware())); }
};

TEST(NorUpdateTest, DownloadWritesTaggedImageAndStartsTheNewCode) {
    NorRig rig;
    ASSERT_TRUE(rig.Load());
    rig.sink.clear();

    ASSERT_EQ(rig.device->Download(), 1) << rig.log.Joined();

    EXPECT_EQ(rig.camera->CurrentIdentity().product, "Orbisk Demo Camera");
    // The status block read at the end of the download already shows the new version.
    EXPECT_EQ(rig.device->texts().fw_version.rfind("0x00-0000-1060", 0), 0u)
        << rig.device->texts().fw_version;
    // Into the boot ROM, empty check, write, verify (16 chunks each), tag and reset; the erase's
    // 30, the chunks and the final 100.
    rig.ExpectNewCodeRunning(
        sim::ReadImageFacts(rig.Memory(), DemoLayout::kConfigAddress, DemoLayout::kTagAddress),
        {41718, 41720, 41721, 41722, 41723, 41724}, 30, 1u + 3 * 16 + 1);
}

TEST(NorUpdateTest, StuckBitIsCaughtAndTheCameraIsNotStarted) {
    // Stuck at 0, the erased memory is not empty; stuck at 1, the written image does not
    // verify. Either way the update stops before the reset, with the step's code, and leaves
    // no tagged image behind.
    struct Case {
        bool stuck_value;
        uint32_t failure;
    } const cases[] = {{false, 41717}, {true, 41709}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stuck_value);
        NorRig rig;
        ASSERT_TRUE(rig.Load());
        const std::vector<uint8_t> image = rig.device->images().front;
        // A byte past the tag whose bit 0 differs from the stuck value.
        const auto at = std::find_if(image.begin() + 0x1000, image.end(), [&](uint8_t b) {
            return (b & 0x01) != static_cast<uint8_t>(c.stuck_value);
        });
        ASSERT_NE(at, image.end());
        sim::Faults faults;
        faults.stuck_bit = true;
        faults.stuck_address = static_cast<uint32_t>(at - image.begin());
        faults.stuck_mask = 0x01;
        faults.stuck_value = c.stuck_value;
        rig.camera->SetFaults(faults);
        rig.sink.clear();

        EXPECT_EQ(rig.device->Download(), 0);
        EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{c.failure})
            << rig.log.Joined();
        EXPECT_EQ(rig.process.status.Code(), c.failure);
        EXPECT_TRUE(rig.sink.codes(kReportSuccess).empty());
        EXPECT_FALSE(rig.camera->AppMode());  // left in its boot ROM
        EXPECT_EQ(rig.device->images().front, image);
        // The tag is only written after a matching read-back: nothing the boot ROM would start.
        const std::vector<uint8_t> memory = rig.Memory();
        EXPECT_EQ(memory[DemoLayout::kTagAddress], 0xFF);
        EXPECT_EQ(memory[DemoLayout::kTagAddress + 1], 0xFF);
    }
}

TEST(NorUpdateTest, DroppedTagIsCaughtAndTheRecordBringsTheCameraBack) {
    NorRig rig;
    ASSERT_TRUE(rig.Load());
    const std::string record = RecoveryRecordPath(rig.folder.path(), "1-1");
    sim::Faults faults;
    faults.drop_write = 17;  // 16 program commands of 4 KB write the image; then the tag
    rig.camera->SetFaults(faults);
    rig.sink.clear();
    EXPECT_EQ(rig.device->Download(), 0);
    EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{41712});
    EXPECT_FALSE(rig.camera->AppMode());
    ASSERT_TRUE(FileExists(record));

    // The same object on the next try: the camera is in its boot ROM, its record lets it in.
    rig.camera->SetFaults({});
    EXPECT_EQ(rig.device->Download(), 1) << rig.log.Joined();
    EXPECT_TRUE(rig.camera->AppMode());
    EXPECT_EQ(rig.Memory(), rig.device->images().front);
    EXPECT_FALSE(FileExists(record));
}

}  // namespace
}  // namespace orbisk::test
