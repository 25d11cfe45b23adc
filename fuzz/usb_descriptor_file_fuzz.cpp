// The split of a device's sysfs descriptor file over any bytes: the parts it returns must lie
// inside the input and carry the lengths their headers state.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/linux/sysfs_usb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int active = data[0];
    const std::vector<uint8_t> raw(data + 1, data + size);
    std::vector<uint8_t> device, config;
    if (!orbisk::SplitDescriptorFile(raw, active, &device, &config)) return 0;
    if (device.size() != 18 || !std::equal(device.begin(), device.end(), raw.begin())) std::abort();
    if (config.empty()) return 0;
    if (config.size() < 9 || config[1] != 2 ||
        static_cast<size_t>(config[2] | (config[3] << 8)) != config.size())
        std::abort();
    if (std::search(raw.begin() + 18, raw.end(), config.begin(), config.end()) == raw.end())
        std::abort();
    return 0;
}
