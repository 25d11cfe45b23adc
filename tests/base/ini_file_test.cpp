#include "base/ini_file.h"

#include <gtest/gtest.h>

#include "support/table_row.h"
#include "support/temp_dir.h"

namespace orbisk {
namespace {

const char* kSection = "Orbisk Config";

struct IntCase {
    const char* text;
    int32_t expected;
};

TEST(CIniFileTest, IntegersUseAutomaticBase) {
    const IntCase cases[] = {
        {"0x1F4", 500}, {"0X10", 16}, {"010", 8},          {"12", 12},    {"letters", 0},
        {"", 0},        {"-1", -1},   {"0xFFFFFFFF", -1},  {"12abc", 12}, {"0x", 0},
        {"09", 0},      {" 7", 7},    {"99999999999", -1}, {"-5", -5},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        CIniFile ini;
        ini.SetValue(kSection, "Key", c.text);
        EXPECT_EQ(ini.GetValueI(kSection, "Key", 1234), c.expected) << '"' << c.text << '"';
    }
    CIniFile empty;
    EXPECT_EQ(empty.GetValueI(kSection, "Missing", 5000), 5000);
    EXPECT_EQ(empty.GetValueI(kSection, "Missing", -1), -1);
}

TEST(CIniFileTest, ParsesNamesAndValuesVerbatim) {
    CIniFile ini;
    ASSERT_TRUE(
        ini.ReadMemory("; header note\r\n"
                       "[Orbisk Config]\r\n"
                       "Debug Log = 1\r\n"
                       "LIB TYPE=2\n"
                       "AutoRun=1 ; not a comment\n"
                       "# section note\n"
                       "text without marker\n"
                       "Wait Time=0x1F4\n"));
    // Blanks around "=" belong to the name and the value: the lookup misses.
    EXPECT_EQ(ini.GetValueI(kSection, "Debug Log", 0), 0);
    EXPECT_EQ(ini.GetValue(kSection, "Debug Log ", ""), " 1");
    EXPECT_EQ(ini.GetValueI("orbisk config", "lib type", 0), 2);
    EXPECT_EQ(ini.GetValue(kSection, "autorun", ""), "1 ; not a comment");
    EXPECT_EQ(ini.GetValueI(kSection, "WAIT TIME", 5000), 500);
}

TEST(CIniFileTest, DuplicateSectionsAndBareKeysRoundTrip) {
    CIniFile ini;
    ASSERT_TRUE(ini.ReadMemory("[A]\nx=1\n;note\n[B]\ny=2\n[a]\nz=3\nEmpty=\n"));
    ASSERT_EQ(ini.SectionCount(), 3);
    EXPECT_EQ(ini.GetValue("A", "z"), "3");  // keys under the second header land in the first
    EXPECT_EQ(ini.KeyCount(2), 0);
    EXPECT_EQ(ini.Serialize(),
              "[A]\r\n;note\r\nx=1\r\nz=3\r\nEmpty\r\n\r\n"
              "[B]\r\ny=2\r\n\r\n"
              "[a]\r\n\r\n");
    CIniFile again;
    again.ReadMemory(ini.Serialize());
    EXPECT_EQ(again.FindKey(again.FindSection("A"), "Empty"), -1);  // a bare key is gone
    EXPECT_EQ(again.GetValue("a", "X"), "1");
}

TEST(CIniFileTest, KeysBeforeAnySectionAndHeaderComments) {
    CIniFile ini;
    ASSERT_TRUE(ini.ReadMemory("#first\nloose=1\n[S]\nk=v\n"));
    EXPECT_EQ(ini.GetValue("", "loose"), "1");
    EXPECT_EQ(ini.Serialize(), ";first\r\n\r\n[]\r\nloose=1\r\n\r\n[S]\r\nk=v\r\n\r\n");
}

TEST(CIniFileTest, SetValueCreatesOnlyWhenAsked) {
    CIniFile ini;
    EXPECT_FALSE(ini.SetValue("S", "k", "v", false));
    EXPECT_TRUE(ini.SetValue("S", "k", "v", true));
    EXPECT_TRUE(ini.SetValue("s", "K", "w", false));
    EXPECT_EQ(ini.GetValue("S", "k"), "w");
    ini.SetValueI("S", "PortNo", -3);
    EXPECT_EQ(ini.GetValue("S", "portno"), "-3");
}

TEST(CIniFileTest, LoadStopsAtNonPrintableLineAndKeepsEarlierLines) {
    struct Case {
        std::string text;
        bool stops;
        const char* first_key_value;  // value of "a" in [S], "" when missing
    };
    const Case cases[] = {
        {"[S]\na=1\n\tb=2\nc=3\n", true, "1"},
        {"\xEF\xBB\xBF[S]\na=1\n", false, "1"},  // a byte-order mark is skipped
        {std::string("\xFF\xFE[\0S\0]\0", 8), true, ""},
        {"[S]\r\n\r\na=1\r\n", false, "1"},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        CIniFile ini;
        testing::internal::CaptureStdout();
        ini.ReadMemory(c.text);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(ini.LoadStoppedEarly(), c.stops);
        EXPECT_EQ(out.find("Failing on char") != std::string::npos, c.stops);
        EXPECT_EQ(ini.GetValue("S", "a"), c.first_key_value);
    }
    CIniFile tab;
    testing::internal::CaptureStdout();
    tab.ReadMemory("\tx=1\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failing on char 9\n");
}

TEST(CIniFileTest, LongLinesAreReadWhole) {
    std::string value(10000, 'v');
    CIniFile ini;
    ini.ReadMemory("[S]\nk=" + value + "\n");
    EXPECT_EQ(ini.GetValue("S", "k"), value);
}

TEST(CIniFileTest, FileRoundTrip) {
    test::TempDir dir;
    CIniFile ini(dir.File("config.ini"));
    EXPECT_FALSE(ini.ReadFile());
    ini.SetValueI(kSection, "PortNo", 3);
    ASSERT_TRUE(ini.WriteFile());
    EXPECT_EQ(test::ReadFile(dir.File("config.ini")), "[Orbisk Config]\r\nPortNo=3\r\n\r\n");
    CIniFile back(dir.File("config.ini"));
    ASSERT_TRUE(back.ReadFile());
    EXPECT_EQ(back.GetValueI(kSection, "portno", 0), 3);
}

}  // namespace
}  // namespace orbisk
