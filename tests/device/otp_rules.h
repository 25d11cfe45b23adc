#pragma once
// An independent reading of an OTP memory image (otp.bin) and the rules every state of it must
// keep. Written from the memory map alone, without the tool's table code, so that a fault in
// that code cannot hide here.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orbisk::test::otp_rules {

struct Entry {
    int index;
    uint32_t start, length;
    uint8_t flag;
    bool patched;  // an active ECC record lies on one of its bytes
};

struct Layout {
    std::vector<Entry> entries;  // every entry that is not free
    // The newest valid block of each kind, read through the active ECC records.
    std::optional<std::vector<uint8_t>> code, config;
    int code_entry = -1, config_entry = -1;
    int valid_code_blocks = 0, valid_config_blocks = 0;
    uint32_t end = 0;  // the furthest end any entry names inside the data area
};

Layout Read(const std::vector<uint8_t>& otp);

// The image the newest blocks make: code block, then the configuration block without its
// 15-byte header, header fixed up. Empty without a code block.
std::vector<uint8_t> Joined(const Layout& layout);

// What a run must leave, as far as the memory tells.
struct Expect {
    // The update ended cleanly (done, or failed and cleaned up): no byte of the data area it
    // programmed lies outside the blocks the entries name.
    bool clean = true;
    // The update of `image` succeeded: one valid block of each kind, joined into exactly the
    // image. Otherwise the newest block of each kind is the one before or a part of `image`, and
    // a code block the camera had is never lost.
    bool committed = false;
    std::vector<uint8_t> image;
};

// Every broken rule, in words; empty when the memory keeps them all.
std::vector<std::string> Check(const std::vector<uint8_t>& before,
                               const std::vector<uint8_t>& after, const Expect& expect);

}  // namespace orbisk::test::otp_rules
