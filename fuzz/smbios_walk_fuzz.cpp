// The SMBIOS walk over any bytes: every structure, every string of it, the base-board decode,
// the entry point, and the product copied into a small output.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "platform/sysinfo.h"
#include "platform/sysinfo_fixed.h"
#include "platform/sysinfo_smbios.h"

namespace {

bool Inside(std::span<const uint8_t> part, std::span<const uint8_t> whole) {
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orbisk;
    const std::span<const uint8_t> table(data, size);

    size_t characters = 0;
    SmbiosWalker walker(table);
    while (auto s = walker.Next()) {
        if (s->formatted.size() < 4 || !Inside(s->formatted, table) || !Inside(s->strings, table))
            std::abort();
        for (unsigned k = 1; k <= 255; ++k) {
            const auto text = s->String(static_cast<uint8_t>(k));
            if (!text) break;
            characters += text->size();
        }
    }
    if (characters > size) std::abort();

    const auto board = FindBaseBoard(table);
    if (board && board->contained_handles.size() > board->contained_handle_count) std::abort();

    uint8_t major = 0;
    uint8_t minor = 0;
    ParseSmbiosEntryPoint(table, &major, &minor);

    auto backend = std::make_unique<FixedSystemInfoBackend>();
    backend->table.data.assign(data, data + size);
    CSystemInfo info(std::move(backend));
    char text[8];
    uint32_t length = 0;
    if (info.GetBaseBoardProduct(&length, text, sizeof text) != 1 || length >= sizeof text)
        std::abort();
    return 0;
}
