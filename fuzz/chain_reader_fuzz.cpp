// The configuration-area reader over any bytes: header, every record through the catalogue's
// classes (the chip model comes from the header), each object built back on its own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "image/catalogue/desc_catalogue.h"
#include "image/config_chain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orbisk;
    const std::span<const uint8_t> area(data, size);
    CConfigReader reader;
    reader.Load(area);
    reader.ReadHeader();
    if (reader.copied() >= CDescGlobal::kSize && reader.position() > reader.copied()) std::abort();

    std::vector<uint8_t> out(0x20000);
    size_t read_bytes = 0;
    reader.Walk([&](std::unique_ptr<CDescriptor> d) {
        if (DescriptorClassName(*d).empty()) std::abort();
        const size_t wire = d->WireLength();
        read_bytes += wire;
        if (wire < 2 || read_bytes > size) std::abort();
        // What a rebuild would write for it: never more than the record's own class allows.
        if (d->Build(out) == 1) {
            const size_t built = d->WireLength();
            if (built < 2 || built > out.size()) std::abort();
            // The record written must announce the length it was given.
            RecordHeader h;
            if (!ReadRecordHeader(std::span<const uint8_t>(out).first(built), h)) std::abort();
            if (h.length_field != 1023 && h.total_length != built) std::abort();
        }
    });
    return 0;
}
