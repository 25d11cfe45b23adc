#include "catalogue/image_selection.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/clock.h"
#include "base/logger.h"
#include "base/process.h"
#include "catalogue/ic_type_ini.h"
#include "image/demo_image.h"
#include "support/recorders.h"
#include "support/temp_dir.h"

namespace orbisk {
namespace {

class ImageSelectionTest : public ::testing::Test {
  protected:
    ImageSelectionTest() {
        process.program_folder = dir.path();
        logger.SetSink(&log);
        profiles.BuildProfileList();
        profiles.SelectDefaultProfile();
    }
    void Image(const std::string& folder, const std::string& name,
               const std::vector<uint8_t>& bytes) {
        std::filesystem::create_directories(dir.File(folder));
        test::WriteFile(dir.File(folder + "/" + name), std::string(bytes.begin(), bytes.end()));
    }
    ImageSelection Selection(uint16_t vid = 0x2C7E, uint16_t pid = 0x6363) {
        return ImageSelection{process, profiles, images, vid, pid, &chosen, &identity, &scope};
    }

    test::TempDir dir;
    VirtualClock clock;
    test::RecordingLogSink log;
    Logger logger{clock, nullptr};
    Process process{clock, logger};
    LogScope scope{logger, "Test"};
    CICTypeIni profiles{process};
    ImageRecord images;
    std::string chosen = "stale";
    std::string identity;
};

// A demo image moved to another configuration address and chip model.
std::vector<uint8_t> ImageForModel(uint8_t chip_model, uint32_t config_address) {
    auto image = MakeDemoImage({});
    std::vector<uint8_t> area(image.begin() + DemoLayout::kConfigAddress,
                              image.begin() + DemoLayout::kConfigAddress + DemoLayout::kConfigSize);
    std::fill(image.begin() + DemoLayout::kConfigAddress,
              image.begin() + DemoLayout::kConfigAddress + DemoLayout::kConfigSize, 0xFF);
    area[2] = static_cast<uint8_t>((area[2] & 0x07) | (chip_model << 3));
    std::copy(area.begin(), area.end(), image.begin() + config_address);
    return image;
}

TEST_F(ImageSelectionTest, ImageCheckForAChipIdentity) {
    auto s = Selection();
    EXPECT_EQ(CheckImageForChipIdentity(s, {0x10, 0xC0}), 1);
    EXPECT_EQ(profiles.chip_info, 22);
    EXPECT_EQ(identity.rfind("VID_2C7E&PID_6363&REV_", 0), 0u) << identity;

    identity.clear();
    EXPECT_EQ(CheckImageForChipIdentity(s, {0x10, 0x30}), 0);  // profile of another chip model
    EXPECT_EQ(CheckImageForChipIdentity(s, {0x70, 0x70}), 0);  // no profile at all
    EXPECT_TRUE(identity.empty());
    auto foreign = Selection(0x1234, 0x5678);  // the carried image is not for this camera
    EXPECT_EQ(CheckImageForChipIdentity(foreign, {0x10, 0xC0}), 0);
}

TEST_F(ImageSelectionTest, FirstLoadableImage) {
    Image(".", "b.rfw", {1});
    Image(".", "a.RFW", {1});
    Image(".", "c.bin", {1});
    auto s = Selection();
    ASSERT_EQ(FindFirstLoadableImage(s), 1);
    EXPECT_EQ(chosen, dir.File("a.RFW"));
    EXPECT_EQ(images.front_path, chosen);

    auto foreign = Selection(0x1234, 0x5678);
    EXPECT_EQ(FindFirstLoadableImage(foreign), 0);
    EXPECT_TRUE(chosen.empty());
    EXPECT_TRUE(images.front_path.empty());
}

TEST_F(ImageSelectionTest, RearImageOfATwoSensorModule) {
    process.config.SetValueI(kConfigSection, "SensorID", 1);
    Image("Larkvale", "1-broken.rfw", std::vector<uint8_t>(4096, 0xFF));
    // Chip model 9 where the chip's profile says 8: refused by the strict check.
    Image("Larkvale", "2-model9.rfw", ImageForModel(9, 0xE800));
    Image("Larkvale", "3-good.rfw", MakeDemoImage({}));
    auto s = Selection();
    auto chip_6363 = [] { return std::array<uint8_t, 2>{0x10, 0xC0}; };
    ASSERT_EQ(GetFwFileForTarnAllInOneFarrow(s, SensorSlot::kRear, kRearLarkvaleProbeId, chip_6363),
              1);
    EXPECT_EQ(std::filesystem::path(chosen).filename(), "3-good.rfw");
    EXPECT_EQ(images.rear_path, chosen);
    EXPECT_TRUE(log.Contains("SensorID:1,ProbeID:0x6737,Rear FW:" + chosen));

    auto chip_model8 = [] { return std::array<uint8_t, 2>{0x00, 0xA0}; };
    Image("Ostrey", "only-model9.rfw", ImageForModel(9, 0xE800));
    EXPECT_EQ(GetFwFileForTarnAllInOneFarrow(s, SensorSlot::kRear, 0x1111, chip_model8), 0);
    EXPECT_TRUE(chosen.empty());
    EXPECT_TRUE(images.rear_path.empty());

    // Without SensorID the folder comes from the configuration.
    process.config.SetValueI(kConfigSection, "SensorID", 0);
    process.config.SetValue(kConfigSection, "RearCamera", "Module");
    Image("Module", "m.rfw", MakeDemoImage({}));
    ASSERT_EQ(GetFwFileForTarnAllInOneFarrow(s, SensorSlot::kRear, 0, chip_6363), 1);
    EXPECT_EQ(std::filesystem::path(chosen).filename(), "m.rfw");
}

}  // namespace
}  // namespace orbisk
