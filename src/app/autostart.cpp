#include "app/autostart.h"

#include <cstdio>
#include <cstdlib>

#include "base/program_folder.h"

namespace orbisk {
namespace {
bool Absolute(const std::string& path) {
    return !path.empty() && path[0] == '/';
}
}  // namespace

std::vector<std::string> AutostartFolders(const char* config_home, const char* home,
                                          const char* config_dirs) {
    std::vector<std::string> folders;
    if (config_home != nullptr && Absolute(config_home)) {
        folders.push_back(JoinPath(config_home, "autostart"));
    } else if (home != nullptr && Absolute(home)) {
        folders.push_back(JoinPath(home, ".config/autostart"));
    }
    const std::string dirs =
        config_dirs != nullptr && *config_dirs != '\0' ? config_dirs : "/etc/xdg";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = dirs.substr(start, end - start);
        if (Absolute(dir)) folders.push_back(JoinPath(dir, "autostart"));
        start = end + 1;
    }
    return folders;
}

int RemoveAutostartEntry(const std::string& name) {
    int removed = 0;
    for (const std::string& folder : AutostartFolders(
             std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"), std::getenv("XDG_CONFIG_DIRS")))
        if (std::remove(JoinPath(folder, name + ".desktop").c_str()) == 0) ++removed;
    return removed;
}

}  // namespace orbisk
