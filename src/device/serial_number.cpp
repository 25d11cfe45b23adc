#include "device/serial_number.h"

#include <algorithm>

namespace orbisk {

EditResult CarrySerialNumber(std::vector<uint8_t>& image, const ConfigLayout& layout,
                             const std::string& serial, const SerialNumberPlacement& placement,
                             LogScope* log, size_t* new_area_size) {
    std::vector<uint8_t> work = image;
    if (placement.widen_to && placement.config_size > work.size())
        work.resize(placement.config_size, 0xFF);
    std::string text = serial;
    uint8_t type = 1;
    if (placement.serial_descriptor) {
        type = 3;
        if (placement.bell_prefix) text.insert(text.begin(), '\x07');
    }
    size_t size = 0;
    const EditResult result = SetConfigString(work, layout, text, type, log, &size);
    if (result != EditResult::kOk) return result;
    if (placement.widen_to) work.resize(std::min(work.size(), size));
    image = std::move(work);
    if (new_area_size) *new_area_size = size;
    return EditResult::kOk;
}

}  // namespace orbisk
