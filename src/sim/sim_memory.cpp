// The controller's memories and registers, and the operations both command channels share.
#include <algorithm>
#include <cstring>

#include "sim/sim_camera.h"

namespace orbisk::sim {

bool SimCamera::InRange(Space space, uint32_t address, uint32_t length) const {
    uint64_t size = 0;
    switch (space) {
        case Space::kXdata:
            size = xdata_.size();
            break;
        case Space::kIram:
            size = iram_.size();
            break;
        case Space::kPhy:
            size = phy_.size();
            break;
        case Space::kCode:
        case Space::kSerialFlash:
        case Space::kNorFlash:
            size = flash_.size();
            break;
    }
    return uint64_t{address} + length <= size;
}

uint8_t SimCamera::ReadSpace(Space space, uint32_t address, uint32_t length, uint8_t* out) {
    if (!InRange(space, address, length)) return kStsErrOutRange;
    switch (space) {
        case Space::kXdata:
            std::copy_n(xdata_.begin() + address, length, out);
            break;
        case Space::kIram:
            std::copy_n(iram_.begin() + address, length, out);
            break;
        case Space::kPhy:
            std::copy_n(phy_.begin() + address, length, out);
            break;
        case Space::kCode:
        case Space::kSerialFlash:
        case Space::kNorFlash:
            flash_.Read(address, length, out);
            break;
    }
    return kStsNoErr;
}

uint8_t SimCamera::WriteSpace(Space space, uint32_t address, const uint8_t* data, uint32_t length) {
    if (!InRange(space, address, length)) return kStsErrOutRange;
    switch (space) {
        case Space::kXdata:
            for (uint32_t i = 0; i < length; ++i)
                WriteRegister(static_cast<uint16_t>(address + i), data[i]);
            return kStsNoErr;
        case Space::kIram:
            std::copy_n(data, length, iram_.begin() + address);
            return kStsNoErr;
        case Space::kPhy:
            std::copy_n(data, length, phy_.begin() + address);
            return kStsNoErr;
        case Space::kCode:
            return kStsUnknownSubCmd;
        case Space::kSerialFlash:
        case Space::kNorFlash:
            flash_.BeginWrite();
            return ProgramPages(address, data, length);
    }
    return kStsUnknownSubCmd;
}

void SimCamera::WriteRegister(uint16_t address, uint8_t value) {
    switch (address) {
        case 0xFE21:
        case 0xFE22:
        case kOtpLockRegister:
            return;  // chip identity and the OTP lock fuse: read-only
        case 0xFF24:
            // Setting bits 1 and 2 starts the clock switch; bit 3 reports it done.
            xdata_[address] = static_cast<uint8_t>((value & 0x06) == 0x06 ? (value | 0x08) : value);
            return;
        default:
            xdata_[address] = value;
            return;
    }
}

bool SimCamera::WpPinHigh() const {
    return profile_.wp_pin.High(xdata_.data());
}

namespace {

uint8_t StatusOf(SimFlash::Outcome outcome) {
    // An operation the part ignores is still acknowledged: the controller cannot tell.
    return outcome == SimFlash::Outcome::kNeverReady ? kStsHwErr : kStsNoErr;
}

}  // namespace

uint8_t SimCamera::ProgramPages(uint32_t address, const uint8_t* data, uint32_t length) {
    // The controller cuts a write into page programs, each waiting for the one before.
    while (length > 0) {
        const uint32_t n = std::min(length, SimFlash::kPageSize - address % SimFlash::kPageSize);
        if (flash_.ProgramPage(address, data, n) == SimFlash::Outcome::kNeverReady)
            return kStsHwErr;
        address += n;
        data += n;
        length -= n;
    }
    return kStsNoErr;
}

uint8_t SimCamera::ProgramBuffered(bool final) {
    // Pages are programmed as soon as their bytes are in, while the next packets arrive.
    const uint32_t start =
        command_.group == 0x02 ? command_.address() : static_cast<uint32_t>(command_.p1);
    const uint32_t end = start + static_cast<uint32_t>(buffer_.size());
    const uint32_t from = start + static_cast<uint32_t>(programmed_);
    const uint32_t ready =
        final ? end : std::max(from, end / SimFlash::kPageSize * SimFlash::kPageSize);
    if (ready <= from) return kStsNoErr;
    programmed_ = ready - start;
    return ProgramPages(from, buffer_.data() + (from - start), ready - from);
}

uint8_t SimCamera::EraseChip() {
    return StatusOf(flash_.EraseChip());
}

uint8_t SimCamera::EraseSector(uint32_t address) {
    if (address >= flash_.size()) return kStsErrOutRange;
    return StatusOf(flash_.EraseSector(address));
}

uint8_t SimCamera::WriteTag(bool nor) {
    static constexpr uint8_t kTag[2] = {0x55, 0xAA};
    return WriteSpace(nor ? Space::kNorFlash : Space::kSerialFlash, profile_.tag_address, kTag, 2);
}

uint8_t SimCamera::WriteFlashStatus(uint8_t value) {
    return StatusOf(flash_.WriteStatus(value, WpPinHigh()));
}

uint8_t SimCamera::ChangeDataSize(uint16_t requested) {
    // The controller takes multiples of 8 up to its buffer; other requests get the nearest
    // size it can do, which the host learns from GET_LEN.
    uint16_t size = std::clamp<uint16_t>(requested, 8, settings_.max_data_size);
    size = static_cast<uint16_t>(size / 8 * 8);
    data_size_ = size;
    return kStsNoErr;
}

void SimCamera::FlashId(uint8_t* out) {
    uint8_t capacity = 0;
    while ((1u << capacity) < flash_.size()) ++capacity;
    const uint8_t id[8] = {0xC2, 0x20, capacity, 0, 0, 0, 0, 0};
    std::memcpy(out, id, std::min<size_t>(8, data_size_));
}

std::vector<uint8_t> SimCamera::BuildStatusBlock() {
    std::vector<uint8_t> block(kStatusBlockSize, 0);
    block[6] = xdata_[0xFE21];
    block[7] = xdata_[0xFE22];
    if (settings_.generation == Generation::kVendorV2) std::memcpy(&block[24], "ZORVINE", 8);
    // A MIPI module says so where the second generation names itself.
    if (bridge_)
        std::memcpy(&block[24], settings_.bridge.simulation_signature ? "MIPISIM" : "MIPI IO", 8);
    block[32] = settings_.rear_camera ? 1 : 0;
    // Primary mode byte: run mode 1 = application, 2 = boot ROM; version style 0.
    const bool app = settings_.app_mode;
    block[64] = app ? 0x01 : 0x02;
    const uint32_t version = app ? settings_.running_version : settings_.rom_version;
    block[67] = 0x00;
    block[68] = static_cast<uint8_t>(profile_.chip_id);
    block[69] = static_cast<uint8_t>(profile_.chip_id >> 8);
    // The 32-bit version as the tool shows it, "0x00-%02X%02X-%02X%02X" of bytes 70, 71, 5
    // and 4: most significant byte first.
    block[70] = static_cast<uint8_t>(version >> 24);
    block[71] = static_cast<uint8_t>(version >> 16);
    block[5] = static_cast<uint8_t>(version >> 8);
    block[4] = static_cast<uint8_t>(version);
    return block;
}

void SimCamera::StatusRecord(uint16_t index, uint8_t* out) {
    const std::vector<uint8_t> block = BuildStatusBlock();
    std::memcpy(out, block.data() + index * 8, 8);
}

}  // namespace orbisk::sim
