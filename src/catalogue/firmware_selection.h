#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orbisk {

class LogScope;
struct Process;

inline constexpr const char* kVidPidListFile = "VidPidList.ini";

// Shows a message to the operator (the dialog's message box); may be empty.
using NoticeFn = std::function<void(const std::string&)>;

// "VID_%04X&PID_%04X" and "VID_%04X&PID_%04X&REV_%04X" with upper-case digits.
std::string VidPidText(uint16_t vid, uint16_t pid);
std::string IdentityLabel(uint16_t vid, uint16_t pid, uint16_t rev);

// The lines of VidPidList.ini in the program folder: upper case, trimmed, empty lines left
// out. False when the file is missing or cannot be read; *missing tells which.
bool ReadVidPidList(const Process& process, std::vector<std::string>* lines, bool* missing);

// Exact check: 1 when a line equals the camera's VID/PID text. A missing or unreadable file is
// logged in `scope` and matches nothing.
int CheckVidPidListExact(const Process& process, LogScope& scope, const std::string& vid_pid);
// Without revision: each line is cut before its "&REV" part and matches when the camera's
// VID/PID text contains it. A missing or unreadable file is shown through `notice`.
int CheckVidPidListWithoutRev(const Process& process, const NoticeFn& notice,
                              const std::string& vid_pid);
// With revision: a line that names a revision matches when the camera's label contains it.
int CheckVidPidListWithRev(const Process& process, const NoticeFn& notice,
                           const std::string& label);

// Image VID/PID check: 1 when the camera is one the program's own front image is meant for;
// the label is then copied into *matched.
int CheckImageVidPid(const std::string& vid_pid, const std::string& label, std::string* matched);

}  // namespace orbisk
