#pragma once
#include <string>
#include <vector>

#include "app/camera_worker.h"

namespace orbisk {

struct Process;
class CSystemInfo;
class UsbBus;

// "--all" of `orbisk -s --all`: every camera on the bus updated at once.
inline constexpr const char* kAllOption = "--all";
bool HasAllOption(const std::vector<std::string>& args);

// Why these arguments and settings cannot update every camera at once; empty when they can.
std::string AllCamerasError(const std::vector<std::string>& args, const Process& process);

// Updates every imaging camera on `bus`, one device object each, and waits for all of them; the
// summaries come in port order. No camera on the bus: none. On a clock that passes by itself
// each camera has a thread of its own; on a virtual clock they take turns.
std::vector<CameraSummary> UpdateAllCameras(const Process& process, UsbBus& bus,
                                            CSystemInfo* system_info,
                                            const std::vector<std::string>& args);

// The run's own records from the outcomes of all cameras: Result.txt passes only when every
// camera passed, one burn row per camera, the autostart entry goes when all passed, the
// table on stdout. The status code becomes the first failed camera's code (0 when all passed).
void FinishAllCameras(Process& process, const std::vector<CameraSummary>& cameras);

// The table printed at the end: a header line, then one line per camera with its port, its
// identity, its serial number, its result code and the code's text.
std::string FormatSummaryTable(const std::vector<CameraSummary>& cameras);

}  // namespace orbisk
