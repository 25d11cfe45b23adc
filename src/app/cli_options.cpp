#include "app/cli_options.h"

#include <algorithm>

#include "app/version.h"

namespace orbisk {

InfoRequest FindInfoRequest(const std::vector<std::string>& args) {
    const auto has = [&](const char* name) {
        return std::find(args.begin(), args.end(), name) != args.end();
    };
    if (has("--help") || has("-h") || has("-?")) return InfoRequest::kHelp;
    if (has("--version")) return InfoRequest::kVersion;
    if (has("--list")) return has("--json") ? InfoRequest::kListJson : InfoRequest::kList;
    return InfoRequest::kNone;
}

std::string HelpText() {
    return "usage: orbisk [-s [--recover] | --list [--json] | --version | --help]\n"
           "\n"
           "Without arguments orbisk opens the update dialog. With arguments it runs without a\n"
           "window and ends with exit code 0 on success, 1 on failure.\n"
           "\n"
           "  -s, /s         update the connected camera with the firmware the program carries\n"
           "                 (any argument containing \"-s\" or \"/s\", in any case, asks for it;\n"
           "                 \"/silent\" works too). Progress goes to stderr; the result lines,\n"
           "                 Result.txt and burn_result.txt follow config.ini. A camera an\n"
           "                 earlier update left in its boot ROM is brought back with the\n"
           "                 serial number kept in Recovery/ of the program folder.\n"
           "  --recover      with -s: also write a camera found in its boot ROM without a\n"
           "                 recovery record; it gets the image's own serial number\n"
           "  --list         list the cameras found: index, identity, port, firmware version,\n"
           "                 serial number; writes nothing to any camera\n"
           "  --json         with --list: print a JSON array of objects with index, label,\n"
           "                 port, version and serial\n"
           "  --version      print the program's version and the program folder in use\n"
           "  -h, --help     print this text\n"
           "\n"
           "Any other argument changes nothing: Result.txt receives \"fail\".\n"
           "\n"
           "The program folder holds config.ini, Result.txt, DebugLog.txt, Fail/ and Recovery/:\n"
           "the folder named by ORBISK_HOME (it must exist); else the executable's folder when\n"
           "config.ini is beside it\n"
           "or when it is writable and not a bin folder; else (an installed program)\n"
           "$XDG_CONFIG_HOME/orbisk, default ~/.config/orbisk. --version shows which.\n"
           "\n"
           "Environment:\n"
           "  ORBISK_HOME       program folder (config.ini, Result.txt, DebugLog.txt)\n"
           "  XDG_CONFIG_HOME   holds the program folder \"orbisk\" of an installed program\n"
           "  ORBISK_SIM        simulated camera folders (made by orbisk-sim), separated by\n"
           "                    \":\", used instead of USB\n"
           "  ORBISK_SIM_CLOCK  \"virtual\": with ORBISK_SIM, waits and the cameras' timing\n"
           "                    take no real time\n"
           "  ORBISK_TRACE      set: trace lines are echoed to stderr\n";
}

std::string VersionText(const ProgramFolderChoice& folder) {
    const std::string name = folder.folder.empty() ? "none" : folder.folder;
    const std::string& why = folder.error.empty() ? folder.reason : folder.error;
    return std::string("orbisk ") + kFileVersion + "\nprogram folder: " + name + " (" + why + ")\n";
}

}  // namespace orbisk
