#pragma once
#include <string>
#include <vector>

#include "base/program_folder.h"

namespace orbisk {

// The informational options, recognised before the silent-update test. None of them touches
// a camera.
enum class InfoRequest { kNone, kHelp, kVersion, kList, kListJson };

// The first informational option among the arguments ("--help"/"-h"/"-?", "--version",
// "--list" with or without "--json"); kNone when there is none.
InfoRequest FindInfoRequest(const std::vector<std::string>& args);

// `orbisk --help`.
std::string HelpText();
// `orbisk --version`: "orbisk 2.63.2026.1210" and the program folder in use with the reason.
std::string VersionText(const ProgramFolderChoice& folder);

}  // namespace orbisk
