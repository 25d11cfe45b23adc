// The bridge's I2C face, its mailboxes, its restarts and its power.
#include "sim/sim_bridge.h"

#include <algorithm>
#include <cstring>

#include "sim/sim_image.h"

namespace orbisk::sim {

namespace {

constexpr size_t kHistoryLimit = 8192;
constexpr uint8_t kErrorBit = 0x02;

uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

SimBridge::SimBridge(BridgeSettings settings, std::vector<uint8_t> flash)
    : settings_(std::move(settings)), flash_(std::move(flash)) {
    flash_.resize(kBridgeFlashSize, 0xFF);
    mode_ = CodeStarts() ? 2 : 1;
}

bool SimBridge::CodeStarts() const {
    return settings_.complete && !settings_.faults.no_start;
}

void SimBridge::Reset() {
    for (Mailbox& m : mailboxes_) m = Mailbox{};
    xdata_.fill(0);
    sensor_.clear();
    restart_at_ = UINT64_MAX;
}

void SimBridge::Settle(uint64_t at_us) {
    for (;;) {
        Mailbox* next = nullptr;
        for (Mailbox& m : mailboxes_)
            if (m.busy && m.done_at <= at_us && (!next || m.done_at < next->done_at)) next = &m;
        if (restart_at_ <= at_us && (!next || restart_at_ < next->done_at)) {
            // The firmware restarts: work it had not finished is lost with its mailboxes.
            const uint64_t when = restart_at_;
            mode_ = restart_into_code_ && CodeStarts() ? 2 : 1;
            Reset();
            ready_at_ = when + uint64_t{settings_.timing.boot_ms} * 1000;
            continue;
        }
        if (!next) return;
        next->status = next->finish();
        next->finish = nullptr;
        next->busy = false;
    }
}

bool SimBridge::Answering(uint64_t at_us) {
    return powered_ && at_us >= ready_at_;
}

void SimBridge::SetPowered(uint64_t at_us, bool on) {
    std::lock_guard lock(mutex_);
    Settle(at_us);
    if (on == powered_) return;
    powered_ = on;
    Reset();
    if (on) {
        mode_ = CodeStarts() ? 2 : 1;
        ready_at_ = at_us + uint64_t{settings_.timing.boot_ms} * 1000;
    }
}

bool SimBridge::Write(uint64_t at_us, uint16_t reg, const uint8_t* data, size_t length) {
    std::lock_guard lock(mutex_);
    Settle(at_us);
    if (!Answering(at_us)) return false;
    const bool more = (reg & 0x8000) != 0;
    const uint16_t address = reg & 0x7FFF;
    for (int i = 0; i < 2; ++i) {
        const uint16_t base = kMailboxBase[i];
        if (address < base || address >= base + kMailboxSize) continue;
        Mailbox& m = mailboxes_[i];
        const size_t offset = address - base;
        if (m.busy || length == 0 || offset + length > kMailboxSize) return false;
        // A block arrives piece after piece, from its start.
        if (offset != 0 && offset != m.filled) return false;
        std::memcpy(m.buffer.data() + offset, data, length);
        m.filled = offset + length;
        if (!more) Commit(i, at_us);
        return true;
    }
    return false;  // the status and mode registers are read-only; nothing else is there
}

bool SimBridge::Read(uint64_t at_us, uint16_t reg, uint8_t* out, size_t length) {
    std::lock_guard lock(mutex_);
    Settle(at_us);
    if (!Answering(at_us)) return false;
    const uint16_t address = reg & 0x7FFF;
    for (size_t i = 0; i < length; ++i) out[i] = ReadByte(static_cast<uint16_t>(address + i));
    return true;
}

uint8_t SimBridge::ReadByte(uint16_t address) {
    if (address == kModeRegister) return static_cast<uint8_t>(0x30 | mode_);
    if (address == kStatusRegister || address == kStatusRegister + 1) {
        const Mailbox& m = mailboxes_[address - kStatusRegister];
        return m.busy ? 0x01 : m.status;
    }
    for (int i = 0; i < 2; ++i) {
        const uint16_t base = kMailboxBase[i];
        if (address >= base && address < base + kMailboxSize)
            return mailboxes_[i].buffer[address - base];
    }
    return 0x00;
}

void SimBridge::Schedule(int index, uint64_t done_at, std::function<uint8_t()> finish) {
    Mailbox& m = mailboxes_[index];
    m.busy = true;
    m.done_at = done_at;
    m.finish = std::move(finish);
}

uint64_t SimBridge::FlashSlot(uint64_t earliest, uint64_t duration_us) {
    const uint64_t start = std::max(earliest, flash_free_at_);
    flash_free_at_ = start + duration_us;
    return flash_free_at_;
}

void SimBridge::Commit(int index, uint64_t at_us) {
    Mailbox& m = mailboxes_[index];
    const size_t size = m.filled;
    m.filled = 0;
    const uint8_t* block = m.buffer.data();
    const uint64_t done = at_us + settings_.timing.command_us;
    const BridgeFaults& faults = settings_.faults;
    const uint8_t group = size > 0 ? block[0] : 0;
    const uint8_t sub = size > 1 ? block[1] : 0;
    if (faults.stays_busy) {
        Record(index, group, sub, 0, 0, false);
        Schedule(index, UINT64_MAX, [] { return uint8_t{0}; });
        return;
    }
    uint8_t error = 0;
    if (size < 4) {
        error = 1;
    } else if (faults.fail_command != 0 && faults.fail_command == (group << 8 | sub) &&
               ++fail_matches_ > faults.fail_skip) {
        error = faults.fail_code != 0 ? faults.fail_code : 3;
    } else if (group == 0x80 || group == 0x81 || group == 0x84 || group == 0x85) {
        error = RegisterCommand(index, at_us, block, size);
    } else if (group == 0x01) {
        error = FlashCommand(index, at_us, block, size);
    } else if (group == 0x05 || group == 0x20 || group == 0x02) {
        error = ModeCommand(index, at_us, block, size);
    } else {
        error = 2;
    }
    if (error == 0) return;
    Record(index, group, sub, 0, 0, true);
    const uint8_t status = static_cast<uint8_t>(error << 2 | kErrorBit);
    Schedule(index, done, [status] { return status; });
}

void SimBridge::Record(int mailbox, uint8_t group, uint8_t sub, uint32_t address, uint32_t length,
                       bool failed) {
    if (history_.size() >= kHistoryLimit) history_.pop_front();
    history_.push_back({mailbox, group, sub, address, length, failed});
}

bool SimBridge::WpPinHigh() const {
    return (xdata_[0xFEA0] & 0x01) && (xdata_[0xFEA6] & 0x01);
}

uint32_t SimBridge::RunningVersion(uint32_t* second_word) const {
    *second_word = 0;
    const uint8_t* marker = flash_.data() + kVersionMarkerOffset;
    if (std::memcmp(marker, kVersionMarker, 8) != 0) return 0;
    *second_word = Le32(marker + 12);
    return Le32(marker + 8);
}

std::array<uint8_t, 32> SimBridge::BuildInfo() const {
    std::array<uint8_t, 32> info{};
    info[0] = 0x76;
    info[1] = 0x08;
    info[2] = static_cast<uint8_t>(mode_);
    uint32_t second = 0;
    const uint32_t version = mode_ == 2 ? RunningVersion(&second) : settings_.rom_version;
    // The low half of the version, most significant byte first, then both words.
    info[4] = static_cast<uint8_t>(version >> 8);
    info[5] = static_cast<uint8_t>(version);
    PutLe32(&info[24], version);
    PutLe32(&info[28], second);
    return info;
}

std::array<uint8_t, 32> SimBridge::Info(uint64_t at_us) {
    std::lock_guard lock(mutex_);
    Settle(at_us);
    return BuildInfo();
}

int SimBridge::Mode(uint64_t at_us) {
    std::lock_guard lock(mutex_);
    Settle(at_us);
    return Answering(at_us) ? mode_ : 0;
}

std::vector<uint8_t> SimBridge::Flash(uint64_t at_us) {
    std::lock_guard lock(mutex_);
    Settle(at_us);
    return flash_;
}

void SimBridge::FinishWork() {
    std::lock_guard lock(mutex_);
    Settle(UINT64_MAX - 1);
}

BridgeSettings SimBridge::Snapshot(uint64_t at_us) {
    std::lock_guard lock(mutex_);
    Settle(at_us);
    return settings_;
}

void SimBridge::SetFaults(const BridgeFaults& faults) {
    std::lock_guard lock(mutex_);
    settings_.faults = faults;
}

std::vector<SimBridge::CommandRecord> SimBridge::History() {
    std::lock_guard lock(mutex_);
    return {history_.begin(), history_.end()};
}

void SimBridge::ClearHistory() {
    std::lock_guard lock(mutex_);
    history_.clear();
}

}  // namespace orbisk::sim
