#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orbisk {

// SHA-256 of a byte string as 64 lowercase hexadecimal digits (FIPS 180-4).
std::string Sha256Hex(std::span<const uint8_t> data);
inline std::string Sha256Hex(const std::vector<uint8_t>& data) {
    return Sha256Hex(std::span<const uint8_t>(data));
}

}  // namespace orbisk
