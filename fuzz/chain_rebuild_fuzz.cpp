// The rebuild (and the string edit) of an image whose configuration area is the input: an edit
// either leaves the image untouched or writes an area that reads back whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

#include "image/catalogue/desc_catalogue.h"
#include "image/config_chain.h"
#include "image/config_edit.h"

namespace {

using orbisk::ConfigLayout;

// After a successful edit: the area walks to its end with the header's count, and nothing
// outside the area and the tag changed.
void CheckEdited(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after,
                 const ConfigLayout& layout) {
    using namespace orbisk;
    if (before.size() != after.size()) std::abort();
    for (size_t i = layout.address + layout.size; i < after.size(); ++i)
        if (before[i] != after[i]) std::abort();
    for (size_t i = 0; i < layout.address; ++i)
        if (before[i] != after[i] && i != layout.tag && i != layout.tag + 1u) std::abort();
    CConfigReader reader;
    reader.Load(std::span(after).subspan(layout.address, layout.size));
    if (!reader.ReadHeader().valid()) std::abort();
    if (!reader.Walk([](std::unique_ptr<CDescriptor>) {})) std::abort();
}

void Run(std::span<const uint8_t> area, const ConfigLayout& layout, uint8_t choice) {
    using namespace orbisk;
    std::vector<uint8_t> image(layout.address + layout.size + 4, 0x5A);
    std::copy(area.begin(), area.begin() + std::min<size_t>(area.size(), layout.size),
              image.begin() + layout.address);
    const std::vector<uint8_t> before = image;
    EditResult r;
    if (choice & 0x80) {
        static constexpr std::string_view kText =
            "SN-0123456789-ABCDEFGHIJKLMNOPQRSTUVWXYZ-abcdefg";
        r = SetConfigString(image, layout, kText.substr(0, choice & 0x3F), (choice & 0x40) ? 3 : 1);
    } else {
        r = RebuildWithoutType(image, layout, choice & 0x3F);
    }
    if (r == EditResult::kOk)
        CheckEdited(before, image, layout);
    else if (image != before)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t choice = data[0];
    const std::span<const uint8_t> area(data + 1, size - 1);
    // A configuration-only image, and one with code before the area and the tag inside it.
    Run(area, ConfigLayout{0, static_cast<uint32_t>(std::max<size_t>(area.size(), 16)), 0}, choice);
    Run(area, ConfigLayout{0x40, 0x2000, 0x3E}, choice);
    return 0;
}
