#include "device/file_output.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "support/temp_dir.h"

namespace orbisk {
namespace {

TEST(FileOutputTest, HexTextLayout) {
    std::vector<uint8_t> bytes(17);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(0xA0 + i);
    EXPECT_EQ(HexText(bytes), "A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF \r\nB0 ");
    EXPECT_EQ(HexText(std::vector<uint8_t>(16, 0x0F)).find("\r\n"), std::string::npos);
    EXPECT_EQ(HexText({}), "");
}

TEST(FileOutputTest, FailedReadBacksWithinOneSecondAreAllKept) {
    test::TempDir dir;
    const std::time_t when = 1765400000;
    const std::vector<uint8_t> first = {1, 2, 3}, second = {4, 5};
    const std::string a = SaveFailedReadBack(dir.path(), first, when);
    const std::string b = SaveFailedReadBack(dir.path(), second, when);
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NE(a, b);
    EXPECT_NE(a.find("/Fail/Fail_"), std::string::npos);
    EXPECT_EQ(a.substr(a.size() - 4), ".rfw");
    EXPECT_EQ(b.substr(b.size() - 6), "_1.rfw");
    EXPECT_EQ(test::ReadFile(a), std::string("\1\2\3"));
    EXPECT_EQ(test::ReadFile(b), std::string("\4\5"));
    // An empty read-back still leaves a file.
    const std::string c = SaveFailedReadBack(dir.path(), {}, when);
    EXPECT_TRUE(test::FileExists(c));
    EXPECT_EQ(test::ReadFile(c), "");
}

TEST(FileOutputTest, FailFolderThatIsAFileStopsTheSave) {
    test::TempDir dir;
    test::WriteFile(dir.File("Fail"), "x");
    EXPECT_EQ(SaveFailedReadBack(dir.path(), std::vector<uint8_t>{1}, 0), "");
    EXPECT_EQ(test::ReadFile(dir.File("Fail")), "x");
}

}  // namespace
}  // namespace orbisk
