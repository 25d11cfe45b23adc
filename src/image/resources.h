#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace orbisk {

// Program resources embedded at build time: chip profiles (kind "ICINI") and firmware images
// (kind "BINARY"), each under its number.
struct EmbeddedResource {
    const char* kind;
    int id;
    const uint8_t* data;
    size_t size;
};

inline constexpr std::string_view kResourceIcIni = "ICINI";
inline constexpr std::string_view kResourceBinary = "BINARY";

// The resource's bytes, or an empty span when the program carries none of that kind and id.
std::span<const uint8_t> FindResource(std::string_view kind, int id);
std::span<const EmbeddedResource> AllResources();

}  // namespace orbisk
