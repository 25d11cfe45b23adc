#pragma once
#include <string>
#include <vector>

#include "app/camera_list.h"
#include "app/cli_options.h"

namespace orbisk {

struct Process;
class CamLib;
class ConsoleProgress;

// The config.ini key that names IP cameras ("rtsp://host:port/path", several separated by
// spaces, commas or semicolons).
inline constexpr const char* kIpCameraKey = "IPCamera";

// The IP cameras the command line works with: those of config.ini, then those of --ip.
std::vector<std::string> IpCameraAddresses(const Process& process, const IpCameraArgs& args);

// The IP cameras of `camlib` as --list shows them, their enumeration indices from `first` on.
// One that does not answer is left out, with a line on stderr.
std::vector<CameraListing> ListIpCameras(CamLib& camlib, int first);

// `orbisk --ip-upload FILE`: uploads the file to the chosen IP camera with progress reports;
// 1 on success, else 0 with the status code and a line on stderr saying why (after closing
// `progress`, which may be null).
int RunIpUpload(Process& process, CamLib& camlib, const IpCameraArgs& args,
                ConsoleProgress* progress);

}  // namespace orbisk
