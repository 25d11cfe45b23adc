#include "platform/linux/inotify_folder_watch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "support/temp_dir.h"

namespace orbisk {
namespace {

using test::TempDir;
using test::WriteFile;

struct Folders {
    TempDir temp;
    std::string a = temp.File("a"), b = temp.File("b");
    Folders() {
        std::filesystem::create_directory(a);
        std::filesystem::create_directory(b);
    }
};

TEST(InotifyFolderWatch, WakesForTheWatchedFileOnlyAndNamesItsFolders) {
    Folders f;
    InotifyFolderWatch watch("cable");
    ASSERT_TRUE(watch.ok());
    ASSERT_TRUE(watch.Add(f.a));
    ASSERT_TRUE(watch.Add(f.b));
    EXPECT_FALSE(watch.Add(f.temp.File("missing")));

    // Other files, and the temporary name a replacement is written under, change nothing.
    WriteFile(f.a + "/camera.ini", "x");
    WriteFile(f.b + "/cable.tmp", "unplugged\n");
    std::filesystem::rename(f.b + "/cable.tmp", f.b + "/cable");  // replaced
    WriteFile(f.a + "/cable", "plugged\n");                       // written in place
    WriteFile(f.b + "/cable", "plugged\n");
    std::vector<std::string> changed;
    ASSERT_TRUE(watch.Wait(&changed));
    EXPECT_EQ(changed, (std::vector<std::string>{f.b, f.a}));

    WriteFile(f.b + "/flash.bin", "y");
    std::filesystem::remove(f.a + "/cable");
    ASSERT_TRUE(watch.Wait(&changed));
    EXPECT_EQ(changed, std::vector<std::string>{f.a});
}

TEST(InotifyFolderWatch, InterruptEndsAWaitFromAnotherThread) {
    Folders f;
    InotifyFolderWatch watch("cable");
    ASSERT_TRUE(watch.Add(f.a));
    std::vector<std::string> changed{"stale"};
    bool woke = true;
    std::thread waiter([&] { woke = watch.Wait(&changed); });
    watch.Interrupt();
    waiter.join();
    EXPECT_FALSE(woke);
    EXPECT_TRUE(changed.empty());
}

TEST(InotifyFolderWatch, AFolderIsReleasedWhenEveryHoldIsGone) {
    Folders f;
    InotifyFolderWatch watch("cable");
    EXPECT_TRUE(WaitForFolderRelease(f.a, 0));
    auto first = watch.Hold(f.a);
    auto second = watch.Hold(f.a);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(WaitForFolderRelease(f.a, 0));
    EXPECT_TRUE(WaitForFolderRelease(f.b, 0));
    first.reset();
    EXPECT_FALSE(WaitForFolderRelease(f.a, 0));
    second.reset();
    EXPECT_TRUE(WaitForFolderRelease(f.a, 0));
    EXPECT_EQ(watch.Hold(f.temp.File("missing")), nullptr);
    EXPECT_FALSE(WaitForFolderRelease(f.temp.File("missing"), 0));
}

}  // namespace
}  // namespace orbisk
