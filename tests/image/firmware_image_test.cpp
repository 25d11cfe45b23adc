#include "image/firmware_image.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "image/area_fixture.h"
#include "image/demo_image.h"
#include "image/resources.h"
#include "support/temp_dir.h"

namespace orbisk::test {
namespace {

const Bytes kGoodArea = Area(0x12, 3, 0, {Version(0x6987, 1), Identity(0x2C7E, 0x6363, 0x0A0B)});

ImageEnv EnvAt(uint32_t address, int32_t* project_type = nullptr, std::string ic = "ORV6363") {
    ImageEnv env;
    env.layout = {address, 0x100, 0};
    env.ic_name = std::move(ic);
    env.project_type = project_type;
    return env;
}

TEST(FirmwareImage, LoadFileDataTakesTheCarriedImageForAcceptedCamerasOnly) {
    ImageRecord rec;
    ASSERT_TRUE(LoadFileData(rec, 0x2C7E, 0x6363));
    const auto carried = FindResource(kResourceBinary, kFrontImageResource);
    EXPECT_EQ(rec.front, Bytes(carried.begin(), carried.end()));
    EXPECT_EQ(rec.working, rec.front);
    EXPECT_TRUE(LoadFileData(rec, 0x4B3D, 0x113F));
    EXPECT_FALSE(LoadFileData(rec, 0x2C7E, 0x6364));
    EXPECT_TRUE(rec.front.empty());
    EXPECT_TRUE(rec.working.empty());
}

TEST(FirmwareImage, LoadSecondFileData) {
    TempDir dir;
    ::mkdir(dir.File("sub").c_str(), 0755);
    WriteFile(dir.File("sub/cam.rfw"), "\x01\x02\x03");
    WriteFile(dir.File("big.rfw"), "\x01\x02\x03\x04");
    WriteFile(dir.File("empty.rfw"), "");
    // A reader would wait on a FIFO for ever.
    ASSERT_EQ(::mkfifo(dir.File("fifo.rfw").c_str(), 0600), 0);
    constexpr size_t kLimit = 3;
    struct Case {
        const char* path;
        const char* why;  // nullptr: loads
    };
    const Case cases[] = {{"sub\\cam.rfw", nullptr},
                          {"sub/cam.rfw", nullptr},
                          {"sub", "Is a directory"},
                          {"missing.rfw", "no such file"},
                          {"", ""},
                          {"big.rfw", "4 bytes, more than the 3 bytes"},
                          {"empty.rfw", "the file is empty"},
                          {"fifo.rfw", "not a regular file"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ImageRecord rec;
        rec.rear = rec.working = {9};
        rec.rear_path = c.path;
        EXPECT_EQ(c.why == nullptr, LoadSecondFileData(rec, dir.path(), kLimit));
        if (c.why == nullptr) {
            EXPECT_EQ(rec.rear, (Bytes{1, 2, 3}));
            EXPECT_EQ(rec.working, rec.rear);
            EXPECT_EQ(rec.rear_path[0], '/');
        } else {
            // The slot is left empty, with the reason for the operator.
            EXPECT_TRUE(rec.rear.empty());
            EXPECT_TRUE(rec.working.empty());
            EXPECT_NE(rec.problem.text.find(c.why), std::string::npos) << rec.problem.text;
        }
    }
    ImageRecord absolute;
    absolute.rear_path = dir.File("sub/cam.rfw");
    EXPECT_TRUE(LoadSecondFileData(absolute, "/nonexistent", kLimit));
}

TEST(FirmwareImage, ParseFindsTheAreaAtConfigAddressOrAtStart) {
    const Bytes at_a = ImageWith(kGoodArea, 0x200, 0x400);
    const Bytes at_start = ImageWith(kGoodArea, 0, 0x400);
    Bytes truncated = ImageWith(kGoodArea, 0x200, 0x400);
    truncated.resize(0x200 + kGoodArea.size() - 3);  // the identity record runs off the end
    Bytes corrupt = kGoodArea;
    corrupt[5] = 3;  // one more record than there is: the zero bytes after it do not skip
    struct Case {
        const char* name;
        Bytes image;
        uint32_t address;
        bool ok;
        uint32_t offset;
        bool at_start;
        bool identity_read = true;
    };
    const Case cases[] = {
        {"at ConfigAddress", at_a, 0x200, true, 0x200, false},
        {"configuration only", at_start, 0x200, true, 0, true},
        // Found at 0, but too short for ConfigAddress: the identity is not read.
        {"ConfigAddress past the end", Bytes(kGoodArea), 0x200, true, 0, true, false},
        {"blank", Bytes(0x400, 0xFF), 0x200, false, 0, false},
        {"record past the end of the image", truncated, 0x200, false, 0, false},
        {"corrupted chain", ImageWith(corrupt, 0x200, 0x240, 0x00), 0x200, false, 0, false},
        {"corrupted, too short for A", ImageWith(corrupt, 0, 0x40, 0x00), 0x200, false, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageRecord rec;
        rec.front = c.image;
        int32_t project = 0;
        ImageEnv env = EnvAt(c.address, &project);
        std::string box;
        env.message_box = [&](const char* t) { box = t; };
        EXPECT_EQ(c.ok, ParseFwFile(rec, env) != 0);
        if (c.ok) {
            EXPECT_EQ(rec.config_offset, c.offset);
            EXPECT_EQ(rec.config_at_start, c.at_start);
            EXPECT_EQ(rec.chip_model, 3);
            EXPECT_EQ(rec.vid_pid_text, c.identity_read ? "VID_2C7E&PID_6363" : "");
            EXPECT_EQ(rec.rev_text, c.identity_read ? "0a0b" : "");
            EXPECT_EQ(project, c.identity_read ? 3 : 0);
        } else {
            EXPECT_EQ(rec.chip_model, kNoChipModel);
            EXPECT_EQ(rec.parse_result, 0u);
            if (std::string(c.name) == "corrupted chain") {
                EXPECT_EQ(box, "Config file corrupted");
            }
        }
    }
}

TEST(FirmwareImage, ReadConfigInfo) {
    ImageRecord rec;
    ImageEnv env = EnvAt(0x200);
    EXPECT_FALSE(ReadConfigInfo(Bytes(0x400, 0xFF), rec, env));
    EXPECT_FALSE(ReadConfigInfo(Bytes{}, rec, env));
    // Neither at A nor at 0: the project type stays as it was.
    int32_t project = 4;
    ImageEnv no_area = EnvAt(0x10, &project);
    EXPECT_FALSE(ReadConfigInfo(Bytes(0x400, 0x60), rec, no_area));
    EXPECT_EQ(project, 4);
    // Too short for ConfigAddress: not read, although a header lies at 0.
    EXPECT_EQ(ReadConfigInfoEx(kGoodArea, rec, env), ConfigInfoResult::kNotRead);
    // The AKD7805 profile reads a 16 KB image at offset 0.
    ImageEnv akd = EnvAt(0x3000, nullptr, "AKD7805");
    Bytes akd_image = ImageWith(kGoodArea, 0, 0x4000, 0xFF);
    akd_image[0x3000] = 0x55;
    akd_image[0x3001] = 0xA5;  // a header at A that must not be used
    ASSERT_TRUE(ReadConfigInfo(akd_image, rec, akd));
    EXPECT_EQ(rec.vid_pid_text, "VID_2C7E&PID_6363");
}

TEST(FirmwareImage, HeaderEffectsOnTheProjectType) {
    const std::pair<uint8_t, int32_t> cases[] = {{0x11, 2}, {0x12, 3}, {0x40, 4}, {0x60, 6},
                                                 {0x30, 0}, {0x55, 0}, {0x61, 0}, {0x77, 9}};
    for (auto [type, want] : cases) {
        int32_t project = 9;
        ApplyHeaderEffects(type, project);
        EXPECT_EQ(project, want) << int(type);
    }
}

TEST(FirmwareImage, ChipChecks) {
    EXPECT_TRUE(ChipCheckPaired(22, 22));
    EXPECT_TRUE(ChipCheckPaired(8, 9));
    EXPECT_TRUE(ChipCheckPaired(9, 8));
    EXPECT_FALSE(ChipCheckPaired(9, 10));
    EXPECT_FALSE(ChipCheckPaired(kNoChipModel, 22));
    EXPECT_TRUE(ChipCheckStrict(9, 9));
    EXPECT_FALSE(ChipCheckStrict(8, 9));
}

TEST(FirmwareImage, ImageCheckPerSlot) {
    ImageRecord rec;
    rec.front = Bytes(0x100, 0xFF);
    rec.rear = ImageWith(kGoodArea, 0, 0x100);
    ImageEnv env = EnvAt(0x200);
    EXPECT_FALSE(CheckImage(rec, ImageSlot::kFront, env));
    EXPECT_TRUE(CheckImage(rec, ImageSlot::kRear, env));
    EXPECT_NE(rec.rear_parse_result, 0u);
    EXPECT_FALSE(CheckImage(rec, ImageSlot::kWorking, env));
    env.bus_type = 2;  // bridge cameras are not checked
    EXPECT_TRUE(CheckImage(rec, ImageSlot::kFront, env));
}

TEST(FirmwareImage, CarriedImagesHaveTheirLayout) {
    for (int id : {kFrontImageResource, kCommandLineImageResource}) {
        SCOPED_TRACE(id);
        const auto image = FindResource(kResourceBinary, id);
        ASSERT_EQ(image.size(), DemoLayout::kImageSize);
        ImageRecord rec;
        rec.front.assign(image.begin(), image.end());
        ImageEnv env = EnvAt(DemoLayout::kConfigAddress);
        ASSERT_NE(ParseFwFile(rec, env), 0u);
        EXPECT_EQ(rec.chip_model, 22);
        EXPECT_EQ(rec.vid_pid_text, "VID_2C7E&PID_6363");
        EXPECT_EQ(image[0x0FFE], 0x55);
        EXPECT_EQ(image[0x0FFF], 0xAA);
        EXPECT_TRUE(ReadDemoVersion(image).has_value());
    }
}

}  // namespace
}  // namespace orbisk::test

#include "base/process.h"
#include "support/recorders.h"

namespace orbisk::test {
namespace {

TEST(FirmwareImage, FailureReportsCarryCodeAndLogLine) {
    const std::pair<uint32_t, const char*> cases[] = {
        {kStatusLoadFileDataFail, "Load File Data Fail!"},
        {kStatusParseFwFileFail, "Parse FW File Fail!"},
        {kStatusFirmwareNotForDevice, "Firmware is not for this device"}};
    for (auto [code, line] : cases) {
        VirtualClock clock;
        RecordingLogSink log;
        Logger logger(clock, &log);
        Process process(clock, logger);
        RecordingStatusSink sink;
        process.status.SetSink(&sink);
        {
            LogScope scope(logger, "CTest::Run");
            ReportImageFailure(process, scope, code);
        }
        EXPECT_EQ(sink.codes(kReportFailure), std::vector<uint32_t>{code});
        EXPECT_EQ(process.status.Code(), code);
        EXPECT_TRUE(log.Contains("----------------:")) << log.Joined();
        EXPECT_TRUE(log.Contains(line)) << log.Joined();
    }
}

TEST(FirmwareImage, WalkLogsEachDescriptorFound) {
    VirtualClock clock;
    RecordingLogSink log;
    Logger logger(clock, &log);
    LogScope scope(logger, "CTest::Read");
    ImageRecord rec;
    ImageEnv env = EnvAt(0);
    env.log = &scope;
    ASSERT_TRUE(ReadConfigInfo(ImageWith(kGoodArea, 0, 0x40), rec, env));
    EXPECT_TRUE(log.Contains("Find descriptor 0x04")) << log.Joined();
}

}  // namespace
}  // namespace orbisk::test
