#include "sim/sim_flash.h"

#include <algorithm>

namespace orbisk::sim {

SimFlash::SimFlash(std::vector<uint8_t> bytes, uint8_t status, bool status_register, Clock& clock,
                   const Timing& timing, const Faults& faults)
    : bytes_(std::move(bytes)),
      status_(status_register ? static_cast<uint8_t>(status & ~kBusy) : 0),
      status_register_(status_register),
      timing_(timing),
      faults_(faults),
      busy_(clock, faults.busy_stuck) {}

const std::vector<uint8_t>& SimFlash::bytes() {
    busy_.Settle();
    return bytes_;
}

void SimFlash::Read(uint32_t address, uint32_t length, uint8_t* out) {
    // A part busy with an erase answers with the array as it stands.
    busy_.WaitForControllerWork();
    std::copy_n(bytes_.begin() + address, length, out);
    ApplyStuckBit(faults_, address, length, out);
}

uint8_t SimFlash::ReadStatus() {
    const bool busy = busy_.Busy();  // lands finished work first
    return static_cast<uint8_t>(status_ | (busy ? kBusy : 0));
}

uint8_t SimFlash::StoredStatus() {
    busy_.Settle();
    return status_;
}

SimFlash::Outcome SimFlash::Admit(bool array_work) {
    switch (busy_.WaitForControllerWork()) {
        case SimBusy::Ready::kReady:
            break;
        case SimBusy::Ready::kBusy:
            return Outcome::kIgnored;
        case SimBusy::Ready::kStuck:
            // A serial flash's controller does not wait: the part ignores the command. A NOR
            // controller waits for the part and gives up.
            return status_register_ ? Outcome::kIgnored : Outcome::kNeverReady;
    }
    if (array_work && Protected()) return Outcome::kIgnored;
    return Outcome::kStarted;
}

void SimFlash::Start(uint64_t duration_us, SimBusy::Waiter waiter, std::function<void()> done) {
    if (status_register_) {
        busy_.Start(duration_us, waiter, std::move(done));
        return;
    }
    busy_.Start(duration_us, SimBusy::Waiter::kController, std::move(done));
    // Without a status register to poll, the controller sits out long work in the command.
    if (waiter == SimBusy::Waiter::kHost) busy_.WaitForControllerWork();
}

void SimFlash::BeginWrite() {
    ++program_count_;
    dropping_ = faults_.drop_all_writes || program_count_ == faults_.drop_write;
}

SimFlash::Outcome SimFlash::ProgramPage(uint32_t address, const uint8_t* data, uint32_t length) {
    const Outcome outcome = Admit(true);
    if (outcome != Outcome::kStarted || length == 0) return outcome;
    std::vector<uint8_t> page(data, data + length);
    const bool dropped = dropping_;
    Start(timing_.page_program_us, SimBusy::Waiter::kController,
          [this, address, page = std::move(page), dropped] {
              if (dropped) return;  // acknowledged, but the part never did it
              for (size_t i = 0; i < page.size(); ++i) bytes_[address + i] &= page[i];
          });
    return outcome;
}

SimFlash::Outcome SimFlash::EraseChip() {
    const Outcome outcome = Admit(true);
    if (outcome != Outcome::kStarted) return outcome;
    Start(uint64_t{timing_.chip_erase_ms} * 1000, SimBusy::Waiter::kHost,
          [this] { std::fill(bytes_.begin(), bytes_.end(), 0xFF); });
    return outcome;
}

SimFlash::Outcome SimFlash::EraseSector(uint32_t address) {
    const Outcome outcome = Admit(true);
    if (outcome != Outcome::kStarted) return outcome;
    const uint32_t start = address / kSectorSize * kSectorSize;
    Start(uint64_t{timing_.sector_erase_ms} * 1000, SimBusy::Waiter::kHost, [this, start] {
        std::fill_n(bytes_.begin() + start, std::min(kSectorSize, size() - start), 0xFF);
    });
    return outcome;
}

SimFlash::Outcome SimFlash::WriteStatus(uint8_t value, bool wp_pin_high) {
    const Outcome outcome = Admit(false);
    if (outcome != Outcome::kStarted) return outcome;
    if ((status_ & kStatusWriteDisable) && !wp_pin_high) return Outcome::kIgnored;
    // WIP and WEL are not writable; the new value holds once the write is done.
    const auto written = static_cast<uint8_t>(value & 0xFC);
    Start(uint64_t{timing_.status_write_ms} * 1000, SimBusy::Waiter::kHost,
          [this, written] { status_ = written; });
    return outcome;
}

}  // namespace orbisk::sim
