#include "image/catalogue/desc_catalogue.h"
#include "image/descriptor.h"

namespace orbisk {

// The common types first, then the chip-specific ones; a type the chip does not know (and any
// type of chip models 26..31) is carried as CDescDummy.
std::unique_ptr<CDescriptor> CreateDescriptor(uint8_t chip_model, uint8_t type) {
    const CatalogueEntry* e = FindCatalogueEntry(chip_model, type);
    if (e == nullptr) return std::make_unique<CDescDummy>();
    auto d = e->make();
    d->type = e->type;  // the type the class is listed under on this chip
    return d;
}

}  // namespace orbisk
