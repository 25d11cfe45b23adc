#pragma once
#include <cstdint>

#include "base/status_codes.h"

// The flash flows' download options; their status codes are those of base/status_codes.h.
namespace orbisk::codes {

// Download options.
inline constexpr uint8_t kOptReset = 0x01, kOptProgram = 0x10;

}  // namespace orbisk::codes
