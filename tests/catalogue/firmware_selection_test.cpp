#include "catalogue/firmware_selection.h"

#include <gtest/gtest.h>

#include "base/clock.h"
#include "base/logger.h"
#include "base/process.h"
#include "support/recorders.h"
#include "support/table_row.h"
#include "support/temp_dir.h"

namespace orbisk {
namespace {

class VidPidListTest : public ::testing::Test {
  protected:
    VidPidListTest() {
        process.program_folder = dir.path();
        logger.SetSink(&log);
    }
    void List(const std::string& text) { test::WriteFile(dir.File("VidPidList.ini"), text); }
    int Exact(const std::string& vid_pid) {
        LogScope scope(logger, "Test");
        return CheckVidPidListExact(process, scope, vid_pid);
    }
    int WithoutRev(const std::string& vid_pid) {
        return CheckVidPidListWithoutRev(process, notice, vid_pid);
    }
    int WithRev(const std::string& label) { return CheckVidPidListWithRev(process, notice, label); }

    test::TempDir dir;
    VirtualClock clock;
    test::RecordingLogSink log;
    Logger logger{clock, nullptr};
    Process process{clock, logger};
    std::vector<std::string> notices;
    NoticeFn notice = [this](const std::string& text) { notices.push_back(text); };
};

TEST_F(VidPidListTest, ThreeChecksOverOneList) {
    struct Case {
        const char* list;
        const char* camera;  // VID/PID text; the label adds &REV_0011
        int exact, without_rev, with_rev;
    };
    const Case cases[] = {
        {"vid_2c7e&pid_6363\r\n", "VID_2C7E&PID_6363", 1, 1, 0},
        {"  VID_2C7E&PID_6363\t\n", "VID_2C7E&PID_6363", 1, 1, 0},
        {"VID_2C7E&PID_6363&REV_0011\n", "VID_2C7E&PID_6363", 0, 1, 1},
        {"VID_2C7E&PID_6363&REV_0012\n", "VID_2C7E&PID_6363", 0, 1, 0},
        {"VID_2C7E&PID_1111\nVID_2C7E&PID_6363\n", "VID_2C7E&PID_6363", 1, 1, 0},
        {"VID_2C7E&PID_1111\n", "VID_2C7E&PID_6363", 0, 0, 0},
        {"\n   \n\t\n", "VID_2C7E&PID_6363", 0, 0, 0},
        // Lines that are only a revision name no camera.
        {"&REV_0011\n", "VID_2C7E&PID_6363", 0, 0, 0},
        {"REV_0011\n", "VID_2C7E&PID_6363", 0, 0, 0},
        // A partial line is a substring of the camera's text in the lenient check.
        {"VID_2C7E\n", "VID_2C7E&PID_6363", 0, 1, 0},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        List(c.list);
        const std::string label = std::string(c.camera) + "&REV_0011";
        EXPECT_EQ(Exact(c.camera), c.exact) << c.list;
        EXPECT_EQ(WithoutRev(c.camera), c.without_rev) << c.list;
        EXPECT_EQ(WithRev(label), c.with_rev) << c.list;
    }
    EXPECT_TRUE(notices.empty());
}

TEST_F(VidPidListTest, MissingFileMatchesNothingAndSaysSo) {
    const std::string path = dir.File("VidPidList.ini");
    EXPECT_EQ(Exact("VID_2C7E&PID_6363"), 0);
    EXPECT_TRUE(log.Contains(path + " does not exist"));
    EXPECT_EQ(WithoutRev("VID_2C7E&PID_6363"), 0);
    EXPECT_EQ(WithRev("VID_2C7E&PID_6363&REV_0011"), 0);
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0], path + " does not exist");
}

TEST(ImageVidPidCheckTest, AcceptsTheImagesOwnCameras) {
    std::string matched = "before";
    EXPECT_EQ(CheckImageVidPid("VID_2C7E&PID_1111", "VID_2C7E&PID_1111&REV_0001", &matched), 0);
    EXPECT_EQ(matched, "before");
    EXPECT_EQ(CheckImageVidPid("vid_4b3d&pid_113f", "VID_4B3D&PID_113F&REV_0100", &matched), 1);
    EXPECT_EQ(matched, "VID_4B3D&PID_113F&REV_0100");
    EXPECT_EQ(CheckImageVidPid("VID_2C7E&PID_6363", "L", &matched), 1);
    EXPECT_EQ(VidPidText(0x2c7e, 0xab), "VID_2C7E&PID_00AB");
    EXPECT_EQ(IdentityLabel(0x2c7e, 0xab, 0x1f), "VID_2C7E&PID_00AB&REV_001F");
}

}  // namespace
}  // namespace orbisk
