#pragma once
#include <cstddef>
#include <cstdint>

namespace orbisk::sim {

// Bus time of one transfer to a device with 16-bit register addresses, nine clocks a byte:
// a write sends the address byte, two register bytes and the data between start and stop; a
// read sends the address and register bytes, a repeated start, the address byte again and
// then clocks in the data.
inline uint64_t I2cWriteNs(size_t data_bytes, uint32_t khz) {
    return ((3 + uint64_t{data_bytes}) * 9 + 2) * 1000000 / khz;
}
inline uint64_t I2cReadNs(size_t data_bytes, uint32_t khz) {
    return ((4 + uint64_t{data_bytes}) * 9 + 3) * 1000000 / khz;
}
inline uint64_t NsToUs(uint64_t ns) {
    return (ns + 999) / 1000;
}

}  // namespace orbisk::sim
