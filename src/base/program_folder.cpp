#include "base/program_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace orbisk {

std::string ProgramFolder(std::string* error) {
    if (const char* home = std::getenv("ORBISK_HOME"); home != nullptr && *home != '\0') {
        std::string folder(home);
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        // A mistyped name must not quietly run with default settings in no folder at all.
        struct stat info {};
        if (error != nullptr && (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)))
            *error = "ORBISK_HOME names " + folder + ", which is not a folder";
        return folder;
    }
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string exe(path, static_cast<size_t>(n));
    size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return exe.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

}  // namespace orbisk
