// The checks of the flash rig, apart from the rig itself: the benchmarks build the rig without
// GoogleTest.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/flash_rig.h"

namespace orbisk::test {

void FlashRig::ExpectNewCodeRunning(const sim::ImageFacts& facts,
                                    const std::vector<uint32_t>& steps, uint32_t first_progress,
                                    size_t progress_count) {
    EXPECT_EQ(Memory(), device->images().front);
    EXPECT_TRUE(facts.tagged);
    EXPECT_EQ(facts.version(), 0x1060);
    EXPECT_TRUE(camera->AppMode());
    device->MP_GetDeviceInfo();
    EXPECT_EQ(device->texts().fw_version, sim::VersionText(camera->StatusBlock()));
    EXPECT_EQ(device->texts().code_mode, "Vendor Code");

    EXPECT_EQ(StepTexts(), steps);
    const std::vector<uint32_t> progress = Progress();
    ASSERT_EQ(progress.size(), progress_count);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.front(), first_progress);
    EXPECT_EQ(progress.back(), 100u);
    EXPECT_EQ(sink.codes(kReportSuccess), std::vector<uint32_t>{41755});
    EXPECT_TRUE(sink.codes(kReportFailure).empty());
    EXPECT_EQ(process.status.Code(), 0u);
}

}  // namespace orbisk::test
