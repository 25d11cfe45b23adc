#include "device/file_output.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace orbisk {

bool WriteBinaryFile(const std::string& path, std::span<const uint8_t> data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out.flush());
}

std::string HexText(std::span<const uint8_t> data) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(data.size() * 3 + data.size() / 8);
    for (size_t i = 0; i < data.size(); ++i) {
        if (i != 0 && i % 16 == 0) text += "\r\n";
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
        text += ' ';
    }
    return text;
}

std::string SaveFailedReadBack(const std::string& program_folder, std::span<const uint8_t> data,
                               std::time_t when) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder = fs::path(program_folder) / "Fail";
    if (fs::exists(folder, ec)) {
        if (!fs::is_directory(folder, ec)) return {};
    } else if (!fs::create_directory(folder, ec)) {
        return {};
    }
    std::tm local{};
    localtime_r(&when, &local);
    char stem[64];
    std::snprintf(stem, sizeof stem, "Fail_%04d_%02d_%02d__%02d_%02d_%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    fs::path path = folder / (std::string(stem) + ".rfw");
    for (int n = 1; fs::exists(path, ec) && n < 1000; ++n)
        path = folder / (std::string(stem) + "_" + std::to_string(n) + ".rfw");
    if (fs::exists(path, ec)) return {};
    return WriteBinaryFile(path.string(), data) ? path.string() : std::string{};
}

}  // namespace orbisk
