// The OTP memory type's other slots and its space check, against the simulated OTP camera.
#include <gtest/gtest.h>

#include "device/otp_rig.h"
#include "sim/sim_otp.h"

namespace orbisk::test {
namespace {

constexpr const char* kLowSpace = "OTP Code Size Less than 5K,\nContinue to Update!";
constexpr const char* kFewEntries = "OTP VD Block Less than 4,\nContinue to Update!";

// An OTP after `count` downloads of images with `code` bytes of code.
std::vector<uint8_t> Programmed(int count, size_t code) {
    std::vector<uint8_t> otp(0x4000, 0);
    for (int i = 0; i < count; ++i) {
        OtpRig rig(otp);
        EXPECT_TRUE(rig.Open());
        EXPECT_EQ(rig.Download(OtpImage(0x1000 + i, code)), 1);
        otp = rig.Otp();
    }
    return otp;
}

struct SpaceCase {
    const char* name;
    int downloads;
    size_t code;
    bool yes;
    std::vector<std::string> questions;
    int result;
};

TEST(OtpOperationsTest, TheSpaceCheckAsksBeforeTheLastFewDownloads) {
    // Three downloads of about 3 KB leave 6.8 KB; four leave 3.7 KB. Six of 400 bytes leave
    // four entries.
    const SpaceCase cases[] = {
        {"enough space and entries", 3, 3000, false, {}, 1},
        {"little space, No", 4, 3000, false, {kLowSpace}, 0},
        {"little space, Yes", 4, 3000, true, {kLowSpace}, 1},
        {"few entries, No", 6, 400, false, {kFewEntries}, 0},
        {"few entries, Yes", 6, 400, true, {kFewEntries}, 1},
    };
    for (const SpaceCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> otp = Programmed(c.downloads, c.code);
        OtpRig rig(otp);
        rig.process.config.SetValue(kConfigSection, "OTP MP", "0");
        rig.prompter.yes = c.yes;
        ASSERT_TRUE(rig.Open());
        EXPECT_EQ(rig.Download(OtpImage(0x2000, 400)), c.result);
        EXPECT_EQ(rig.prompter.questions, c.questions);
        if (c.result == 0) {
            EXPECT_EQ(rig.Failures(), std::vector<uint32_t>{41914});
            EXPECT_EQ(rig.Otp(), otp) << "nothing written";
            EXPECT_TRUE(rig.camera->AppMode()) << "back in the old code";
        }
    }
}

TEST(OtpOperationsTest, WithoutAFreeEntryTheSpaceCheckOnlyTellsSo) {
    const std::vector<uint8_t> otp = Programmed(8, 300);
    OtpRig rig(otp);
    rig.process.config.SetValue(kConfigSection, "OTP MP", "0");
    rig.prompter.yes = true;
    ASSERT_TRUE(rig.Open());
    EXPECT_EQ(rig.Download(OtpImage(0x2000, 300)), 0);
    EXPECT_EQ(rig.prompter.messages, std::vector<std::string>{"No Available VD Block!"});
    EXPECT_TRUE(rig.prompter.questions.empty());
    EXPECT_EQ(rig.Failures(), std::vector<uint32_t>{41914});
    // With "OTP MP" 1 (the default) the check is skipped and the write finds no entry.
    rig.sink.clear();
    rig.process.config.SetValue(kConfigSection, "OTP MP", "1");
    ASSERT_TRUE(rig.Open());
    EXPECT_EQ(rig.Download(OtpImage(0x2000, 300)), 0);
    EXPECT_EQ(rig.Failures(), std::vector<uint32_t>{41916});
}

TEST(OtpOperationsTest, ReadEraseAndDumpCheck) {
    const std::vector<uint8_t> image = OtpImage(0x1000, 600);
    {
        OtpRig empty;
        ASSERT_TRUE(empty.Open());
        EXPECT_EQ(empty.device->Read(), 0);
        EXPECT_EQ(empty.Failures(), std::vector<uint32_t>{41933});
    }
    OtpRig rig(Programmed(1, 600));
    ASSERT_TRUE(rig.Open());
    const uint32_t before = rig.transfers();
    EXPECT_EQ(rig.device->Erase(), 0);
    EXPECT_EQ(rig.Failures(), std::vector<uint32_t>{41938});
    EXPECT_EQ(rig.transfers(), before) << "erase never touches the camera";

    rig.device->images().front = image;
    EXPECT_EQ(rig.device->DumpCheck(), 1) << rig.log.Joined();
    EXPECT_EQ(rig.device->readback(), image);
    EXPECT_TRUE(rig.camera->AppMode());

    rig.sink.clear();
    std::vector<uint8_t> other = image;
    other[image.size() - 3] ^= 0x01;
    rig.device->images().front = other;
    ASSERT_TRUE(rig.Open());
    EXPECT_EQ(rig.device->DumpCheck(), 0);
    EXPECT_TRUE(rig.device->dump_mismatch());
    EXPECT_EQ(rig.Failures(), std::vector<uint32_t>{41709});
}

TEST(OtpOperationsTest, TheSerialNumberIsCarriedIntoTheConfigurationBlock) {
    // The camera runs its first image, which gave it its serial number; the next image keeps
    // it (read from the running camera right before it is carried).
    OtpRig rig;
    ASSERT_TRUE(rig.Open());
    DemoImageRecipe first;
    first.pid = 0x6099;
    first.product = "Orbisk OTP Camera";
    first.manufacturer = "SN-OTP-0042";
    first.version = 0x1000;
    ASSERT_EQ(rig.Download(MakeOtpDemoImage(first, 600)), 1);
    ASSERT_TRUE(rig.camera->AppMode());
    rig.process.config.SetValue(kConfigSection, "SaveSN", "1");
    ASSERT_EQ(rig.Download(OtpImage(0x1001, 600)), 1) << rig.log.Joined();
    EXPECT_EQ(rig.camera->CurrentIdentity().manufacturer, "SN-OTP-0042");
    EXPECT_EQ(sim::ReadOtpBoot(rig.Otp()).facts.version(), 0x1001u);
}

}  // namespace
}  // namespace orbisk::test
