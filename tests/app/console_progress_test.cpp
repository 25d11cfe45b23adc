#include "app/console_progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace orbisk {
namespace {

// Feeds reports into a display writing to a memory stream and returns what it wrote.
std::string Render(bool terminal, void (*feed)(ConsoleProgress&)) {
    char* data = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    {
        ConsoleProgress progress(out, terminal);
        feed(progress);
        progress.Finish();
    }
    std::fclose(out);
    std::string text(data, size);
    std::free(data);
    return text;
}

void UpdateSequence(ConsoleProgress& p) {
    p.Post(kReportStepText, 41719, 0);  // "Erasing"
    p.Post(kReportProgress, 5, 0);
    p.Post(kReportProgress, 5, 0);      // no change: no line
    p.Post(kReportStepText, 0, 0);      // refresh only
    p.Post(kReportStepText, 41721, 0);  // "Download"
    p.Post(kReportProgress, 35, 0);
    p.Post(kReportFailure, 41706, 0);  // failures are not progress
    p.Post(kReportProgress, 250, 0);   // a stray value is shown as at most 100
}

TEST(ConsoleProgressTest, LogGetsOneLinePerChange) {
    EXPECT_EQ(Render(false, UpdateSequence),
              "Erasing: 0%\nErasing: 5%\nDownload: 5%\nDownload: 35%\nDownload: 100%\n");
}

TEST(ConsoleProgressTest, TerminalRedrawsOneBarAndEndsItsLine) {
    const std::string text = Render(true, UpdateSequence);
    EXPECT_EQ(text.find('\n'), text.size() - 1) << text;  // one line, ended once by Finish
    EXPECT_NE(text.find("\r" + ConsoleProgress::BarLine("Download", 35) + "\x1b[K"),
              std::string::npos);
    EXPECT_EQ(ConsoleProgress::BarLine("Verify", 50),
              "Verify             [###############               ]  50%");
    EXPECT_EQ(ConsoleProgress::BarLine("Download", 100).substr(19),
              "[##############################] 100%");
}

TEST(ConsoleProgressTest, KeepsTheFailureThatLaterReportsFollow) {
    std::FILE* out = std::fopen("/dev/null", "w");
    ConsoleProgress progress(out, false);
    EXPECT_EQ(progress.failure_code(), 0u);
    UpdateSequence(progress);
    progress.Post(kReportStepText, 41724, 0);
    progress.Post(kReportFailure, 0, 0);  // a failure without a code names none
    EXPECT_EQ(progress.failure_code(), 41706u);
    progress.Post(kReportFailure, 41709, 0);
    EXPECT_EQ(progress.failure_code(), 41709u);
    std::fclose(out);
}

TEST(ConsoleProgressTest, NothingShownWritesNothing) {
    EXPECT_EQ(Render(true, [](ConsoleProgress& p) { p.Post(kReportDeviceInfo, 41906, 0); }), "");
}

}  // namespace
}  // namespace orbisk
