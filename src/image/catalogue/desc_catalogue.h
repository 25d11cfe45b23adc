#pragma once
// Which class reads which record: the types every chip model knows, then the chip-specific
// types by chip model index; anything else (and every type of chip models 26..31) is carried
// as CDescDummy. CreateDescriptor (image/descriptor.h) is answered from these tables.
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "image/catalogue/desc_class_info.h"
#include "image/descriptor.h"

namespace orbisk {

struct CatalogueEntry {
    uint8_t type;
    const DescClassInfo* info;
    std::unique_ptr<CDescriptor> (*make)();
};

// Chip model indices with a table of their own; 26..31 read every type as CDescDummy.
inline constexpr uint8_t kCatalogueChipModels = 26;

std::span<const CatalogueEntry> CommonCatalogue();
// Empty for chip models without chip-specific types and for 26..31.
std::span<const CatalogueEntry> ChipCatalogue(uint8_t chip_model);
// The entry that reads `type` on `chip_model`, or null (CDescDummy).
const CatalogueEntry* FindCatalogueEntry(uint8_t chip_model, uint8_t type);
// Every class the tables name, each once.
std::span<const DescClassInfo* const> AllDescClasses();

// Records of this type on this chip model may use the extended form (length field 1023,
// bytes 2..3 the record length): the 0x27 and 0x1A records, and the few variable classes whose
// records may grow above 1022 bytes.
bool UsesExtendedForm(uint8_t chip_model, uint8_t type);
// Type 0x1F is the CRC record only where the chip model has one (0 and 5); chip model 17 uses
// the type for an audio codec setting, which a rebuild keeps.
bool IsCrcRecord(uint8_t chip_model, uint8_t type);

// The class name of a descriptor object ("CDescSysConfig", "CDescDummy", ...).
std::string_view DescriptorClassName(const CDescriptor& d);

}  // namespace orbisk
