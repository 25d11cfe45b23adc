#include "base/status.h"

#include <gtest/gtest.h>

#include "support/recorders.h"
#include "support/table_row.h"

namespace orbisk {
namespace {

TEST(StatusTest, TextsAreLookedUpByCode) {
    EXPECT_EQ(StatusText(41802), "Read EERPOM Fail!");
    EXPECT_EQ(StatusText(41728), "REV ID Doesnot MaTCH!");
    EXPECT_EQ(StatusText(41922), "Reduant Fail!");
    EXPECT_EQ(StatusText(42041), "Cann't find correct option");
    EXPECT_EQ(StatusText(0), "");
    EXPECT_EQ(StatusText(55), "");
    size_t count = 0;
    const StatusEntry* table = StatusTable(&count);
    for (size_t i = 1; i < count; ++i) EXPECT_LT(table[i - 1].code, table[i].code);
}

TEST(StatusTest, ReportUpdatesTheStatusCode) {
    struct Step {
        uint32_t kind, code, expected_after;
    };
    const Step steps[] = {
        {kReportProgress, 40, 40},      {kReportFailure, 41706, 41706},
        {kReportClose, 0, 41706},        // a close request never changes the code
        {kReportProgress, 100, 100},     // a progress after a failure replaces it
        {kReportSuccess, 41752, 41752},  // not a clearing code
        {kReportSuccess, 41755, 0},     {kReportSuccess, 41929, 41929},
        {kReportSuccess, 41931, 0},     {kReportDeviceInfo, 41906, 41906},
        {kReportSuccess, 41913, 0},
    };
    StatusReporter reporter;
    test::RecordingStatusSink sink;
    reporter.SetSink(&sink);
    for (const auto& s : steps) {
        TRACE_ROW(steps, s);
        reporter.ReportStatus(s.kind, s.code);
        EXPECT_EQ(reporter.Code(), s.expected_after) << s.kind << " " << s.code;
    }
    EXPECT_EQ(sink.reports().size(), std::size(steps));
    EXPECT_EQ(sink.reports()[1], (test::Report{kReportFailure, 41706, 0}));
}

TEST(StatusTest, CancelComesFromTheDialogFlag) {
    StatusReporter reporter;
    EXPECT_FALSE(reporter.CheckCancel());
    CThreadFlag flag;
    reporter.SetCancelSource(&flag);
    EXPECT_FALSE(reporter.CheckCancel());
    flag.SetCancel(true);
    EXPECT_TRUE(reporter.CheckCancel());
}

}  // namespace
}  // namespace orbisk
