// The fast profile ("Fast Profile=1"): the largest data packets the camera takes, and no empty
// check when the verify reads every byte anyway.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/status_codes.h"
#include "device/flash_rig.h"
#include "image/demo_image.h"
#include "sim/sim_image.h"
#include "support/table_row.h"

namespace orbisk::test {
namespace {

constexpr uint32_t kChunk = 4096;
constexpr uint8_t kOptLarge = 0x08, kOptProgram = 0x10;

// A camera whose controller takes data packets up to `largest` bytes, with the fast profile on.
struct FastRig : FlashRig {
    explicit FastRig(uint16_t largest,
                     std::vector<uint8_t> old_image = MakeDemoImage(OldFirmware()))
        : FlashRig(Settings(largest), std::move(old_image)) {
        process.config.SetValue(kConfigSection, "Fast Profile", "1");
    }
    static sim::SimSettings Settings(uint16_t largest) {
        sim::SimSettings settings = DefaultSettings();
        settings.max_data_size = largest;
        return settings;
    }
};

TEST(FastProfileTest, TheLargestPacketsTheCameraTakesCarryTheUpdate) {
    // The controller's largest size as its length read-back reports it is the one used; a
    // camera that takes less than 64 bytes gets the 64 the large transfers ask for, and when it
    // cannot do that either, the size it reports.
    struct Row {
        uint16_t largest;
        uint16_t used;
    };
    const Row rows[] = {{1024, 1024}, {4096, 1024}, {512, 512}, {64, 64}, {32, 32}, {8, 8}};
    for (const Row& row : rows) {
        TRACE_ROW(rows, row);
        FastRig fast(row.largest);
        ASSERT_TRUE(fast.OpenAndLoad());
        fast.sink.clear();
        const uint32_t before = fast.camera->TransferCount();

        ASSERT_EQ(fast.device->Download(), 1) << fast.log.Joined();

        EXPECT_TRUE(fast.log.Contains("Data packets of " + std::to_string(row.used) + " bytes"))
            << fast.log.Joined();
        // No empty check: the verify compares every byte.
        const uint32_t chunks = static_cast<uint32_t>(fast.Memory().size() / kChunk);
        const sim::ChipProfile& chip = *sim::FindProfile("ORV6363");
        fast.ExpectNewCodeRunning(
            sim::ReadImageFacts(fast.Memory(), chip.config_address, chip.tag_address),
            {41718, 41719, 41721, 41722, 41724}, 5, 2u * chunks + 2);
        // Every chunk written and read back goes in packets of the size used: a command and
        // 4096 / size packets. The rest of the update (resets, unlock, the busy reads of the
        // erase and of the page programs, tag, lock) takes fewer than 400 transfers, so packets
        // of half the size would not fit.
        const uint32_t per_chunk = 1 + kChunk / row.used;
        EXPECT_LE(fast.camera->TransferCount() - before, 2 * chunks * per_chunk + 400);
    }
}

TEST(FastProfileTest, AFlashThatKeepsABitFailsTheCompareAndIsNotTagged) {
    // The new image leaves a block blank, where the old one had code: only the erase clears
    // it, and a bit there stays 0. Without the empty check the compare must find it.
    std::vector<uint8_t> old_image = MakeDemoImage(OldFirmware());
    std::fill(old_image.begin() + 0x6000, old_image.begin() + 0x7000, 0x5A);
    std::vector<uint8_t> image = MakeDemoImage(NewFirmware());
    std::fill(image.begin() + 0x6000, image.begin() + 0x7000, 0xFF);
    struct Row {
        bool fast;
        bool program;
        std::vector<uint32_t> steps;
        uint32_t failure;
    };
    const Row rows[] = {
        {true, true, {41718, 41719, 41721, 41722}, kStatusCompareFail},
        {false, true, {41718, 41719, 41720}, kStatusCheckEmptyFail},
        // Nothing written, nothing verified: the empty check stays.
        {true, false, {41718, 41719, 41720}, kStatusCheckEmptyFail},
    };
    for (const Row& row : rows) {
        TRACE_ROW(rows, row);
        FastRig fast(1024, old_image);
        if (!row.fast) fast.process.config.SetValue(kConfigSection, "Fast Profile", "0");
        ASSERT_TRUE(fast.OpenAndLoad(image));
        if (!row.program) fast.process.download_options &= static_cast<uint8_t>(~kOptProgram);
        sim::Faults faults;
        faults.stuck_bit = true, faults.stuck_address = 0x6010, faults.stuck_mask = 0x01;
        faults.stuck_value = false;
        fast.camera->SetFaults(faults);
        fast.sink.clear();

        EXPECT_EQ(fast.device->Download(), 0);

        EXPECT_EQ(fast.StepTexts(), row.steps);
        EXPECT_EQ(fast.sink.codes(kReportFailure), std::vector<uint32_t>{row.failure});
        const std::vector<uint8_t> memory = fast.Memory();
        EXPECT_EQ(memory[DemoLayout::kTagAddress], 0xFF);
        EXPECT_EQ(memory[DemoLayout::kTagAddress + 1], 0xFF);
        EXPECT_FALSE(fast.camera->AppMode());
    }
}

TEST(FastProfileTest, OffLeavesThePacketSizeOfTheDownloadOptions) {
    // Without the profile the large-transfer option still means 64-byte packets.
    FlashRig rig;
    ASSERT_TRUE(rig.OpenAndLoad());
    rig.process.download_options |= kOptLarge;
    ASSERT_EQ(rig.device->Download(), 1) << rig.log.Joined();
    EXPECT_FALSE(rig.log.Contains("Data packets of"));
    EXPECT_TRUE(rig.Memory() == rig.device->images().front);
}

}  // namespace
}  // namespace orbisk::test
