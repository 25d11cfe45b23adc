// IP cameras from the command line, against simulated network cameras on loopback addresses.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli_fixture.h"
#include "support/net_camera_rig.h"
#include "support/table_row.h"

namespace orbisk::test {
namespace {

// A camera folder made by orbisk-sim, served in this process.
class CliIpTest : public CliFixture {
  protected:
    std::string Address(const std::string& tail = ":554/live") const { return rig_.Address(tail); }

    std::string folder_ = Camera("ipcam", {"--serial", "SN-IP-7"});
    NetCameraRig rig_{folder_};
    const std::string& host_ = rig_.host();
    sim::SimNetCamera* net_ = &rig_.camera();
};

TEST_F(CliIpTest, ListShowsTheConfiguredIpCameraBesideTheUsbCameras) {
    Config("IPCamera=" + Address() + "\n");
    const std::string usb = Camera("usb", {"--image", DemoImage("usb.rfw", {"--version", "1050"})});
    const ProgramRun text = Orbisk({"--list"}, usb);
    EXPECT_EQ(text.exit_code, 0) << text.err;
    const std::string ip_line =
        "1  IP_" + host_ + "&CHIP_C010  port 6666  0x00-0000-0100  SN-IP-7\n";
    EXPECT_NE(text.out.find("0  VID_2C7E&PID_6363"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find(ip_line), std::string::npos) << text.out;

    // Another one on the command line that does not answer is left out, with a reason.
    const ProgramRun json =
        Orbisk({"--list", "--json", "--ip", "rtsp://" + UnusedLoopbackHost() + ":554/s"}, ":");
    EXPECT_EQ(json.exit_code, 0) << json.err;
    EXPECT_EQ(json.out, "[{\"index\": 0, \"label\": \"IP_" + host_ +
                            "&CHIP_C010\", \"port\": 6666, \"version\": \"0x00-0000-0100\", "
                            "\"serial\": \"SN-IP-7\", \"address\": \"" +
                            Address() + "\", \"chip\": \"C010\"}]\n");
    EXPECT_NE(json.err.find("the IP camera 1 does not answer"), std::string::npos) << json.err;
}

TEST_F(CliIpTest, UploadEndsWithTheFileInTheCameraFolder) {
    std::string firmware(300000, '\0');
    for (size_t i = 0; i < firmware.size(); ++i) firmware[i] = static_cast<char>(i * 7 + i / 251);
    WriteFile(Path("fw-stable.bin"), firmware);
    // The --ip address holds "/s" and the file name "-s": neither asks for a USB update.
    const ProgramRun run =
        Orbisk({"--ip-upload", Path("fw-stable.bin"), "--ip", Address(":554/stream")}, ":");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "Upload " + Path("fw-stable.bin") + " to " + Address(":554/stream") +
                           "\nUpload fw pass!\n");
    EXPECT_NE(run.err.find("Download: 100%"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(folder_ + "/upload.bin"), firmware);
    EXPECT_FALSE(FileExists(Home("Result.txt")));

    struct Case {
        const char* what;
        std::vector<std::string> args;
        const char* reason;
    };
    Config("IPCamera=" + Address() + ", " + Address(":554/second") + "\n");
    const Case failures[] = {
        {"two cameras, none chosen",
         {"--ip-upload", Path("fw-stable.bin")},
         "choose one with --camera"},
        {"a USB index",
         {"--ip-upload", Path("fw-stable.bin"), "--camera", "5"},
         "is not an IP camera"},
        {"no file", {"--ip-upload", Path("missing.bin"), "--camera", "0"}, "cannot upload"},
        {"another argument", {"--ip-upload", Path("fw-stable.bin"), "-s"}, "not \"-s\""},
        {"no value", {"--ip-upload"}, "--ip-upload needs a value"},
    };
    for (const Case& c : failures) {
        TRACE_ROW(failures, c);
        const ProgramRun failed = Orbisk(c.args, ":");
        EXPECT_EQ(failed.exit_code, 1) << c.what;
        EXPECT_EQ(failed.out, "Upload fw fail!\n") << c.what;
        EXPECT_NE(failed.err.find(c.reason), std::string::npos) << c.what << ": " << failed.err;
    }
    // The camera's refusal is a failure too.
    net_->SetFault(sim::NetFault::kWrongStatus, net_->RequestCount() + 2);
    const ProgramRun refused = Orbisk({"--ip-upload", Path("fw-stable.bin"), "--camera", "1"}, ":");
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find("refused the file (status 2)"), std::string::npos) << refused.err;

    // --ip alone is no update of a USB camera, though its address holds "/s".
    const ProgramRun alone = Orbisk({"--ip", Address(":554/stream")}, ":");
    EXPECT_EQ(alone.exit_code, 1);
    EXPECT_NE(alone.err.find("for --list or --ip-upload"), std::string::npos) << alone.err;
    EXPECT_FALSE(FileExists(Home("Result.txt")));
}

// Runs a program with its standard output on a pipe; stops it with SIGTERM.
class Child {
  public:
    explicit Child(const std::vector<std::string>& argv) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
    }
    ~Child() {
        if (pid_ > 0) Stop();
        if (out_ >= 0) close(out_);
    }
    // The first line of output, waiting at most 20 s; "" when none came.
    std::string FirstLine() {
        std::string line;
        char c = 0;
        pollfd entry{out_, POLLIN, 0};
        while (poll(&entry, 1, 20000) == 1 && read(out_, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }
    int Stop() {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

TEST_F(CliFixture, OrbiskSimServesACameraFolderUntilStopped) {
    const std::string folder = Camera("served", {"--serial", "SN-SERVED"});
    std::string host, line;
    std::unique_ptr<Child> server;
    for (int attempt = 0; attempt < 8 && line.empty(); ++attempt) {
        host = UnusedLoopbackHost();
        server = std::make_unique<Child>(std::vector<std::string>{
            ORBISK_TOOLS_DIR "/orbisk-sim", "serve", folder, "--listen", host});
        line = server->FirstLine();
    }
    ASSERT_EQ(line, "listening on " + host + ":6666");
    WriteFile(Path("fw.bin"), "new firmware");
    const ProgramRun upload =
        Orbisk({"--ip-upload", Path("fw.bin"), "--ip", "rtsp://" + host + ":554/"}, ":");
    EXPECT_EQ(upload.exit_code, 0) << upload.err;
    EXPECT_EQ(ReadFile(folder + "/upload.bin"), "new firmware");
    EXPECT_EQ(server->Stop(), 0);
    // Stopped, it answers no more.
    const ProgramRun gone = Orbisk({"--list", "--ip", "rtsp://" + host + ":554/"}, ":");
    EXPECT_NE(gone.err.find("does not answer"), std::string::npos) << gone.err;
}

}  // namespace
}  // namespace orbisk::test
