#include "sim/sim_flash.h"

#include <algorithm>

namespace orbisk::sim {

SimFlash::SimFlash(std::vector<uint8_t> bytes, uint8_t status, Clock& clock, const Timing& timing,
                   const Faults& faults)
    : bytes_(std::move(bytes)),
      status_(static_cast<uint8_t>(status & ~kBusy)),
      clock_(clock),
      timing_(timing),
      faults_(faults) {}

void SimFlash::Read(uint32_t address, uint32_t length, uint8_t* out) const {
    std::copy_n(bytes_.begin() + address, length, out);
    const uint32_t stuck = faults_.stuck_address;
    if (faults_.stuck_bit && stuck >= address && stuck - address < length) {
        uint8_t& byte = out[stuck - address];
        byte = static_cast<uint8_t>(faults_.stuck_value ? (byte | faults_.stuck_mask)
                                                        : (byte & ~faults_.stuck_mask));
    }
}

bool SimFlash::Busy() const {
    return faults_.busy_stuck || clock_.now_us() < busy_until_us_;
}

uint8_t SimFlash::ReadStatus() const {
    return static_cast<uint8_t>(status_ | (Busy() ? kBusy : 0));
}

void SimFlash::WriteStatus(uint8_t value, bool wp_pin_high) {
    if ((status_ & kStatusWriteDisable) && !wp_pin_high) return;  // hardware-protected
    // WIP and WEL are not writable.
    status_ = static_cast<uint8_t>(value & 0xFC);
    busy_until_us_ = clock_.now_us() + uint64_t{timing_.status_write_ms} * 1000;
}

bool SimFlash::WaitReady() {
    if (faults_.busy_stuck) return false;
    const uint64_t now = clock_.now_us();
    if (now < busy_until_us_) clock_.sleep_us(busy_until_us_ - now);
    return true;
}

void SimFlash::Program(uint32_t address, const uint8_t* data, uint32_t length) {
    if (length == 0) return;
    const uint32_t pages = (address + length - 1) / kPageSize - address / kPageSize + 1;
    clock_.sleep_us(uint64_t{pages} * timing_.page_program_us);
    ++program_count_;
    if (Protected()) return;
    if (faults_.drop_all_writes || program_count_ == faults_.drop_write) return;
    for (uint32_t i = 0; i < length; ++i) bytes_[address + i] &= data[i];
}

void SimFlash::EraseChip() {
    clock_.sleep_us(uint64_t{timing_.chip_erase_ms} * 1000);
    if (Protected()) return;
    std::fill(bytes_.begin(), bytes_.end(), 0xFF);
}

void SimFlash::EraseSector(uint32_t address) {
    clock_.sleep_us(uint64_t{timing_.sector_erase_ms} * 1000);
    if (Protected()) return;
    const uint32_t start = address / kSectorSize * kSectorSize;
    std::fill_n(bytes_.begin() + start, std::min(kSectorSize, size() - start), 0xFF);
}

}  // namespace orbisk::sim
