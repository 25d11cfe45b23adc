// The real orbisk against simulated cameras, as an operator or a production script runs it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "app/cli_fixture.h"
#include "platform/sysinfo.h"

namespace orbisk::test {
namespace {

class CliTest : public CliFixture {
  protected:
    // A camera running older firmware (version 0x1050, revision 0x0050) with its serial
    // number in the manufacturer string, where these modules keep it.
    std::string OldCamera(const std::string& name, const std::string& serial) {
        return Camera(name,
                      {"--image", DemoImage(name + ".rfw", {"--version", "1050", "--rev", "0050",
                                                            "--manufacturer", serial})});
    }
    static std::string Sha(const std::string& json) {
        std::smatch m;
        return std::regex_search(json, m, std::regex("\"sha256\": \"([0-9a-f]+)\""))
                   ? m[1].str()
                   : "(no sha256)";
    }
    // The rows of burn_result.txt after its two header lines.
    std::vector<std::string> BurnRows() {
        const std::string text = ReadFile(Work("burn_result.txt"));
        const std::string header =
            "Update date       Update Time       Serial number              Result   ErrCode\r\n"
            "================  ================  =========================  =======  =======\r\n";
        EXPECT_EQ(text.substr(0, header.size()), header);
        std::vector<std::string> rows;
        size_t start = header.size();
        while (start < text.size()) {
            const size_t end = text.find("\r\n", start);
            if (end == std::string::npos) {
                ADD_FAILURE() << "row without CR LF: " << text.substr(start);
                break;
            }
            rows.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        return rows;
    }
    static std::string RowTail(const std::string& serial, const std::string& result,
                               uint32_t code) {
        std::string field = serial + ",";
        if (field.size() < 27) field.resize(27, ' ');
        std::string verdict = result + ",";
        verdict.resize(9, ' ');
        return field + verdict + std::to_string(code) + ":";
    }
};

// Date and time columns of a burn row.
constexpr const char* kRowTime = "\\d{4}-\\d\\d-\\d\\d,       \\d\\d:\\d\\d:\\d\\d,         ";

TEST_F(CliTest, GoodUpdateInEveryResultMode) {
    struct Case {
        int mode;
        const char* serial;
        bool file;
        std::string verdict;
    };
    const Case cases[] = {
        {0, "SN-0000", false, ""},
        {1, "SN-0001", true, "pass"},
        {2, "SN-0002", true, "TestResult = pass"},
        // 30 characters: no padding, still one row.
        {3, "SN-0003-LONG-SERIAL-NUMBER-XYZ", true, "pass"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        unlink(Home("Result.txt").c_str());
        RunOk({"/bin/mkdir", "-p", Path("xdg-home/autostart")});
        WriteFile(UserAutostart(), "[Desktop Entry]\nType=Application\n");
        const std::string camera = OldCamera("cam" + std::to_string(c.mode), c.serial);
        const std::string before = Show(camera);
        Config("SaveSN=1\nSaveResultToFile=" + std::to_string(c.mode) + "\nLogType=1\n");

        const ProgramRun run = Orbisk({"-s"}, camera);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(run.out, "\nBegin to Write fw!\r\nWrite fw pass!\r\n" + Home() + ">");
        // Progress on stderr, one line per change, and no failure.
        EXPECT_NE(run.err.find("Download: "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("Reset to new code: "), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("orbisk:"), std::string::npos) << run.err;

        EXPECT_EQ(FileExists(Home("Result.txt")), c.file);
        if (c.file) {
            EXPECT_EQ(ReadFile(Home("Result.txt")), c.verdict);
        }
        const std::vector<std::string> rows = BurnRows();
        ASSERT_EQ(rows.size(), static_cast<size_t>(c.mode + 1));
        EXPECT_TRUE(std::regex_match(rows.back(), std::regex(std::string(kRowTime) + ".*")))
            << rows.back();
        EXPECT_EQ(rows.back().substr(36), RowTail(c.serial, "Pass", 0));

        // The camera runs the new firmware, with its own serial number and a new revision.
        const std::string after = Show(camera);
        EXPECT_EQ(Field(after, "mode"), "app");
        EXPECT_EQ(Field(after, "version"), "0x00-0000-1060");
        EXPECT_EQ(Field(after, "rev"), "0100");
        EXPECT_EQ(Field(after, "manufacturer"), c.serial);
        EXPECT_NE(Sha(after), Sha(before));
        EXPECT_FALSE(FileExists(UserAutostart()));
    }
}

TEST_F(CliTest, FailingUpdateEndsWithItsCodeAndKeepsTheAutostartEntry) {
    struct Case {
        const char* fault;
        uint32_t code;
        const char* text;
        bool memory_kept;  // else erased and never tagged: the camera stays in its boot ROM
    };
    const Case cases[] = {
        {"--busy-stuck", 41710, "Disable Write Protect Fail!", true},
        {"--drop-all-writes", 41709, "Compare Data Fail!", false},
    };
    RunOk({"/bin/mkdir", "-p", Path("xdg-home/autostart")});
    WriteFile(UserAutostart(), "[Desktop Entry]\n");
    Config("SaveSN=1\nSaveResultToFile=2\nLogType=1\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        const std::string camera = OldCamera(std::string("cam") + c.fault, "SN-FAIL-01");
        Sim({"fault", camera, c.fault});
        const std::string before = Show(camera);

        const ProgramRun run = Orbisk({"/silent"}, camera);
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.out, "\nBegin to Write fw!\r\nWrite fw fail!\r\n" + Home() + ">");
        EXPECT_NE(run.err.find(std::string("orbisk: ") + c.text + " (status " +
                               std::to_string(c.code) + ")"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(ReadFile(Home("Result.txt")), "TestResult = fail");
        EXPECT_EQ(BurnRows().back().substr(36), RowTail("SN-FAIL-01", "Fail", c.code));
        const std::string after = Show(camera);
        if (c.memory_kept) {
            EXPECT_EQ(Sha(after), Sha(before));
        } else {
            EXPECT_EQ(Field(after, "mode"), "rom");
            EXPECT_EQ(Field(after, "pid"), "B016");
        }
        EXPECT_TRUE(FileExists(UserAutostart()));
    }
    EXPECT_EQ(BurnRows().size(), 2u);
}

TEST_F(CliTest, DebugLogTracesTheIdentificationAndTheHostBoard) {
    const std::string camera = OldCamera("cam", "SN-TRACE");
    Config("Debug Log=1\n");
    ASSERT_EQ(Orbisk({"-s"}, camera).exit_code, 0);
    const std::string log = ReadFile(Home("DebugLog.txt"));
    // The image check of the open camera walks the carried image's descriptors in its scope.
    const std::string check = "CDevFlow::DEV_CheckImageForCamera:> ";
    const size_t start = log.find(check + "START --->>>");
    ASSERT_NE(start, std::string::npos) << log;
    EXPECT_LT(log.find(check + "Find descriptor 0x04\r\n", start), log.find(check + "EXIT", start))
        << log;
    // The board product as this host's native system information reads it.
    CSystemInfo host(CreateNativeSystemInfoBackend());
    const std::string board = host.BaseBoardProduct().value_or("N/A");
    EXPECT_NE(log.find("CMpFlow::MP_GetDeviceInfo:> START --->>>\r\n"
                       "#### Base Board Information ####\r\n\r\n" +
                       board + "\r\n"),
              std::string::npos)
        << log;
}

TEST_F(CliTest, ImageForAnotherChipIsRefusedBeforeWriting) {
    // The camera answers with the identity the image is meant for, but its chip is another.
    const std::string camera = OldCamera("cam", "SN-OTHER");
    Sim({"set", camera, "Camera.Profile=ORV6521"});
    const std::string before = Show(camera);
    Config("SaveResultToFile=2\nLogType=1\n");

    const ProgramRun run = Orbisk({"-s"}, camera);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "\nGet IC Info Fail\n" + Home() + ">");
    EXPECT_NE(run.err.find("Firmware is not for the device! (status 41715)"), std::string::npos)
        << run.err;
    EXPECT_EQ(ReadFile(Home("Result.txt")), "TestResult = fail");
    EXPECT_FALSE(FileExists(Work("burn_result.txt")));
    EXPECT_EQ(Show(camera), before);
}

TEST_F(CliTest, CameraOfAnotherProductGetsNoImage) {
    const std::string camera =
        Camera("cam", {"--image", DemoImage("other.rfw", {"--pid", "1234", "--rev", "0050"})});
    const std::string before = Show(camera);
    Config("SaveResultToFile=1\n");
    const ProgramRun run = Orbisk({"-s"}, camera);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "\nLoad File Data Fail!\nGet IC Info Fail\n" + Home() + ">");
    EXPECT_NE(run.err.find("(status 41530)"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(Home("Result.txt")), "fail");
    EXPECT_EQ(Show(camera), before);
}

TEST_F(CliTest, CameraWithTheSameFirmwareIsLeftAlone) {
    // Same identity label as the carried image: nothing to write, and that is a pass.
    const std::string camera = Camera("cam", {"--image", DemoImage("same.rfw", {})});
    const std::string before = Show(camera);
    const ProgramRun run = Orbisk({"-s"}, camera);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "\nBegin to Write fw!\r\nWrite fw pass!\r\n" + Home() + ">");
    EXPECT_EQ(Sha(Show(camera)), Sha(before));
}

TEST_F(CliTest, NoCameraFailsInEveryResultMode) {
    struct Case {
        int mode;
        bool file;
        std::string verdict;
    };
    for (const Case& c : {Case{0, false, ""}, Case{1, true, "fail"},
                          Case{2, true, "TestResult = fail"}, Case{3, true, ""}}) {
        SCOPED_TRACE(c.mode);
        unlink(Home("Result.txt").c_str());
        Config("SaveResultToFile=" + std::to_string(c.mode) + "\nLogType=1\n");
        const ProgramRun run = Orbisk({"-s"}, ":");  // a bus without cameras
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.out, "\nGet IC Info Fail\n" + Home() + ">");
        EXPECT_NE(run.err.find("Detect Device Fail! (status 41511)"), std::string::npos) << run.err;
        EXPECT_EQ(FileExists(Home("Result.txt")), c.file);
        if (c.file) {
            EXPECT_EQ(ReadFile(Home("Result.txt")), c.verdict);
        }
        // No update was attempted, so there is no burn row.
        EXPECT_FALSE(FileExists(Work("burn_result.txt")));
    }
}

TEST_F(CliTest, BadSimulationFolderIsExplained) {
    const ProgramRun run = Orbisk({"/S"}, Path("missing"));
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find("ORBISK_SIM: " + Path("missing")), std::string::npos) << run.err;
}

TEST_F(CliTest, OnlyTheArgumentsAskForTheUpdate) {
    const std::string camera =
        Camera("cam", {"--image", DemoImage("old.rfw", {"--version", "1050"})});
    const std::string before = Show(camera);
    // A program stored under a folder whose name holds "-s", run with another argument.
    RunOk({"/bin/mkdir", Path("tools-s")});
    ASSERT_EQ(symlink(ORBISK_BIN, Path("tools-s/orbisk").c_str()), 0);
    ProgramRun run = RunProgram({Path("tools-s/orbisk"), "check"}, Isolated(camera));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadFile(Home("Result.txt")), "fail");
    EXPECT_EQ(Show(camera), before);
}

TEST_F(CliTest, HelpAndVersionTouchNoCamera) {
    const ProgramRun help = Orbisk({"--help"}, Path("missing"));
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_EQ(help.out.rfind("usage: orbisk", 0), 0u) << help.out;
    const ProgramRun version = Orbisk({"-s", "--version"}, Path("missing"));
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_EQ(version.out, std::string("orbisk ") + ORBISK_VERSION + "\nprogram folder: " + Home() +
                               " (set by ORBISK_HOME)\n");
    EXPECT_FALSE(FileExists(Home("Result.txt")));
}

}  // namespace
}  // namespace orbisk::test

