// The configuration-descriptor walkers over any bytes: every descriptor handed out lies inside
// the input and is at least 2 bytes long; the finders return a unit id or -1.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "camera/config_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orbisk;
    const std::span<const uint8_t> config(data, size);
    DescriptorWalker walker(config);
    size_t walked = 0;
    for (auto d = walker.Next(); !d.empty(); d = walker.Next()) {
        if (d.size() < 2 || d.data() < data || d.data() + d.size() > data + size) std::abort();
        walked += d.size();
        if (walked > size) std::abort();
    }
    for (uint8_t iface = 0; iface < 4; ++iface) {
        bool second = false;
        const int unit = FindVideoExtensionUnit(config, iface, &second);
        if (unit < -1 || unit > 255) std::abort();
        ListVideoExtensionUnits(config, iface);
    }
    const int audio = FindAudioExtensionUnit(config);
    if (audio < -1 || audio > 255) std::abort();
    HasBulkEndpoint(config);
    ListInterfaces(config);
    return 0;
}
