#pragma once
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace orbisk::test {

// A program folder, a working folder, XDG folders and simulated camera folders in one scratch
// folder; runs the real orbisk against them with a virtual clock.
class CliFixture : public ::testing::Test {
  protected:
    CliFixture() {
        for (const char* sub : {"home", "work"}) RunOk({"/bin/mkdir", "-p", dir_.File(sub)});
    }

    std::string Home(const std::string& name = {}) const { return Sub("home", name); }
    std::string Work(const std::string& name = {}) const { return Sub("work", name); }
    std::string UserAutostart() const { return dir_.File("xdg-home/autostart/OrvFWUD.desktop"); }
    std::string Path(const std::string& name) const { return dir_.File(name); }

    void Config(const std::string& keys) {
        WriteFile(Home("config.ini"), "[Orbisk Config]\n" + keys);
    }

    // A demo image from orbisk-image with extra options ("--version", "1050", ...).
    std::string DemoImage(const std::string& name, std::vector<std::string> options) {
        std::vector<std::string> argv{ORBISK_TOOLS_DIR "/orbisk-image", "demo", Path(name)};
        argv.insert(argv.end(), options.begin(), options.end());
        RunOk(argv);
        return Path(name);
    }
    // A simulated camera folder made by orbisk-sim create with the given options.
    std::string Camera(const std::string& name, std::vector<std::string> options) {
        std::vector<std::string> argv{ORBISK_TOOLS_DIR "/orbisk-sim", "create", Path(name)};
        argv.insert(argv.end(), options.begin(), options.end());
        RunOk(argv);
        return Path(name);
    }
    void Sim(std::vector<std::string> argv) {
        argv.insert(argv.begin(), ORBISK_TOOLS_DIR "/orbisk-sim");
        RunOk(argv);
    }
    // `orbisk-sim show --json` of a camera folder.
    std::string Show(const std::string& camera) {
        return RunOk({ORBISK_TOOLS_DIR "/orbisk-sim", "show", camera, "--json"}).out;
    }
    // A string field of a JSON object printed by the tools.
    static std::string Field(const std::string& json, const std::string& key) {
        std::smatch m;
        const std::regex pattern("\"" + key + "\": \"([^\"]*)\"");
        return std::regex_search(json, m, pattern) ? m[1].str() : "(no " + key + ")";
    }

    // orbisk with the cameras named by `sim` (ORBISK_SIM; ":" none), in the working folder,
    // with HOME and the XDG folders of its own.
    ProgramRun Orbisk(const std::vector<std::string>& args, const std::string& sim,
                      std::vector<std::string> env = {}) {
        std::vector<std::string> argv{ORBISK_BIN};
        argv.insert(argv.end(), args.begin(), args.end());
        const std::vector<std::string> isolated = Isolated(sim);
        env.insert(env.end(), isolated.begin(), isolated.end());
        return RunProgram(argv, env, Work());
    }

    // The environment Orbisk() runs in, for a run made another way.
    std::vector<std::string> Isolated(const std::string& sim) const {
        std::vector<std::string> env = IsolatedEnv(dir_.path(), sim);
        env.push_back("ORBISK_HOME=" + Home());
        return env;
    }

    static ProgramRun RunOk(const std::vector<std::string>& argv) {
        ProgramRun run = RunProgram(argv, {});
        EXPECT_EQ(run.exit_code, 0) << argv[0] << " " << argv[1] << ": " << run.err;
        return run;
    }

  private:
    std::string Sub(const std::string& sub, const std::string& name) const {
        return name.empty() ? dir_.File(sub) : dir_.File(sub + "/" + name);
    }

    TempDir dir_;
};

}  // namespace orbisk::test
