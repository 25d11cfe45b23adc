#pragma once
// An OTP image is written as up to two blocks: the code (the chain's extended 0x27 record, with
// a 15-byte header of its own) and the configuration (the other records, with theirs). Reading
// joins them back into the image.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orbisk::otp {

// Header, 0x2F record and 0x08 record: the start of every chain and of every part.
inline constexpr size_t kPartHeaderSize = 15;

struct ImageParts {
    std::optional<std::vector<uint8_t>> code;    // part 0
    std::optional<std::vector<uint8_t>> config;  // part 1
};

// Splits an image whose configuration area starts at offset 0. nullopt with `error` when the
// chain cannot be split: no valid header, a chain longer than the image, a code record that
// does not follow the 0x2F and 0x08 records, or parts that would not fit one block.
std::optional<ImageParts> SplitImage(std::span<const uint8_t> image, std::string* error = nullptr);

// The image as the parts read back give it: both parts joined (the configuration part without
// its header, the header fixed up), or the one part as read. Empty when there is none.
std::vector<uint8_t> CombineParts(const std::optional<std::vector<uint8_t>>& code,
                                  const std::optional<std::vector<uint8_t>>& config);

}  // namespace orbisk::otp
