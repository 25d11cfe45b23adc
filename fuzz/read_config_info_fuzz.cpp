// ReadConfigInfo and ParseFwImage over any image, with the configuration area at offset 0 or
// behind a code region, for flash and OTP projects.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "image/firmware_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orbisk;
    if (size < 1) return 0;
    const uint8_t choice = data[0];
    const std::span<const uint8_t> image(data + 1, size - 1);
    static constexpr ConfigLayout kLayouts[] = {
        {0, 0x2000, 0}, {0x40, 0x200, 0x3E}, {0x100, 0x1000, 0x2000}, {0x4000, 0x1000, 0xFFE}};
    ImageEnv env;
    env.layout = kLayouts[choice & 3];
    env.ic_name = (choice & 4) ? "AKD7805" : "ORV6363";
    int32_t project_type = (choice & 8) ? 6 : 0;
    env.project_type = &project_type;
    env.bus_type = 0;

    ImageRecord rec;
    const ConfigInfoResult r = ReadConfigInfoEx(image, rec, env);
    if (r == ConfigInfoResult::kNotRead && !rec.vid_pid_text.empty()) std::abort();
    if (rec.vid_pid_text.size() > 32 || rec.rev_text.size() > 8) std::abort();

    ImageRecord parsed;
    const uint32_t found = ParseFwImage(image, parsed, env);
    if (found != 0 ? parsed.chip_model > 31 : parsed.chip_model != kNoChipModel) std::abort();
    return 0;
}
