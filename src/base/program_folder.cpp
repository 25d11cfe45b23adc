#include "base/program_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace orbisk {

namespace {

std::string WithoutTrailingSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string ExecutableFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    const std::string exe(path, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return exe.substr(0, slash);
}

std::string UserHome() {
    std::string home = Env("HOME");
    if (!home.empty()) return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir != nullptr)
        home = found->pw_dir;
    return home;
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// mkdir -p with mode 0700 for the folders it creates: a user's settings are the user's.
std::string MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return "cannot create the program folder " + folder + ": " + std::strerror(errno);
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return "the program folder " + folder + " is not a folder";
    return {};
}

ProgramFolderChoice Chosen(ProgramFolderSource source, std::string folder, std::string reason) {
    ProgramFolderChoice choice;
    choice.source = source;
    choice.folder = std::move(folder);
    choice.reason = std::move(reason);
    return choice;
}

}  // namespace

ProgramFolderChoice ChooseProgramFolder(const ProgramFolderFacts& facts) {
    using enum ProgramFolderSource;
    if (!facts.orbisk_home.empty())
        return Chosen(kOrbiskHome, WithoutTrailingSlash(facts.orbisk_home), "set by ORBISK_HOME");
    if (facts.exe_folder_has_config)
        return Chosen(kPortable, facts.exe_folder, "portable: config.ini beside the executable");
    const bool bin_folder = facts.exe_folder.ends_with("/bin");
    if (facts.exe_folder_writable && !bin_folder)
        return Chosen(kExecutable, facts.exe_folder, "the executable's folder");
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the XDG base directory rules say.
    const bool xdg = facts.xdg_config_home.starts_with('/');
    if (!xdg && !facts.home.starts_with('/')) {
        ProgramFolderChoice none;
        none.error =
            "no program folder for an installed program: neither XDG_CONFIG_HOME nor HOME is an "
            "absolute path; set ORBISK_HOME";
        return none;
    }
    const std::string base =
        xdg ? WithoutTrailingSlash(facts.xdg_config_home) : JoinPath(facts.home, ".config");
    return Chosen(kInstalled, JoinPath(base, "orbisk"),
                  "installed program in " + facts.exe_folder + ": " +
                      (xdg ? "$XDG_CONFIG_HOME/orbisk" : "~/.config/orbisk"));
}

ProgramFolderChoice FindProgramFolder() {
    ProgramFolderFacts facts;
    facts.orbisk_home = Env("ORBISK_HOME");
    facts.exe_folder = ExecutableFolder();
    facts.exe_folder_has_config = IsRegularFile(JoinPath(facts.exe_folder, "config.ini"));
    facts.exe_folder_writable = ::access(facts.exe_folder.c_str(), W_OK) == 0;
    facts.xdg_config_home = Env("XDG_CONFIG_HOME");
    facts.home = UserHome();
    ProgramFolderChoice choice = ChooseProgramFolder(facts);
    if (choice.source == ProgramFolderSource::kInstalled) choice.error = MakeFolders(choice.folder);
    // A mistyped ORBISK_HOME must not quietly run on default settings in no folder at all.
    struct stat info {};
    if (choice.source == ProgramFolderSource::kOrbiskHome &&
        (::stat(choice.folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)))
        choice.error = "ORBISK_HOME names " + choice.folder + ", which is not a folder";
    return choice;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

}  // namespace orbisk
