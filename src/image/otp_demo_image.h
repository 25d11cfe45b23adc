#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/demo_image.h"

namespace orbisk {

// Demo images for the OTP chip (chip model 19, configuration type 0x60): one configuration
// area from offset 0 whose first record after the 0x2F and 0x08 records is the extended 0x27
// record carrying the code, so the image has a code part and a configuration part. The code
// carries the demo version marker at image offset 0x100.
struct OtpDemoLayout {
    static constexpr uint8_t kChipModel = 19;
    static constexpr uint8_t kConfigType = 0x60;
    static constexpr uint8_t kVariant = 2;
    static constexpr uint32_t kCodeRecordOffset = 15;
    static constexpr size_t kDefaultCodeSize = 3000;
    // What still fits the chip profile's 8 KB configuration size with the records around it.
    static constexpr size_t kMaxCodeSize = 7680;
};

// The OTP image with `code_size` bytes of code (at least 0x130, for the marker); empty with
// `error` set when a string or the code does not fit.
std::vector<uint8_t> MakeOtpDemoImage(const DemoImageRecipe& recipe,
                                      size_t code_size = OtpDemoLayout::kDefaultCodeSize,
                                      std::string* error = nullptr);

}  // namespace orbisk
