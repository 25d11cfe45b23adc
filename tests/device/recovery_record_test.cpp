#include "device/recovery_record.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace orbisk::test {
namespace {

RecoveryRecord Sample() {
    RecoveryRecord r;
    r.port = "1-1.4";
    r.vid = 0x2C7E;
    r.pid = 0x6363;
    r.rev = 0x0050;
    r.chip_identity = 0xC010;
    // A backslash, a control character and UTF-8: every byte must come back as it was.
    r.serial = "SN\\42\x07-\xC3\xA9";
    r.serial_source = RecoveryRecord::SerialSource::kManufacturerString;
    r.version = "0x00-0000-1050";
    r.memory_type = 0;
    r.chip_model = 22;
    r.image = "built-in 3068";
    r.image_sha256 = std::string(64, 'a');
    r.time = "2026-12-10 09:14:03";
    return r;
}

RecordRead Parse(const std::string& text, RecoveryRecord* record, std::string* problem,
                 const std::string& port = "1-1.4") {
    return ParseRecoveryRecord(text, port, record, problem);
}

TEST(RecoveryRecordTest, WrittenRecordReadsBackWhole) {
    TempDir home;
    const std::string path = RecoveryRecordPath(home.path(), "1-1.4");
    EXPECT_EQ(path, home.path() + "/Recovery/1-1.4.ini");
    std::string error;
    ASSERT_TRUE(WriteRecoveryRecord(path, Sample(), &error)) << error;
    EXPECT_FALSE(FileExists(path + ".tmp"));
    // One line per key whatever the serial number holds.
    EXPECT_NE(ReadFile(path).find("Serial=SN\\\\42\\x07-\\xC3\\xA9\n"), std::string::npos)
        << ReadFile(path);

    RecoveryRecord read;
    std::string problem;
    ASSERT_EQ(ReadRecoveryRecord(path, "1-1.4", &read, &problem), RecordRead::kValid) << problem;
    EXPECT_EQ(read, Sample());

    // Without a serial number the record says so.
    RecoveryRecord none = Sample();
    none.serial.clear();
    none.serial_source = RecoveryRecord::SerialSource::kNone;
    ASSERT_TRUE(WriteRecoveryRecord(path, none, &error));
    ASSERT_EQ(ReadRecoveryRecord(path, "1-1.4", &read, &problem), RecordRead::kValid) << problem;
    EXPECT_EQ(read, none);

    ASSERT_TRUE(RemoveRecoveryRecord(path, &error));
    EXPECT_EQ(ReadRecoveryRecord(path, "1-1.4", &read, &problem), RecordRead::kMissing);
    EXPECT_TRUE(RemoveRecoveryRecord(path, &error));  // gone already: nothing to do
}

TEST(RecoveryRecordTest, AnythingButAWholeUnchangedRecordIsRefused) {
    const std::string good = FormatRecoveryRecord(Sample());
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return text.replace(at, from.size(), to);
    };
    const size_t serial_line = good.find("Serial=");
    struct Case {
        const char* name;
        std::string text;
        std::string port;
        const char* problem;
    };
    const Case cases[] = {
        {"cut in the serial number", good.substr(0, serial_line + 10), "1-1.4", "missing"},
        {"cut before the check", good.substr(0, good.find("Check=")), "1-1.4", "Check"},
        {"serial number edited", replaced("Serial=SN", "Serial=XN"), "1-1.4", "Check"},
        {"check line edited", replaced("Check=", "Check=0"), "1-1.4", "Check"},
        {"key twice", replaced("Time=", "PID=0x6363\nTime="), "1-1.4", "single key"},
        {"unknown key", replaced("Time=", "Extra=1\nTime="), "1-1.4", "unknown keys"},
        {"line without a key", replaced("Time=", "Time\nTime="), "1-1.4", "single key"},
        {"no section", replaced("\n[Recovery]\n", "\n[Other]\n"), "1-1.4", "section"},
        {"text after the check", good + "Port=1-1.4\n", "1-1.4", "after the Check"},
        {"another port's record", good, "1-2", "names port 1-1.4"},
        {"empty file", "", "1-1.4", "section"},
        {"binary", std::string("\xFF\xFE[\0R", 5), "1-1.4", "section"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecoveryRecord read;
        std::string problem;
        EXPECT_EQ(Parse(c.text, &read, &problem, c.port), RecordRead::kDamaged);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    }
}

TEST(RecoveryRecordTest, ValuesOutOfTheirBoundsAreRefusedEvenWithAFittingCheck) {
    // A record whose check was recomputed by hand still has to hold sensible values.
    struct Case {
        const char* name;
        void (*edit)(RecoveryRecord&);
        const char* key;
    };
    const Case cases[] = {
        {"source without serial", [](RecoveryRecord& r) { r.serial.clear(); }, "SerialSource"},
        {"serial too long", [](RecoveryRecord& r) { r.serial.assign(400, 'x'); }, "Serial"},
        {"port not a chain", [](RecoveryRecord& r) { r.port = "1-1/../x"; }, "Port"},
        {"memory type", [](RecoveryRecord& r) { r.memory_type = 9; }, "MemoryType"},
        {"chip model", [](RecoveryRecord& r) { r.chip_model = 99; }, "ChipModel"},
        {"digest", [](RecoveryRecord& r) { r.image_sha256 = "abc"; }, "ImageSha256"},
        {"no image", [](RecoveryRecord& r) { r.image.clear(); }, "Image"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecoveryRecord edited = Sample();
        c.edit(edited);
        RecoveryRecord read;
        std::string problem;
        EXPECT_EQ(Parse(FormatRecoveryRecord(edited), &read, &problem, edited.port),
                  RecordRead::kDamaged);
        EXPECT_NE(problem.find(std::string("of ") + c.key + " "), std::string::npos) << problem;
    }
}

TEST(RecoveryRecordTest, FileSystemSurprisesAreReportedNotThrown) {
    TempDir home;
    std::string error;
    // A file where the Recovery folder belongs.
    WriteFile(home.File("Recovery"), "");
    const std::string path = RecoveryRecordPath(home.path(), "1-1");
    EXPECT_FALSE(WriteRecoveryRecord(path, Sample(), &error));
    EXPECT_NE(error.find("Recovery: Not a directory"), std::string::npos) << error;
    // A folder where the record belongs.
    TempDir other;
    ASSERT_EQ(::mkdir(other.File("Recovery").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(other.File("Recovery/1-1.ini").c_str(), 0755), 0);
    const std::string folder_path = RecoveryRecordPath(other.path(), "1-1");
    RecoveryRecord read;
    std::string problem;
    EXPECT_EQ(ReadRecoveryRecord(folder_path, "1-1", &read, &problem), RecordRead::kDamaged);
    EXPECT_NE(problem.find("Is a directory"), std::string::npos) << problem;
    EXPECT_FALSE(WriteRecoveryRecord(folder_path, Sample(), &error));
    EXPECT_FALSE(RemoveRecoveryRecord(folder_path, &error));
    EXPECT_NE(error.find("1-1.ini"), std::string::npos) << error;
}

}  // namespace
}  // namespace orbisk::test
