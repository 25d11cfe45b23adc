#pragma once

namespace orbisk {

// The program's file version, from the project version of the build.
inline constexpr const char* kFileVersion = ORBISK_VERSION;

}  // namespace orbisk
