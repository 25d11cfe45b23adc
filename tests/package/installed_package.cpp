// The Debian package as a user gets it: built by CPack from this build tree, unpacked into a
// scratch root with dpkg-deb -x (nothing is installed on the machine), its programs run from
// there with HOME and XDG_CONFIG_HOME in a scratch folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "support/temp_dir.h"

namespace orbisk::test {
namespace {

ProgramRun Sh(const std::string& script, const std::vector<std::string>& env = {},
              const std::string& working_dir = {}) {
    return RunProgram({"/bin/sh", "-c", script}, env, working_dir);
}

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::set<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// The "--name" options a usage text names.
std::set<std::string> Options(const std::string& text) {
    std::set<std::string> found;
    const std::regex option("--[a-z][a-z-]*");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it)
        found.insert(it->str());
    return found;
}

// The commands of a tool's usage text ("orbisk-sim create DIR [--x] ...", continued on
// indented lines) with the options each names.
std::map<std::string, std::set<std::string>> CommandOptions(const std::string& program,
                                                            const std::string& usage) {
    std::map<std::string, std::set<std::string>> commands;
    const std::regex command_line(program + " ([a-z-]+)");
    std::string current;
    for (const std::string& line : Lines(usage)) {
        std::smatch m;
        if (std::regex_search(line, m, command_line)) current = m[1].str();
        if (current.empty()) continue;
        const std::set<std::string> options = Options(line);
        commands[current].insert(options.begin(), options.end());
    }
    return commands;
}

class InstalledPackageTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        scratch_ = std::make_unique<TempDir>();
        const ProgramRun pack =
            Sh(std::string(ORBISK_CPACK) + " --config " ORBISK_BUILD_DIR "/CPackConfig.cmake" +
               " -G DEB -B " + Quote(scratch_->File("out")) + " && dpkg-deb -x " +
               Quote(scratch_->File("out")) + "/orbisk_*.deb " + Quote(scratch_->File("root")) +
               " && cp " + Quote(scratch_->File("out")) + "/orbisk_*.deb " +
               Quote(scratch_->File("orbisk.deb")));
        if (pack.exit_code != 0) error_ = "cpack or dpkg-deb failed:\n" + pack.out + pack.err;
    }
    static void TearDownTestSuite() { scratch_.reset(); }

    void SetUp() override { ASSERT_EQ(error_, ""); }

    static std::string Deb() { return scratch_->File("orbisk.deb"); }
    static std::string Root(const std::string& path = {}) {
        return scratch_->File("root") + (path.empty() ? "" : "/" + path);
    }
    static std::string Bin(const std::string& program) { return Root("usr/bin/" + program); }

    // An installed program with HOME and XDG_CONFIG_HOME in this test's scratch folder, no
    // ORBISK_HOME, and the simulated cameras' virtual clock.
    // `env` entries ("NAME=value") come last and win.
    ProgramRun Installed(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {}) {
        std::vector<std::string> argv{"/usr/bin/env",
                                      "-u",
                                      "ORBISK_HOME",
                                      "HOME=" + home_.File("home"),
                                      "XDG_CONFIG_HOME=" + home_.File("xdg"),
                                      "XDG_CONFIG_DIRS=" + home_.File("xdg-dirs"),
                                      "ORBISK_SIM_CLOCK=virtual"};
        argv.insert(argv.end(), env.begin(), env.end());
        argv.push_back(Bin(program));
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, {}, home_.path());
    }
    // The usage a program prints for --help (on stdout, or with a usage error on stderr).
    std::string Usage(const std::string& program) {
        const ProgramRun run = Installed(program, {"--help"});
        return run.out + run.err;
    }
    // The options and commands of a program's usage.
    std::set<std::string> UsageNames(const std::string& program) {
        if (program == "orbisk") return Options(Installed(program, {"--help"}).out);
        std::set<std::string> names;
        for (const auto& [command, options] : CommandOptions(program, Usage(program))) {
            names.insert(command);
            names.insert(options.begin(), options.end());
        }
        return names;
    }
    std::string Xdg(const std::string& name) const { return home_.File("xdg/orbisk/" + name); }

    static inline std::unique_ptr<TempDir> scratch_;
    static inline std::string error_;
    TempDir home_;
};

