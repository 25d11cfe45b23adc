#pragma once
#include <cstdint>
#include <vector>

#include "base/clock.h"
#include "sim/sim_settings.h"

namespace orbisk::sim {

// Serial or NOR flash as the parts behave: programming can only clear bits, erasing sets
// 0xFF, a busy bit while the part works, and block-protection bits (with the status-register
// write-disable bit and the write-protect pin) under which program and erase are silently
// ignored.
class SimFlash {
  public:
    static constexpr uint8_t kBusy = 0x01;
    static constexpr uint8_t kProtectBits = 0x1C;  // BP0..BP2
    static constexpr uint8_t kStatusWriteDisable = 0x80;
    static constexpr uint32_t kSectorSize = 0x1000;
    static constexpr uint32_t kPageSize = 0x100;

    SimFlash(std::vector<uint8_t> bytes, uint8_t status, Clock& clock, const Timing& timing,
             const Faults& faults);

    uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    // Reads as the part returns them (a stuck bit shows here).
    void Read(uint32_t address, uint32_t length, uint8_t* out) const;

    uint8_t ReadStatus() const;
    // The non-volatile part of the status register, for persistence.
    uint8_t StoredStatus() const { return status_; }
    // Starts a status write; ignored when the write-disable bit is set and the pin is low.
    void WriteStatus(uint8_t value, bool wp_pin_high);
    bool Protected() const { return (status_ & kProtectBits) != 0; }

    // The controller waits for the part before each program or erase; false when the part
    // never becomes ready. Returns the time waited through the clock.
    bool WaitReady();
    // Program, erase: ignored while protected; each costs its time on the clock.
    void Program(uint32_t address, const uint8_t* data, uint32_t length);
    void EraseChip();
    void EraseSector(uint32_t address);

  private:
    bool Busy() const;

    std::vector<uint8_t> bytes_;
    uint8_t status_;
    Clock& clock_;
    const Timing& timing_;
    const Faults& faults_;
    uint64_t busy_until_us_ = 0;
    uint32_t program_count_ = 0;
};

}  // namespace orbisk::sim
