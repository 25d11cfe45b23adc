// Settings and folders the program cannot use: it says so, touches no camera and ends with a
// non-zero exit code, instead of running on defaults nobody asked for or aborting.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/cli_fixture.h"

namespace orbisk::test {
namespace {

class SetupTest : public CliFixture {
  protected:
    // A camera running older firmware with its serial number; the update would change it.
    std::string OldCamera() {
        return Camera("cam", {"--image", DemoImage("old.rfw", {"--version", "1050", "--rev", "0050",
                                                               "--manufacturer", "SN-7"})});
    }
};

TEST_F(SetupTest, ConfigThatDoesNotLoadRefusesEveryCameraOperation) {
    const std::string kRefused = "; no camera is touched until this is mended\n";
    struct Case {
        const char* name;
        std::string bytes;  // empty: a folder named config.ini
        std::string out;    // the loader's own line on stdout
        std::string reason;
    };
    const std::string not_text =
        " begins with a character that is not printable text, so the settings from there on "
        "cannot be read";
    const Case cases[] = {
        {"a folder", "", "", ": Is a directory: the settings cannot be read"},
        {"UTF-16", std::string("\xFF\xFE[\0O\0r\0b\0", 10), "Failing on char -1\n",
         ": line 1" + not_text},
        {"binary", std::string("\x01\x02\x03\x04", 4), "Failing on char 1\n",
         ": line 1" + not_text},
        {"a bad third line", "[Orbisk Config]\nSaveSN=1\n\tLogType=1\nLater=2\n",
         "Failing on char 9\n", ": line 3" + not_text},
    };
    const std::string camera = OldCamera();
    const std::string before = Show(camera);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string config = Home("config.ini");
        if (c.bytes.empty()) {
            ASSERT_EQ(::mkdir(config.c_str(), 0755), 0);
        } else {
            WriteFile(config, c.bytes);
        }
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"-s"}, std::vector<std::string>{"--list"}}) {
            const ProgramRun run = Orbisk(args, camera);
            EXPECT_EQ(run.exit_code, 1) << args[0];
            EXPECT_EQ(run.out, c.out) << args[0];
            EXPECT_EQ(run.err, "orbisk: " + config + c.reason + kRefused) << args[0];
        }
        // Nothing was written to the camera, and the file is left as it was.
        EXPECT_EQ(Show(camera), before);
        if (c.bytes.empty()) {
            struct stat info {};
            EXPECT_EQ(::stat(config.c_str(), &info), 0);
            EXPECT_TRUE(S_ISDIR(info.st_mode));
            ::rmdir(config.c_str());
        } else {
            EXPECT_EQ(ReadFile(config), c.bytes);
        }
    }
    // The help still answers.
    WriteFile(Home("config.ini"), std::string("\xFF\xFE", 2));
    const ProgramRun help = Orbisk({"--help"}, camera);
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_EQ(help.err, "");
}

TEST_F(SetupTest, MissingConfigIsAFreshInstallation) {
    // Every key takes its default (SaveSN among them: the image's serial number is written),
    // and the file is created at exit.
    const std::string camera = OldCamera();
    const ProgramRun run = Orbisk({"-s"}, camera);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    const std::string after = Show(camera);
    EXPECT_EQ(Field(after, "version"), "0x00-0000-1060");
    EXPECT_EQ(Field(after, "manufacturer"), "Orbisk");
    EXPECT_TRUE(FileExists(Home("config.ini")));
}

TEST_F(SetupTest, ProgramFolderThatIsNotThereIsAnError) {
    const std::string camera = OldCamera();
    const std::string before = Show(camera);
    std::vector<std::string> env = Isolated(camera);
    env.push_back("ORBISK_HOME=" + Path("no-such-folder"));  // the later entry holds
    const ProgramRun run = RunProgram({ORBISK_BIN, "-s"}, env, Work());
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err,
              "orbisk: ORBISK_HOME names " + Path("no-such-folder") + ", which is not a folder\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Show(camera), before);
    EXPECT_FALSE(FileExists(Path("no-such-folder")));
}

TEST_F(SetupTest, CameraFolderThatCannotBeWrittenBackFailsTheRun) {
    // The write-back goes through flash.bin.tmp: a folder in its place makes it fail. The
    // run ends at the first reset, before anything is erased, and says why.
    const std::string camera = OldCamera();
    Config("SaveSN=1\n");
    const std::string before = Show(camera);
    ASSERT_EQ(::mkdir((camera + "/flash.bin.tmp").c_str(), 0755), 0);
    const ProgramRun run = Orbisk({"-s"}, camera);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "\nBegin to Write fw!\r\nWrite fw fail!\r\n" + Home() + ">");
    EXPECT_NE(run.err.find("orbisk: Reset Device Fail! (status 41512)"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("orbisk: cannot write the simulated camera back: " + camera +
                           "/flash.bin.tmp: Is a directory"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Show(camera), before);
    ::rmdir((camera + "/flash.bin.tmp").c_str());

    // A folder where the memory file belongs is a reason, not an abort.
    ASSERT_EQ(::rename((camera + "/flash.bin").c_str(), Path("flash.keep").c_str()), 0);
    ASSERT_EQ(::mkdir((camera + "/flash.bin").c_str(), 0755), 0);
    const ProgramRun folder = Orbisk({"-s"}, camera);
    EXPECT_EQ(folder.exit_code, 1);
    EXPECT_NE(folder.err.find(camera + "/flash.bin: Is a directory"), std::string::npos)
        << folder.err;
}

}  // namespace
}  // namespace orbisk::test