TEST_F(InstalledPackageTest, ControlFieldsAndFilesAreThoseOfTheProgram) {
    const ProgramRun fields = Sh("dpkg-deb -f " + Quote(Deb()));
    ASSERT_EQ(fields.exit_code, 0) << fields.err;
    EXPECT_NE(fields.out.find("Package: orbisk\n"), std::string::npos);
    EXPECT_NE(fields.out.find(std::string("Version: ") + ORBISK_VERSION + "\n"), std::string::npos);
    const std::string arch = Sh("dpkg --print-architecture").out;
    EXPECT_NE(fields.out.find("Architecture: " + arch), std::string::npos) << fields.out;
    // The dependencies come from the binaries: every library they link, not a hand-made list.
    std::smatch depends;
    ASSERT_TRUE(std::regex_search(fields.out, depends, std::regex("Depends: (.*)\n")));
    for (const char* library : {"libc6", "libusb-1.0-0", "libudev1", "libqt6widgets6", "libasound2",
                                "zlib1g", "qt6-qpa-plugins"})
        EXPECT_NE(depends[1].str().find(library), std::string::npos) << library;

    const ProgramRun listing = Sh("cd " + Quote(Root()) + " && find . -type f | sort");
    EXPECT_EQ(listing.exit_code, 0);
    const std::set<std::string> files = Words(listing.out);
    for (const char* path :
         {"./usr/bin/orbisk", "./usr/bin/orbisk-sim", "./usr/bin/orbisk-image",
          "./usr/lib/udev/rules.d/70-orbisk.rules", "./usr/share/applications/orbisk.desktop",
          "./usr/share/icons/hicolor/scalable/apps/orbisk.svg", "./usr/share/man/man1/orbisk.1.gz",
          "./usr/share/man/man1/orbisk-sim.1.gz", "./usr/share/man/man1/orbisk-image.1.gz",
          "./usr/share/bash-completion/completions/orbisk",
          "./usr/share/bash-completion/completions/orbisk-sim",
          "./usr/share/bash-completion/completions/orbisk-image",
          "./usr/share/doc/orbisk/copyright", "./usr/share/doc/orbisk/changelog.gz",
          "./usr/share/doc/orbisk/README.md", "./usr/share/doc/orbisk/docs/linux.md"})
        EXPECT_EQ(files.count(path), 1u) << path;
    // Build helpers and tests stay out.
    for (const std::string& file : files)
        EXPECT_TRUE(file.starts_with("./usr/bin/orbisk") || file.starts_with("./usr/share/") ||
                    file.starts_with("./usr/lib/udev/"))
            << file;
}

