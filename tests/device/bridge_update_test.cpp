// Whole updates of the flash behind a simulated MIPI bridge through the device object: the
// bridge ends up running the new image, whichever way it was verified.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/bridge_rig.h"

namespace orbisk::test {
namespace {

// The bridge runs the new image and the device object shows its version.
void ExpectRunsNewImage(BridgeRig& rig, const std::vector<uint8_t>& image) {
    const std::vector<uint8_t> flash = rig.BridgeFlash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    EXPECT_EQ(rig.camera->BridgeMode(), 2);
    EXPECT_EQ(rig.device->version_words()[0], kNewBridgeVersion);
    EXPECT_EQ(rig.device->version_words()[1], kNewBridgeWord);
    // Bytes 27, 30, 31, 4 and 5 of the information block.
    EXPECT_EQ(rig.device->texts().fw_version, "0x00-2420-0001");
    // Locked again, and complete.
    const sim::SimSettings settings = rig.camera->Settings();
    EXPECT_EQ(settings.bridge.flash_status, 0x8C);
    EXPECT_TRUE(settings.bridge.complete);
    EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{41755});
    EXPECT_TRUE(rig.sink.codes(kReportFailure).empty());
    EXPECT_EQ(rig.process.status.Code(), 0u);
}

TEST(BridgeUpdateTest, CommandLineUpdateVerifiesByReadingBack) {
    BridgeRig rig;
    const std::vector<uint8_t> image = NewBridgeImage();
    ASSERT_TRUE(rig.OpenAndLoad(image));

    ASSERT_EQ(rig.device->Download(), 1) << rig.log.Joined();
    ExpectRunsNewImage(rig, image);
    EXPECT_EQ(rig.StepTexts(), (std::vector<uint32_t>{41718, 41719, 41721, 41722, 41723, 41724}));
    // 512 program commands, then 512 reads of the same 256-byte chunks; no checksum.
    EXPECT_EQ(rig.Commands(0x01, 0xC2).size(), 512u);
    EXPECT_EQ(rig.Commands(0x01, 0x82).size(), 512u);
    EXPECT_TRUE(rig.Commands(0x01, 0x8A).empty());
    const std::vector<uint32_t> progress = rig.sink.codes(kReportProgress);
    ASSERT_EQ(progress.size(), 512u * 2 + 1);
    EXPECT_EQ(progress.front(), 50u);
    EXPECT_EQ(progress[511], 70u);
    EXPECT_EQ(progress[1023], 90u);
    EXPECT_EQ(progress.back(), 100u);
}

TEST(BridgeUpdateTest, DialogUpdateVerifiesByTheBridgesCrc) {
    BridgeRig rig;
    rig.process.run_mode = kRunDialog;
    const std::vector<uint8_t> image = NewBridgeImage();
    ASSERT_TRUE(rig.OpenAndLoad(image));
    int waits = 0;
    rig.device->SetImageCrcSource([&](uint32_t, uint32_t* crc) {
        ++waits;
        *crc = ReferenceCrc(image);
        return true;
    });

    ASSERT_EQ(rig.device->Download(), 1) << rig.log.Joined();
    ExpectRunsNewImage(rig, image);
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(rig.StepTexts(),
              (std::vector<uint32_t>{41718, 41719, 41721, 41733, 41734, 41723, 41724}));
    // The bridge computed the CRC itself: one checksum over the image, nothing read back.
    const auto checksums = rig.Commands(0x01, 0x8A);
    ASSERT_EQ(checksums.size(), 1u);
    EXPECT_EQ(checksums[0].length, image.size());
    EXPECT_TRUE(rig.Commands(0x01, 0x82).empty());
}

TEST(BridgeUpdateTest, ACrcThatDiffersOrNeverComesFailsBeforeTheImageIsCompleted) {
    for (const bool arrives : {true, false}) {
        SCOPED_TRACE(arrives ? "wrong CRC" : "no CRC");
        BridgeRig rig;
        rig.process.run_mode = kRunDialog;
        ASSERT_TRUE(rig.OpenAndLoad());
        rig.device->SetImageCrcSource([&](uint32_t timeout_ms, uint32_t* crc) {
            EXPECT_GT(timeout_ms, 0u);
            *crc = 0x12345678;
            return arrives;
        });
        EXPECT_EQ(rig.device->Download(), 0);
        EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{41709});
        // Never completed: the bridge stays in its boot ROM, ready for the next run.
        EXPECT_TRUE(rig.Commands(0x01, 0x09).empty());
        EXPECT_FALSE(rig.camera->Settings().bridge.complete);
        EXPECT_EQ(rig.camera->BridgeMode(), 1);
    }
}

}  // namespace
}  // namespace orbisk::test