namespace orbisk::test {
namespace {

TEST_F(CliTest, ListShowsEachCameraOnceAndWritesNothing) {
    const std::string a = OldCamera("a", "SN-A");
    const std::string b =
        Camera("b", {"--ports", "2", "--image",
                     DemoImage("b.rfw", {"--version", "1060", "--manufacturer", "SN \"B\"\\1"})});
    Sim({"set", b, "Usb.Entries=2"});  // the same camera enumerated twice
    const std::string before_a = Show(a), before_b = Show(b);

    const ProgramRun text = Orbisk({"--list"}, a + ":" + b);
    EXPECT_EQ(text.exit_code, 0) << text.err;
    EXPECT_EQ(text.out,
              "0  VID_2C7E&PID_6363&REV_0050  port 1  0x00-0000-1050  SN-A\n"
              "1  VID_2C7E&PID_6363&REV_0100  port 2  0x00-0000-1060  SN \"B\"\\1\n");
    const ProgramRun json = Orbisk({"--list", "--json", "-s"}, a + ":" + b);
    EXPECT_EQ(json.exit_code, 0) << json.err;
    EXPECT_EQ(json.out,
              "[{\"index\": 0, \"label\": \"VID_2C7E&PID_6363&REV_0050\", \"port\": 1, "
              "\"version\": \"0x00-0000-1050\", \"serial\": \"SN-A\"}, "
              "{\"index\": 1, \"label\": \"VID_2C7E&PID_6363&REV_0100\", \"port\": 2, "
              "\"version\": \"0x00-0000-1060\", \"serial\": \"SN \\\"B\\\"\\\\1\"}]\n");
    EXPECT_EQ(Show(a), before_a);
    EXPECT_EQ(Show(b), before_b);
    EXPECT_FALSE(FileExists(Home("Result.txt")));

    EXPECT_EQ(Orbisk({"--list", "--json"}, ":").out, "[]\n");
    const ProgramRun no_bus = Orbisk({"--list"}, Path("missing"));
    EXPECT_EQ(no_bus.exit_code, 1);
    EXPECT_NE(no_bus.err.find("ORBISK_SIM: "), std::string::npos) << no_bus.err;
}

// Fresh cameras made in one folder take ports of their own, and the list follows their cables.
TEST_F(CliTest, ListFollowsCamerasUnpluggedAndPluggedBack) {
    std::string cameras;
    for (const std::string name : {"a", "b", "c"}) cameras += OldCamera(name, "SN-" + name) + ":";
    auto listed = [&] {
        const ProgramRun run = Orbisk({"--list"}, cameras);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        std::string ports;
        for (const std::string serial : {"SN-a", "SN-b", "SN-c"}) {
            const size_t at = run.out.find(serial);
            if (at != std::string::npos) ports += run.out.substr(run.out.rfind("port", at), 6);
        }
        return ports;
    };
    EXPECT_EQ(listed(), "port 1port 2port 3");
    Sim({"unplug", Path("b")});
    EXPECT_EQ(listed(), "port 1port 3");
    Sim({"plug", Path("b")});
    EXPECT_EQ(listed(), "port 1port 2port 3");
}

}  // namespace
}  // namespace orbisk::test

