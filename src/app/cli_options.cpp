#include "app/cli_options.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

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

IpCameraArgs FindIpCameraArgs(const std::vector<std::string>& args) {
    IpCameraArgs out;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takes_value = arg == "--ip" || arg == "--ip-upload" || arg == "--camera";
        if (!takes_value) {
            out.others.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size()) {
            out.error = arg + " needs a value";
            // Still an upload, so it ends with the upload's verdict.
            if (arg == "--ip-upload") out.upload_file = "";
            continue;
        }
        const std::string& value = args[++i];
        if (arg == "--ip") {
            out.addresses.push_back(value);
        } else if (arg == "--ip-upload") {
            out.upload_file = value;
        } else {
            char* end = nullptr;
            const long index = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || index < 0 || index > 255)
                out.error =
                    "--camera takes a camera index from orbisk --list, not \"" + value + "\"";
            else
                out.camera = static_cast<int>(index);
        }
    }
    return out;
}

ImageOption FindImageOption(const std::vector<std::string>& args) {
    ImageOption out;
    bool seen = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != kImageOption) continue;
        if (seen) {
            out.error = "--image is given twice; name one image file";
            return out;
        }
        seen = true;
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            out.error = "--image needs the image file's name";
            return out;
        }
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(args[++i], ec);
        out.path = ec ? args[i] : absolute.lexically_normal().string();
    }
    return out;
}

std::vector<std::string> SplitAddressList(const std::string& text) {
    std::vector<std::string> out;
    std::string current;
    for (const char c : text + " ") {
        if (c == ' ' || c == '\t' || c == ',' || c == ';') {
            if (!current.empty()) out.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    return out;
}

bool AsksForUpdate(const std::string& arg) {
    std::string lower = arg;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return lower.find("/s") != std::string::npos || lower.find("-s") != std::string::npos;
}

std::string HelpText() {
    return "usage: orbisk [-s [--image FILE] [--recover | --all] |\n"
           "               --list [--json] [--ip ADDRESS]... |\n"
           "               --ip-upload FILE [--ip ADDRESS]... [--camera N] | --version | --help]\n"
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
           "  --image FILE   with -s: write the image file FILE instead of the program's own\n"
           "                 image; it must be a regular file no longer than the largest\n"
           "                 memory of any chip profile, for the camera's chip and with the\n"
           "                 camera's VID and PID (a camera in its boot ROM: the identity its\n"
           "                 recovery record names)\n"
           "  --recover      with -s: also write a camera found in its boot ROM without a\n"
           "                 recovery record; it gets the image's own serial number\n"
           "  --all          with -s: update every camera attached, all at once; one progress\n"
           "                 line per change with the camera's port, a burn row per camera,\n"
           "                 Result.txt passes only when all passed, a table at the end\n"
           "  --list         list the cameras found: index, identity, port, firmware version,\n"
           "                 serial number; writes nothing to any camera\n"
           "  --json         with --list: print a JSON array of objects with index, label,\n"
           "                 port, version and serial\n"
           "  --ip ADDRESS   an IP camera (\"rtsp://host:port/path\"; orbisk talks to port 6666\n"
           "                 of the host) besides those of IPCamera in config.ini; IP cameras\n"
           "                 follow the USB cameras in --list\n"
           "  --ip-upload FILE\n"
           "                 upload FILE to the IP camera (the only one, or --camera N, N its\n"
           "                 --list index); progress on stderr, \"Upload fw pass!\" or\n"
           "                 \"Upload fw fail!\" on stdout\n"
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
