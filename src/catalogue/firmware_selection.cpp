#include "catalogue/firmware_selection.h"

#include <cctype>
#include <cstdio>

#include "base/file_io.h"
#include "base/logger.h"
#include "base/process.h"

namespace orbisk {
namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The line without its revision part: cut before the character that precedes "REV". A line
// that is only a revision (or starts with one) leaves nothing and so matches nothing.
std::string WithoutRevision(const std::string& line) {
    const size_t rev = line.find("REV");
    if (rev == std::string::npos) return line;
    if (rev == 0) return {};
    return line.substr(0, rev - 1);
}

std::string Format(const char* format, const std::string& path) {
    char text[1200];
    std::snprintf(text, sizeof text, format, path.c_str());
    return text;
}

// Shared front of the two lenient checks: the lines, or a notice about the file.
bool LinesOrNotice(const Process& process, const NoticeFn& notice,
                   std::vector<std::string>* lines) {
    bool missing = false;
    if (ReadVidPidList(process, lines, &missing)) return true;
    const std::string path = process.ProgramFile(kVidPidListFile);
    if (notice) notice(Format(missing ? "%s does not exist" : "Fail to open file %s", path));
    return false;
}

}  // namespace

std::string VidPidText(uint16_t vid, uint16_t pid) {
    char text[32];
    std::snprintf(text, sizeof text, "VID_%04X&PID_%04X", vid, pid);
    return text;
}

std::string IdentityLabel(uint16_t vid, uint16_t pid, uint16_t rev) {
    char text[40];
    std::snprintf(text, sizeof text, "VID_%04X&PID_%04X&REV_%04X", vid, pid, rev);
    return text;
}

bool ReadVidPidList(const Process& process, std::vector<std::string>* lines, bool* missing) {
    lines->clear();
    const std::string path = process.ProgramFile(kVidPidListFile);
    std::string text, error;
    const FileRead read = ReadWholeFile(path, &text, &error);
    *missing = read == FileRead::kMissing;
    if (read != FileRead::kOk) return false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = Upper(Trim(text.substr(pos, end - pos)));
        pos = end + 1;
        if (!line.empty()) lines->push_back(line);
    }
    return true;
}

int CheckVidPidListExact(const Process& process, LogScope& scope, const std::string& vid_pid) {
    std::vector<std::string> lines;
    bool missing = false;
    if (!ReadVidPidList(process, &lines, &missing)) {
        const std::string path = process.ProgramFile(kVidPidListFile);
        scope.Text(missing ? "%s does not exist\n" : "Fail to open file %s\n", path.c_str());
        return 0;
    }
    for (const std::string& line : lines)
        if (line == vid_pid) return 1;
    return 0;
}

int CheckVidPidListWithoutRev(const Process& process, const NoticeFn& notice,
                              const std::string& vid_pid) {
    std::vector<std::string> lines;
    if (!LinesOrNotice(process, notice, &lines)) return 0;
    const std::string camera = Upper(vid_pid);
    for (const std::string& line : lines) {
        const std::string cut = WithoutRevision(line);
        if (!cut.empty() && camera.find(cut) != std::string::npos) return 1;
    }
    return 0;
}

int CheckVidPidListWithRev(const Process& process, const NoticeFn& notice,
                           const std::string& label) {
    std::vector<std::string> lines;
    if (!LinesOrNotice(process, notice, &lines)) return 0;
    const std::string camera = Upper(label);
    for (const std::string& line : lines) {
        // A line without a revision, or with nothing in front of it, names no camera.
        if (line.find("REV") == std::string::npos || WithoutRevision(line).empty()) continue;
        if (camera.find(line) != std::string::npos) return 1;
    }
    return 0;
}

int CheckImageVidPid(const std::string& vid_pid, const std::string& label, std::string* matched) {
    // The identities the program's own front image is meant for.
    const std::string text = Upper(vid_pid);
    if (text != "VID_4B3D&PID_113F" && text != "VID_2C7E&PID_6363") return 0;
    if (matched) *matched = label;
    return 1;
}

}  // namespace orbisk
