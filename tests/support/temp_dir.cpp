#include "support/temp_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace orbisk::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orbisk-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

WorkingFolder::WorkingFolder(const std::string& path)
    : previous_(std::filesystem::current_path().string()) {
    std::filesystem::current_path(path);
}

WorkingFolder::~WorkingFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

std::vector<std::string> IsolatedEnv(const std::string& root, const std::string& sim) {
    for (const char* sub : {"user-home", "xdg-home", "xdg-dirs"})
        ::mkdir((root + "/" + sub).c_str(), 0755);
    return {"HOME=" + root + "/user-home", "XDG_CONFIG_HOME=" + root + "/xdg-home",
            "XDG_CONFIG_DIRS=" + root + "/xdg-dirs", "ORBISK_SIM=" + sim,
            "ORBISK_SIM_CLOCK=virtual"};
}

ProgramRun RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                      const std::string& working_dir) {
    TempDir scratch;
    const std::string out_path = scratch.File("out"), err_path = scratch.File("err");
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int null_in = open("/dev/null", O_RDONLY);
        dup2(out, 1);
        dup2(err, 2);
        dup2(null_in, 0);
        if (!working_dir.empty() && chdir(working_dir.c_str()) != 0) _exit(126);
        for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    ProgramRun run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadFile(out_path);
    run.err = ReadFile(err_path);
    return run;
}

}  // namespace orbisk::test
