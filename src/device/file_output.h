#pragma once
#include <cstdint>
#include <ctime>
#include <span>
#include <string>

namespace orbisk {

// Writes the bytes to the file (created or truncated). False when the file cannot be written.
bool WriteBinaryFile(const std::string& path, std::span<const uint8_t> data);

// Each byte as two upper-case hexadecimal digits and a space, 16 bytes per line, lines joined by
// CR LF, no line break after the last line.
std::string HexText(std::span<const uint8_t> data);

// Keeps a read-back that failed its check as Fail/Fail_YYYY_MM_DD__hh_mm_ss.rfw below the
// program folder. A second failure within the same second gets "_1", "_2", ... before the
// extension instead of overwriting the first. Returns the path written, "" when the folder is a
// file or cannot be created or the file cannot be written.
std::string SaveFailedReadBack(const std::string& program_folder, std::span<const uint8_t> data,
                               std::time_t when);

}  // namespace orbisk
