#pragma once
#include <cstdint>
#include <vector>

#include "base/clock.h"
#include "sim/sim_busy.h"
#include "sim/sim_settings.h"

namespace orbisk::sim {

// Serial or NOR flash as the parts behave: programming can only clear bits, erasing sets
// 0xFF, and block-protection bits (with the status-register write-disable bit and the
// write-protect pin) under which program and erase are silently ignored.
//
// Page programs, erases and status writes take their time on the camera's clock (SimBusy).
// The controller sequences the pages of its own writes. A serial flash's erase and status
// write are left running: the host polls the busy bit, and a program, erase or status write
// that reaches the part meanwhile is ignored. NOR flash has no status register the host could
// poll, so its controller waits out every operation itself.
class SimFlash {
  public:
    static constexpr uint8_t kBusy = 0x01;
    static constexpr uint8_t kProtectBits = 0x1C;  // BP0..BP2
    static constexpr uint8_t kStatusWriteDisable = 0x80;
    static constexpr uint32_t kSectorSize = 0x1000;
    static constexpr uint32_t kPageSize = 0x100;

    // What became of an operation: started (or done), ignored by the part as a busy or
    // protected part ignores it, or refused by the controller for a part that never gets ready.
    enum class Outcome { kStarted, kIgnored, kNeverReady };

    // `status_register`: a serial flash, whose status register the host reads and writes; a
    // NOR flash has none (and so no protection bits).
    SimFlash(std::vector<uint8_t> bytes, uint8_t status, bool status_register, Clock& clock,
             const Timing& timing, const Faults& faults);

    uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
    // The array with every finished operation landed.
    const std::vector<uint8_t>& bytes();
    // Reads as the part returns them (a stuck bit shows here), after the controller's own
    // page programs are done.
    void Read(uint32_t address, uint32_t length, uint8_t* out);

    uint8_t ReadStatus();
    // The non-volatile part of the status register, for persistence.
    uint8_t StoredStatus();
    bool Protected() const { return (status_ & kProtectBits) != 0; }

    // Lands all work at once, as if its time had passed: for a camera saved to its folder.
    void FinishWork() { busy_.Finish(); }
    // A program command of the host begins; its pages follow (the drop faults count these).
    void BeginWrite();
    // One page program: the bytes lie within one page.
    Outcome ProgramPage(uint32_t address, const uint8_t* data, uint32_t length);
    Outcome EraseChip();
    Outcome EraseSector(uint32_t address);
    // Ignored when the write-disable bit is set and the pin is low.
    Outcome WriteStatus(uint8_t value, bool wp_pin_high);

  private:
    // Whether new work may start: the controller's own work is waited out first.
    Outcome Admit(bool array_work);
    void Start(uint64_t duration_us, SimBusy::Waiter waiter, std::function<void()> done);

    std::vector<uint8_t> bytes_;
    uint8_t status_;
    bool status_register_;
    const Timing& timing_;
    const Faults& faults_;
    SimBusy busy_;
    uint32_t program_count_ = 0;
    bool dropping_ = false;
};

}  // namespace orbisk::sim
