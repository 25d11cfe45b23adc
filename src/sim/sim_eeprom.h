#pragma once
#include <cstdint>
#include <vector>

#include "base/clock.h"
#include "sim/sim_busy.h"
#include "sim/sim_image.h"
#include "sim/sim_settings.h"

namespace orbisk::sim {

// The memories a controller rewrites byte by byte: an I2C EEPROM (8-bit or 16-bit word
// addresses) and MTP. An image in them is a configuration area from address 0 whose magic byte,
// 0xA5 at address 1, is also the tag the boot ROM looks for.
//
// I2C EEPROM: the controller sends a write as page writes of at most 8 bytes counted from the
// write's address; the part keeps each within its page (8 bytes for 8-bit addressing, 32 for
// 16-bit), wrapping to the page's start as the part does, and then spends its write cycle,
// during which it acknowledges nothing: the controller polls it before its next transfer. With
// the write-protect pin not released the part acknowledges the data and writes nothing. Every
// transfer takes its I2C bus time.
//
// MTP: the controller programs 64-byte rows, each taking its time. In mode 3 (the mode hosts
// write with) it erases the bytes it programs first, so a write replaces them, and a write of
// 0xFF erases; in the other modes it only programs, which clears bits and never sets them.
class SimEeprom {
  public:
    static constexpr uint32_t kBurst = 8;
    static constexpr uint32_t kMtpRow = 64;
    static constexpr uint8_t kTag = 0xA5;
    static constexpr uint32_t kTagAddress = 1;
    static constexpr uint8_t kMtpReplaceMode = 3;

    // What became of an operation: done (or started), ignored as a protected part ignores it,
    // or refused by the controller for a part that never acknowledges again.
    enum class Outcome { kDone, kIgnored, kNeverReady };

    SimEeprom(MemoryKind kind, std::vector<uint8_t> bytes, Clock& clock, const Timing& timing,
              const Faults& faults);

    MemoryKind kind() const { return kind_; }
    uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
    uint32_t page_size() const { return kind_ == MemoryKind::kEeprom8 ? 8 : 32; }
    // The array with every finished operation landed.
    const std::vector<uint8_t>& bytes();
    // Lands all work at once, as if its time had passed: for a camera saved to its folder.
    void FinishWork() { busy_.Finish(); }

    // Reads as the part returns them (a stuck bit shows here).
    Outcome Read(uint32_t address, uint32_t length, uint8_t* out);
    // A write command of the host begins; its bytes follow (the drop faults count these).
    void BeginWrite();
    // Bytes of the current write command, from its address on (the controller writes them as
    // they arrive). `pin_released`: the EEPROM's write-protect pin (MTP has none); `mode`: the
    // MTP write mode.
    Outcome Write(uint32_t address, const uint8_t* data, uint32_t length, bool pin_released,
                  uint8_t mode = kMtpReplaceMode);

  private:
    bool Eeprom() const { return kind_ != MemoryKind::kMtp; }
    // Waits out the write cycle the controller polls through; false for a part that never
    // acknowledges again.
    bool Ready();
    // The I2C bus time of one transfer of `data_bytes` (EEPROM only).
    void ChargeBus(uint32_t data_bytes, bool read);
    Outcome WriteEeprom(uint32_t address, const uint8_t* data, uint32_t length, bool pin_released,
                        bool dropped);
    Outcome WriteMtp(uint32_t address, const uint8_t* data, uint32_t length, uint8_t mode,
                     bool dropped);

    MemoryKind kind_;
    std::vector<uint8_t> bytes_;
    Clock& clock_;
    const Timing& timing_;
    const Faults& faults_;
    SimBusy busy_;
    uint32_t write_count_ = 0;
    bool dropping_ = false;
};

// What the boot ROM finds in such a memory: the configuration area from address 0, tagged when
// address 1 holds 0xA5.
ImageFacts ReadByteMemoryFacts(const std::vector<uint8_t>& memory);

// The boot ROM of an EEPROM or MTP camera: its own memory type's number (2 EEPROM with 8-bit,
// 3 with 16-bit addresses, 4 MTP), 2, and the flash numbers 0 and 1 that hosts send with large
// transfers.
inline bool ByteMemoryUpdateSubModeKnown(MemoryKind kind, uint16_t sub_mode) {
    const uint16_t own = kind == MemoryKind::kEeprom8 ? 2 : kind == MemoryKind::kEeprom16 ? 3 : 4;
    return sub_mode == own || sub_mode <= 2;
}

}  // namespace orbisk::sim
