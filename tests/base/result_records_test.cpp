#include "base/result_records.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace orbisk {
namespace {

TEST(ResultRecordsTest, BurnRowsArePaddedAndEndWithOneLineEnd) {
    test::TempDir dir;
    const std::string path = dir.File("burn_result.txt");
    std::time_t when = 1700000000;
    {
        BurnRecord record;
        ASSERT_TRUE(record.Open(path));
        record.AppendRow(when, "SN123", true, 0);
    }
    {
        BurnRecord record;
        ASSERT_TRUE(record.Open(path));
        record.AppendRow(when, std::string(30, 'S'), false, 41706);
    }
    const std::string text = test::ReadFile(path);
    const std::string row1 = BurnRecord::FormatRow(when, "SN123", true, 0);
    EXPECT_EQ(row1.substr(row1.size() - 2), "\r\n");
    EXPECT_EQ(row1.find("\r\r"), std::string::npos);
    EXPECT_NE(row1.find(",         SN123,                     Pass,    0:\r\n"), std::string::npos);
    const std::string row2 = BurnRecord::FormatRow(when, std::string(30, 'S'), false, 41706);
    EXPECT_NE(row2.find(std::string(30, 'S') + ",Fail,    41706:\r\n"), std::string::npos);
    EXPECT_EQ(text, std::string(BurnRecord::kHeader1) + BurnRecord::kHeader2 + row1 + row2);
    // 26 characters fill the field exactly: no padding, still one line.
    const std::string row3 = BurnRecord::FormatRow(when, std::string(26, 'N'), true, 0);
    EXPECT_NE(row3.find(std::string(26, 'N') + ",Pass,"), std::string::npos);
}

TEST(ResultRecordsTest, Verdicts) {
    EXPECT_EQ(CommandLineVerdict(1, true), "pass");
    EXPECT_EQ(CommandLineVerdict(2, false), "TestResult = fail");
    EXPECT_EQ(CommandLineVerdict(3, true), "pass");
    EXPECT_EQ(DialogVerdict(2, true, 0x2c7e, 0x6363, 0x0101),
              "After Download,TestResult = pass, VID is 0x2c7e, PID is 0x6363, Rev is 0x0101\r\n");
    EXPECT_EQ(DialogVerdict(1, false, 1, 2, 3), "fail");
}

}  // namespace
}  // namespace orbisk