namespace orbisk::test {
namespace {

TEST_F(CliTest, VidPidListDecidesWhichCameraIsUpdated) {
    const std::string camera = OldCamera("cam", "SN-LIST");
    const std::string before = Show(camera);
    Config("CheckVIDPID_INI=1\nSaveResultToFile=1\n");

    WriteFile(Home("VidPidList.ini"), "VID_2C7E&PID_1234\n");
    const ProgramRun refused = Orbisk({"-s"}, camera);
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_EQ(refused.out, "\nCheck VID/PID Mismatch!\nGet IC Info Fail\n" + Home() + ">");
    EXPECT_NE(refused.err.find("(status 41714)"), std::string::npos) << refused.err;
    EXPECT_EQ(Show(camera), before);

    // Lines are compared in upper case and trimmed.
    WriteFile(Home("VidPidList.ini"), "\n  vid_2c7e&pid_6363 \n");
    const ProgramRun updated = Orbisk({"-s"}, camera);
    EXPECT_EQ(updated.exit_code, 0) << updated.err;
    EXPECT_EQ(ReadFile(Home("Result.txt")), "pass");
    EXPECT_EQ(Field(Show(camera), "version"), "0x00-0000-1060");
}

}  // namespace
}  // namespace orbisk::test

namespace orbisk::test {
namespace {

TEST_F(CliTest, ReaderThatGoesAwayDoesNotStopTheUpdate) {
    const std::string camera = OldCamera("cam", "SN-PIPE");
    // Both output streams into a pipe whose reader has already gone.
    const ProgramRun run =
        RunProgram({"/bin/sh", "-c", "\"$0\" -s 2>&1 | true; echo done", ORBISK_BIN},
                   {"ORBISK_HOME=" + Home(), "ORBISK_SIM=" + camera, "ORBISK_SIM_CLOCK=virtual",
                    "XDG_CONFIG_HOME=" + Path("xdg-home"), "XDG_CONFIG_DIRS=" + Path("xdg-dirs")},
                   Work());
    EXPECT_EQ(run.out, "done\n");
    EXPECT_EQ(Field(Show(camera), "version"), "0x00-0000-1060");
}

}  // namespace
}  // namespace orbisk::test

