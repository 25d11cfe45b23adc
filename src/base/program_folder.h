#pragma once
#include <string>

namespace orbisk {

// The folder of config.ini, Result.txt, DebugLog.txt, the profiles, images, Fail/ and
// Recovery/: the folder named by ORBISK_HOME when it is set, else the folder of the executable.
// No trailing "/". An ORBISK_HOME that names no folder is an error: `error` (when given) says
// so, and the name is returned as it is.
std::string ProgramFolder(std::string* error = nullptr);
// Joins a folder and a file name with one "/".
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace orbisk
