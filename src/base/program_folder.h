#pragma once
#include <string>

namespace orbisk {

// The folder of config.ini, Result.txt, DebugLog.txt, the profiles, images and Fail/: the
// folder named by ORBISK_HOME when it is set, else the folder of the executable. No trailing
// "/".
std::string ProgramFolder();
// Joins a folder and a file name with one "/".
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace orbisk
