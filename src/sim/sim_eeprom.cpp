#include "sim/sim_eeprom.h"

#include <algorithm>

namespace orbisk::sim {

ImageFacts ReadByteMemoryFacts(const std::vector<uint8_t>& memory) {
    ImageFacts facts = ReadImageFacts(memory, 0, 0);
    facts.tagged =
        memory.size() > SimEeprom::kTagAddress && memory[SimEeprom::kTagAddress] == SimEeprom::kTag;
    return facts;
}

SimEeprom::SimEeprom(MemoryKind kind, std::vector<uint8_t> bytes, Clock& clock,
                     const Timing& timing, const Faults& faults)
    : kind_(kind),
      bytes_(std::move(bytes)),
      clock_(clock),
      timing_(timing),
      faults_(faults),
      busy_(clock, faults.busy_stuck) {}

const std::vector<uint8_t>& SimEeprom::bytes() {
    busy_.Settle();
    return bytes_;
}

bool SimEeprom::Ready() {
    return busy_.WaitForControllerWork() == SimBusy::Ready::kReady;
}

void SimEeprom::ChargeBus(uint32_t data_bytes, bool read) {
    if (!Eeprom()) return;
    // Nine clocks a byte: the slave address, the word address, for a read the slave address
    // again after a repeated start, then the data.
    const uint32_t word = kind_ == MemoryKind::kEeprom16 ? 2 : 1;
    const uint64_t bytes = 1 + word + (read ? 1 : 0) + data_bytes;
    clock_.sleep_us((bytes * 9 * 1000 + timing_.eeprom_i2c_khz - 1) / timing_.eeprom_i2c_khz);
}

SimEeprom::Outcome SimEeprom::Read(uint32_t address, uint32_t length, uint8_t* out) {
    if (!Ready()) return Outcome::kNeverReady;
    ChargeBus(length, true);
    std::copy_n(bytes_.begin() + address, length, out);
    ApplyStuckBit(faults_, address, length, out);
    return Outcome::kDone;
}

void SimEeprom::BeginWrite() {
    ++write_count_;
    dropping_ = faults_.drop_all_writes || write_count_ == faults_.drop_write;
}

SimEeprom::Outcome SimEeprom::Write(uint32_t address, const uint8_t* data, uint32_t length,
                                    bool pin_released, uint8_t mode) {
    return Eeprom() ? WriteEeprom(address, data, length, pin_released, dropping_)
                    : WriteMtp(address, data, length, mode, dropping_);
}

SimEeprom::Outcome SimEeprom::WriteEeprom(uint32_t address, const uint8_t* data, uint32_t length,
                                          bool pin_released, bool dropped) {
    const uint32_t page = page_size();
    for (uint32_t done = 0; done < length;) {
        const uint32_t n = std::min(kBurst, length - done);
        if (!Ready()) return Outcome::kNeverReady;
        ChargeBus(n, false);
        // A protected part takes the bytes and starts no write cycle.
        if (pin_released) {
            std::vector<uint8_t> burst(data + done, data + done + n);
            const uint32_t start = address + done;
            busy_.Start(timing_.eeprom_write_us, SimBusy::Waiter::kController,
                        [this, start, page, burst = std::move(burst), dropped] {
                            if (dropped) return;  // acknowledged, but the part never did it
                            // The word address counts up within its page and wraps there.
                            const uint32_t base = start / page * page;
                            for (uint32_t i = 0; i < burst.size(); ++i)
                                bytes_[base + (start - base + i) % page] = burst[i];
                        });
        }
        done += n;
    }
    return pin_released ? Outcome::kDone : Outcome::kIgnored;
}

SimEeprom::Outcome SimEeprom::WriteMtp(uint32_t address, const uint8_t* data, uint32_t length,
                                       uint8_t mode, bool dropped) {
    for (uint32_t done = 0; done < length;) {
        const uint32_t at = address + done;
        const uint32_t n = std::min(kMtpRow - at % kMtpRow, length - done);
        if (!Ready()) return Outcome::kNeverReady;
        std::vector<uint8_t> row(data + done, data + done + n);
        busy_.Start(timing_.mtp_row_program_us, SimBusy::Waiter::kController,
                    [this, at, mode, row = std::move(row), dropped] {
                        if (dropped) return;
                        for (uint32_t i = 0; i < row.size(); ++i) {
                            uint8_t& cell = bytes_[at + i];
                            cell = mode == kMtpReplaceMode ? row[i]
                                                           : static_cast<uint8_t>(cell & row[i]);
                        }
                    });
        done += n;
    }
    return Outcome::kDone;
}

}  // namespace orbisk::sim
