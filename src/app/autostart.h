#pragma once
#include <string>
#include <vector>

namespace orbisk {

// The start-up entry that an installer leaves so that an interrupted update runs again at the
// next log-in. After a successful update it is removed.
inline constexpr const char* kAutostartEntry = "OrvFWUD";

// The XDG autostart folders, the user's first: $XDG_CONFIG_HOME/autostart (else
// $HOME/.config/autostart), then <dir>/autostart for each dir of $XDG_CONFIG_DIRS (else
// /etc/xdg). Relative paths are ignored, as the XDG base-directory rules require.
std::vector<std::string> AutostartFolders(const char* config_home, const char* home,
                                          const char* config_dirs);

// Removes "<name>.desktop" from every autostart folder of the environment; failures (no such
// file, no right to remove a system-wide entry) are ignored. Returns how many were removed.
int RemoveAutostartEntry(const std::string& name);

}  // namespace orbisk