namespace orbisk::test {
namespace {

// A run that fails after the erase leaves the camera in its boot ROM, where it answers with
// the controller's identity. The next run finds its recovery record and brings it back with
// its own serial number; without the record only --recover writes it, with the image's.
TEST_F(CliTest, CameraLeftInItsBootRomIsBroughtBack) {
    const std::string camera = OldCamera("cam", "SN-ROM-42");
    Config("SaveSN=1\nLogType=1\n");
    Sim({"fault", camera, "--drop-all-writes"});
    const ProgramRun failed = Orbisk({"-s"}, camera);
    EXPECT_EQ(failed.exit_code, 1);
    EXPECT_NE(failed.err.find("(status 41709)"), std::string::npos) << failed.err;
    const std::string stranded = Show(camera);
    ASSERT_EQ(Field(stranded, "mode"), "rom");
    const std::string record = Home("Recovery/1-1.ini");
    ASSERT_TRUE(FileExists(record));
    EXPECT_NE(ReadFile(record).find("Serial=SN-ROM-42\n"), std::string::npos);
    Sim({"fault", camera, "--clear"});

    // Without its record the camera is refused, untouched, and the way out is named.
    const std::string kept = ReadFile(record);
    unlink(record.c_str());
    const ProgramRun refused = Orbisk({"-s"}, camera);
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_EQ(refused.out, "\nLoad File Data Fail!\nGet IC Info Fail\n" + Home() + ">");
    EXPECT_NE(refused.err.find("orbisk: the camera on port 1-1 runs its boot ROM and has no "
                               "recovery record (" +
                               record +
                               "); \"orbisk -s --recover\" writes the firmware with the "
                               "image's own serial number"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(Show(camera), stranded);

    // With it, the next run restores the camera with its own serial number.
    WriteFile(record, kept);
    const ProgramRun restored = Orbisk({"-s"}, camera);
    EXPECT_EQ(restored.exit_code, 0) << restored.err;
    EXPECT_EQ(restored.out, "\nBegin to Write fw!\r\nWrite fw pass!\r\n" + Home() + ">");
    EXPECT_NE(restored.err.find("orbisk: the camera on port 1-1 runs its boot ROM; recovering it "
                                "with " +
                                record + " (serial number SN-ROM-42)"),
              std::string::npos)
        << restored.err;
    const std::string after = Show(camera);
    EXPECT_EQ(Field(after, "mode"), "app");
    EXPECT_EQ(Field(after, "version"), "0x00-0000-1060");
    EXPECT_EQ(Field(after, "manufacturer"), "SN-ROM-42");
    EXPECT_FALSE(FileExists(record));
    EXPECT_EQ(BurnRows().back().substr(36), RowTail("SN-ROM-42", "Pass", 0));

    // Another camera stranded, its record gone: --recover writes it with the image's serial
    // number and says so.
    const std::string other = OldCamera("other", "SN-ROM-43");
    Sim({"set", other, "Usb.Ports=3"});
    Sim({"fault", other, "--drop-all-writes"});
    EXPECT_EQ(Orbisk({"-s"}, other).exit_code, 1);
    Sim({"fault", other, "--clear"});
    ASSERT_EQ(unlink(Home("Recovery/1-3.ini").c_str()), 0);
    const ProgramRun recovered = Orbisk({"-s", "--recover"}, other);
    EXPECT_EQ(recovered.exit_code, 0) << recovered.err;
    EXPECT_NE(recovered.err.find("orbisk: no recovery record for the camera on port 1-3: its "
                                 "serial number cannot be restored; it gets the image's own"),
              std::string::npos)
        << recovered.err;
    EXPECT_EQ(Field(Show(other), "manufacturer"), "Orbisk");
    EXPECT_FALSE(FileExists(Home("Recovery/1-3.ini")));
}

}  // namespace
}  // namespace orbisk::test
