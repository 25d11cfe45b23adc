#pragma once
#include <string>
#include <vector>

namespace orbisk::test {

// A scratch folder removed with its contents at the end of the test.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// The process's working folder is `path` while this lives; the old one comes back at its end,
// whether the test passed or not.
class WorkingFolder {
  public:
    explicit WorkingFolder(const std::string& path);
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

  private:
    std::string previous_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

struct ProgramRun {
    int exit_code = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};
// The environment of a program run that can touch nothing of the user's: HOME and the XDG
// folders below `root` (created), a virtual clock, and the simulated cameras of `sim` in place
// of the real bus (":" is a bus without cameras).
std::vector<std::string> IsolatedEnv(const std::string& root, const std::string& sim = ":");

// Runs a program with extra environment entries ("NAME=value") and waits for it.
ProgramRun RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                      const std::string& working_dir = {});

}  // namespace orbisk::test
