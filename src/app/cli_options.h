#pragma once
#include <optional>
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

// The IP-camera options. "--ip ADDRESS" (repeatable) names IP cameras besides those of
// config.ini's "IPCamera"; "--ip-upload FILE" uploads FILE to one of them, "--camera N" picks it
// by its --list index. They are looked for before the silent-update test, so an address or a
// file name never reads as "-s" or "/s".
struct IpCameraArgs {
    std::vector<std::string> addresses;
    std::optional<std::string> upload_file;
    std::optional<int> camera;
    // Arguments that are none of these (--list and --json are fine with --ip).
    std::vector<std::string> others;
    std::string error;  // an option without its value, a --camera that is no index

    bool any() const { return !addresses.empty() || upload_file || camera || !error.empty(); }
};
IpCameraArgs FindIpCameraArgs(const std::vector<std::string>& args);

// "--image FILE" of the update: the image file written instead of the image the program
// carries. `path` is made absolute (a recovery record names it for a later run from elsewhere);
// `error` is set for an option without its file or given twice.
inline constexpr const char* kImageOption = "--image";
struct ImageOption {
    std::string path;
    std::string error;
};
ImageOption FindImageOption(const std::vector<std::string>& args);

// Whether an argument asks for the update: any "-s" or "/s" in it, in any case ("-S", "/silent"
// and "-sn" too).
bool AsksForUpdate(const std::string& arg);

// The addresses of config.ini's "IPCamera" value, separated by spaces, commas or semicolons.
std::vector<std::string> SplitAddressList(const std::string& text);

// `orbisk --help`.
std::string HelpText();
// `orbisk --version`: "orbisk 2.63.2026.1210" and the program folder in use with the reason.
std::string VersionText(const ProgramFolderChoice& folder);

}  // namespace orbisk
