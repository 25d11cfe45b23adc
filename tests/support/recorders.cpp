#include "support/recorders.h"

namespace orbisk::test {

std::vector<uint32_t> RecordingStatusSink::codes(uint32_t kind) const {
    std::vector<uint32_t> out;
    for (const auto& r : reports())
        if (r.kind == kind) out.push_back(r.code);
    return out;
}

bool RecordingLogSink::Contains(std::string_view text) const {
    for (const auto& line : lines())
        if (line.find(text) != std::string::npos) return true;
    return false;
}

std::string RecordingLogSink::Joined() const {
    std::string out;
    for (const auto& line : lines()) out += line;
    return out;
}

}  // namespace orbisk::test