TEST_F(InstalledPackageTest, UdevRuleDesktopEntryAndPostInstallScript) {
    // Every camera line of the rule gives the video group and the seat's user access.
    int camera_lines = 0;
    for (const std::string& line : Lines(ReadFile(Root("usr/lib/udev/rules.d/70-orbisk.rules")))) {
        if (line.empty() || line[0] == '#') continue;
        ++camera_lines;
        EXPECT_NE(line.find("MODE=\"0660\", GROUP=\"video\", TAG+=\"uaccess\""), std::string::npos)
            << line;
    }
    EXPECT_GE(camera_lines, 1);

    const std::string desktop = Root("usr/share/applications/orbisk.desktop");
    const ProgramRun valid = Sh("desktop-file-validate " + Quote(desktop));
    EXPECT_EQ(valid.exit_code, 0) << valid.out << valid.err;
    const std::string entry = ReadFile(desktop);
    EXPECT_NE(entry.find("\nExec=orbisk\n"), std::string::npos);
    EXPECT_NE(entry.find("\nIcon=orbisk\n"), std::string::npos);

    const ProgramRun control =
        Sh("mkdir control && dpkg-deb -e " + Quote(Deb()) + " control", {}, home_.path());
    ASSERT_EQ(control.exit_code, 0) << control.err;
    const std::string postinst = home_.File("control/postinst");
    struct stat info {};
    ASSERT_EQ(stat(postinst.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);
    EXPECT_EQ(Sh("sh -n " + Quote(postinst)).exit_code, 0);
    const std::string script = ReadFile(postinst);
    EXPECT_NE(script.find("udevadm control --reload-rules"), std::string::npos);
    EXPECT_NE(script.find("udevadm trigger --subsystem-match=usb"), std::string::npos);
}

TEST_F(InstalledPackageTest, InstalledProgramUpdatesACameraWithItsFilesInTheXdgFolder) {
    const ProgramRun version = Installed("orbisk", {"--version"});
    EXPECT_EQ(version.exit_code, 0) << version.err;
    EXPECT_EQ(version.out, std::string("orbisk ") + ORBISK_VERSION + "\nprogram folder: " +
                               home_.File("xdg/orbisk") + " (installed program in " +
                               Root("usr/bin") + ": $XDG_CONFIG_HOME/orbisk)\n");
    struct stat info {};
    ASSERT_EQ(stat(home_.File("xdg/orbisk").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(FileExists(Xdg("config.ini")));

    ASSERT_EQ(Installed("orbisk-image", {"demo", "old.rfw", "--version", "1050", "--rev", "0050",
                                         "--manufacturer", "SN-PKG-1"})
                  .exit_code,
              0);
    ASSERT_EQ(Installed("orbisk-sim", {"create", "camera", "--image", "old.rfw"}).exit_code, 0);
    const ProgramRun before = Installed("orbisk-sim", {"show", "camera"});
    EXPECT_NE(before.out.find("version:      0x00-0000-1050"), std::string::npos) << before.out;

    WriteFile(Xdg("config.ini"), "[Orbisk Config]\nSaveSN=1\nSaveResultToFile=2\nLogType=1\n");
    const ProgramRun update = Installed("orbisk", {"-s"}, {"ORBISK_SIM=" + home_.File("camera")});
    EXPECT_EQ(update.exit_code, 0) << update.out << update.err;
    EXPECT_NE(update.out.find("Write fw pass!"), std::string::npos) << update.out;
    EXPECT_EQ(ReadFile(Xdg("Result.txt")), "TestResult = pass");
    EXPECT_NE(ReadFile(Xdg("config.ini")).find("SaveResultToFile=2\r\n"), std::string::npos);
    EXPECT_NE(ReadFile(home_.File("burn_result.txt")).find("SN-PKG-1"), std::string::npos);
    const ProgramRun after = Installed("orbisk-sim", {"show", "camera", "--json"});
    EXPECT_NE(after.out.find("\"version\": \"0x00-0000-1060\""), std::string::npos) << after.out;
    EXPECT_NE(after.out.find("\"manufacturer\": \"SN-PKG-1\""), std::string::npos) << after.out;
    // Nothing landed beside the programs.
    EXPECT_EQ(Sh("ls " + Quote(Root("usr/bin"))).out, "orbisk\norbisk-image\norbisk-sim\n");
}

TEST_F(InstalledPackageTest, ProgramFolderRules) {
    // Without XDG_CONFIG_HOME: ~/.config/orbisk.
    const ProgramRun unset = RunProgram(
        {"/usr/bin/env", "-u", "ORBISK_HOME", "-u", "XDG_CONFIG_HOME", Bin("orbisk"), "x"},
        {"HOME=" + home_.File("home")});
    EXPECT_EQ(unset.exit_code, 0) << unset.err;
    EXPECT_EQ(ReadFile(home_.File("home/.config/orbisk/Result.txt")), "fail");
    EXPECT_TRUE(FileExists(home_.File("home/.config/orbisk/config.ini")));

    // A program folder that cannot be made: the reason, exit code 1, nothing written; the
    // version is still told.
    WriteFile(home_.File("not-a-folder"), "");
    const std::vector<std::string> blocked = {"XDG_CONFIG_HOME=" + home_.File("not-a-folder")};
    const ProgramRun refused = Installed("orbisk", {"-s"}, blocked);
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "orbisk: cannot create the program folder " +
                               home_.File("not-a-folder/orbisk") + ": Not a directory\n");
    const ProgramRun told = Installed("orbisk", {"--version"}, blocked);
    EXPECT_EQ(told.exit_code, 0);
    EXPECT_NE(
        told.out.find("program folder: " + home_.File("not-a-folder/orbisk") + " (cannot create"),
        std::string::npos)
        << told.out;

    // ORBISK_HOME, then a portable folder, come before the XDG folder; ORBISK_HOME must name a
    // folder.
    const ProgramRun home = Installed("orbisk", {"--version"}, {"ORBISK_HOME=" + home_.path()});
    EXPECT_NE(home.out.find("program folder: " + home_.path() + " (set by ORBISK_HOME)"),
              std::string::npos)
        << home.out;
    const ProgramRun nowhere = Installed("orbisk", {"--version"}, {"ORBISK_HOME=/somewhere"});
    EXPECT_NE(
        nowhere.out.find(
            "program folder: /somewhere (ORBISK_HOME names /somewhere, which is not a folder)"),
        std::string::npos)
        << nowhere.out;
    WriteFile(Root("usr/bin/config.ini"), "[Orbisk Config]\n");
    const ProgramRun portable = Installed("orbisk", {"--version"});
    Sh("rm " + Quote(Root("usr/bin/config.ini")));
    EXPECT_NE(portable.out.find("program folder: " + Root("usr/bin") +
                                " (portable: config.ini beside the executable)"),
              std::string::npos)
        << portable.out;
}

TEST_F(InstalledPackageTest, ManPagesNameEveryCommandAndOptionAndRenderCleanly) {
    for (const std::string program : {"orbisk", "orbisk-sim", "orbisk-image"}) {
        const std::string page = Root("usr/share/man/man1/" + program + ".1.gz");
        const ProgramRun lint =
            Sh("MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z " + Quote(page) +
                   " >/dev/null",
               {"LC_ALL=C.UTF-8"});
        EXPECT_EQ(lint.exit_code, 0) << program;
        EXPECT_EQ(lint.err, "") << program;
        const std::string source = Sh("zcat " + Quote(page)).out;
        const std::set<std::string> names = UsageNames(program);
        ASSERT_GE(names.size(), 4u) << program;
        for (const std::string& name : names) {
            // Hyphens are written \- in man sources.
            const std::string escaped = std::regex_replace(name, std::regex("-"), "\\-");
            EXPECT_NE(source.find(escaped), std::string::npos) << program << ": " << name;
        }
    }
}

TEST_F(InstalledPackageTest, BashCompletionOffersEveryCommandAndOption) {
    const std::string folder = Root("usr/share/bash-completion/completions/");
    // The completion of a command line whose last word is `cur`.
    const auto complete = [&](const std::string& program, const std::vector<std::string>& words) {
        std::string array;
        for (const std::string& word : words) array += " " + Quote(word);
        const ProgramRun run = RunProgram(
            {"/bin/bash", "--norc", "-c",
             "source " + Quote(folder + program) + " && entry=$(complete -p " + program +
                 ") && fn=${entry#*-F } && fn=${fn%% *} && COMP_WORDS=(" + Quote(program) + array +
                 ") && COMP_CWORD=" + std::to_string(words.size()) +
                 " && { $fn; printf '%s\\n' \"${COMPREPLY[@]}\"; }"},
            {});
        EXPECT_EQ(run.exit_code, 0) << run.err;
        return Words(run.out);
    };
    const auto expect_offered = [](const std::set<std::string>& wanted,
                                   const std::set<std::string>& offered, const std::string& where) {
        for (const std::string& word : wanted)
            EXPECT_EQ(offered.count(word), 1u) << where << ": " << word;
    };

    expect_offered(UsageNames("orbisk"), complete("orbisk", {"--"}), "orbisk");
    for (const std::string program : {"orbisk-sim", "orbisk-image"}) {
        const auto commands = CommandOptions(program, Usage(program));
        ASSERT_GE(commands.size(), 4u) << program;
        std::set<std::string> names;
        for (const auto& [command, options] : commands) {
            names.insert(command);
            expect_offered(options, complete(program, {command, "x", "--"}),
                           program + " " + command);
        }
        expect_offered(names, complete(program, {""}), program);
    }
    EXPECT_EQ(complete("orbisk-sim", {"create", "x", "--generation", ""}),
              (std::set<std::string>{"xu", "v1", "v2"}));
    EXPECT_EQ(complete("orbisk-sim", {"fault", "x", "--fail-errno", "E"}),
              (std::set<std::string>{"EPIPE", "EIO", "ETIMEDOUT"}));
}

}  // namespace
}  // namespace orbisk::test
