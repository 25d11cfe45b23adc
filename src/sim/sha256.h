#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace orbisk::sim {

// SHA-256 of a byte string as 64 lowercase hexadecimal digits (FIPS 180-4).
std::string Sha256Hex(const std::vector<uint8_t>& data);

}  // namespace orbisk::sim
