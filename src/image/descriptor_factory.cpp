#include "image/descriptor.h"

namespace orbisk {

// Classes every chip knows; the per-chip catalogue extends this table.
std::unique_ptr<CDescriptor> CreateDescriptor(uint8_t /*chip_model*/, uint8_t type) {
    switch (type) {
        case CDescStringManu::kType:
            return std::make_unique<CDescStringManu>();
        case CDescStringProd::kType:
            return std::make_unique<CDescStringProd>();
        case CDescStringSN::kType:
            return std::make_unique<CDescStringSN>();
        case CDescStringUBistName::kType:
            return std::make_unique<CDescStringUBistName>();
        case CDescStringIAD::kType:
            return std::make_unique<CDescStringIAD>();
        case CDescStringIRIAD::kType:
            return std::make_unique<CDescStringIRIAD>();
        case CDescVIDPID::kType:
            return std::make_unique<CDescVIDPID>();
        case CDescCodeInfo::kType:
            return std::make_unique<CDescCodeInfo>();
        case CDescCRC::kType:
            return std::make_unique<CDescCRC>();
        case CDescHWAPVersion::kType:
            return std::make_unique<CDescHWAPVersion>();
        case CDescEEPInfo::kType:
            return std::make_unique<CDescEEPInfo>();
        default:
            return std::make_unique<CDescDummy>();
    }
}

}  // namespace orbisk
