#pragma once
#include <string>

namespace orbisk {

// What the choice of the program folder depends on, read from the environment and the file
// system by FindProgramFolder.
struct ProgramFolderFacts {
    std::string orbisk_home;             // $ORBISK_HOME
    std::string exe_folder;              // the folder of the running executable
    bool exe_folder_has_config = false;  // a config.ini beside the executable
    bool exe_folder_writable = false;
    std::string xdg_config_home;  // $XDG_CONFIG_HOME
    std::string home;             // $HOME, else the user's home from the password database
};

enum class ProgramFolderSource { kNone, kOrbiskHome, kPortable, kExecutable, kInstalled };

struct ProgramFolderChoice {
    ProgramFolderSource source = ProgramFolderSource::kNone;
    std::string folder;  // no trailing "/"
    std::string reason;  // why this folder, as `orbisk --version` prints it
    std::string error;   // set when the folder cannot be used
};

// The folder of config.ini, Result.txt, DebugLog.txt, the profiles, images, Fail/ and
// Recovery/:
//   1. the folder named by ORBISK_HOME when it is set (it must be a folder);
//   2. the executable's folder when config.ini sits beside it (a portable folder);
//   3. the executable's folder when this user may write to it and it is not a "bin" folder
//      (a build folder, an unpacked copy);
//   4. else the program is installed: $XDG_CONFIG_HOME/orbisk, default ~/.config/orbisk.
// A bin folder counts as installed even where it can be written (root, a scratch root): the
// settings and records of a user never belong beside /usr/bin/orbisk.
ProgramFolderChoice ChooseProgramFolder(const ProgramFolderFacts& facts);

// ChooseProgramFolder over this process's facts; the folder of an installed program is created
// (mode 0700, with its parents) when it does not exist yet.
ProgramFolderChoice FindProgramFolder();

// Joins a folder and a file name with one "/".
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace orbisk
