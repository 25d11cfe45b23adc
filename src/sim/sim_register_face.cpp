// The register face of the controller that a network camera offers besides its USB face.
#include "sim/sim_camera.h"

namespace orbisk::sim {

uint8_t SimCamera::ReadRegisters(uint32_t address, uint32_t length, uint8_t* out) {
    std::lock_guard lock(mutex_);
    return ReadSpace(Space::kXdata, address, length, out);
}

uint8_t SimCamera::WriteRegisters(uint32_t address, const uint8_t* data, uint32_t length) {
    std::lock_guard lock(mutex_);
    return WriteSpace(Space::kXdata, address, data, length);
}

}  // namespace orbisk::sim
