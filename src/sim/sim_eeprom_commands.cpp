// The EEPROM and MTP commands from the device side. Extension unit, storage group: 8-bit
// EEPROM write 0x8B and read 0xCB, 16-bit EEPROM write 0x91 and read 0xD1 (p1 address bits
// 0-15, p2 length, p3 address bits 16-31). Second-generation vendor requests: 0x35/0x36 8-bit
// EEPROM read/write, 0x37/0x38 16-bit, 0x39/0x3A MTP read/write (the write's selector byte is
// its mode). A camera answers only the commands of the memory it has.
#include "sim/sim_camera.h"

namespace orbisk::sim {

namespace {

// Largest data stage the controller buffers for one vendor request.
constexpr uint32_t kVendorMaxData = 4096;

bool EepromReadOpcode(uint8_t opcode) {
    return opcode == 0xCB || opcode == 0xD1;
}

// The memory each command belongs to.
MemoryKind XuMemory(uint8_t opcode) {
    return opcode == 0x8B || opcode == 0xCB ? MemoryKind::kEeprom8 : MemoryKind::kEeprom16;
}

}  // namespace

uint8_t SimCamera::ByteMemoryStatus(SimEeprom::Outcome outcome) {
    // A part that ignores a write still acknowledges it: the controller cannot tell.
    return outcome == SimEeprom::Outcome::kNeverReady ? kStsHwErr : kStsNoErr;
}

bool SimCamera::EepromPinReleased() const {
    const WriteProtectPin& pin = std::string(profile_.name) == "ORV6099"
                                     ? kEepromPinFF9C[settings_.wp_gpio & 1]
                                     : kEepromPinGpio;
    return pin.High(xdata_.data());
}

uint8_t SimCamera::EepromStart(const Command& c) {
    const bool known = c.opcode == 0x8B || c.opcode == 0xCB || c.opcode == 0x91 || c.opcode == 0xD1;
    if (!known || XuMemory(c.opcode) != settings_.memory) return kStsUnknownSubCmd;
    if (uint64_t{c.address()} + c.p2 > eeprom_->size()) return kStsErrOutRange;
    expected_ = c.p2;
    if (!EepromReadOpcode(c.opcode)) {
        if (!StorageAllowed()) return kStsUnknownSubCmd;
        eeprom_->BeginWrite();
        programmed_ = 0;
        return kStsNoErr;
    }
    buffer_.assign(c.p2, 0);
    return ByteMemoryStatus(eeprom_->Read(c.address(), c.p2, buffer_.data()));
}

bool SimCamera::EepromWriteOpen() const {
    return eeprom_ && phase_ == Phase::kDataOut && command_.group == 0x02 &&
           (command_.opcode == 0x8B || command_.opcode == 0x91);
}

uint8_t SimCamera::EepromBuffered(bool final) {
    // The controller writes the bytes as the packets bring them, in page writes of 8 counted
    // from the command's address: no packet waits for more than one write cycle.
    const size_t have = buffer_.size();
    const size_t ready = final ? have : have / SimEeprom::kBurst * SimEeprom::kBurst;
    if (ready <= programmed_) return kStsNoErr;
    const SimEeprom::Outcome outcome = eeprom_->Write(
        command_.address() + static_cast<uint32_t>(programmed_), buffer_.data() + programmed_,
        static_cast<uint32_t>(ready - programmed_), EepromPinReleased());
    programmed_ = ready;
    return ByteMemoryStatus(outcome);
}

uint8_t SimCamera::EepromFinishOut() {
    if (EepromReadOpcode(command_.opcode)) return kStsUnknownSubCmd;
    return EepromBuffered(true);
}

HResult SimCamera::VendorByteMemory(bool in, uint8_t request, uint16_t value, uint16_t index,
                                    uint8_t* data, uint16_t length, uint32_t* transferred) {
    struct Access {
        uint8_t request;
        bool in;
        MemoryKind memory;
    };
    static constexpr Access kAccess[] = {
        {0x35, true, MemoryKind::kEeprom8},  {0x36, false, MemoryKind::kEeprom8},
        {0x37, true, MemoryKind::kEeprom16}, {0x38, false, MemoryKind::kEeprom16},
        {0x39, true, MemoryKind::kMtp},      {0x3A, false, MemoryKind::kMtp},
    };
    const Access* access = nullptr;
    for (const Access& a : kAccess)
        if (a.request == request) access = &a;
    if (!access || !eeprom_ || access->memory != settings_.memory || in != access->in)
        return Stall();
    // Only the MTP write carries a selector: its mode, 0 to 3.
    const uint8_t selector = static_cast<uint8_t>(value & 0xFF);
    if (selector > (request == 0x3A ? SimEeprom::kMtpReplaceMode : 0)) return Stall();
    // wValue bits 8-11: address bits 16-19; bits 12-15 length bits 16-19, never set for a data
    // stage of wLength bytes.
    if ((value >> 12) != 0 || length > kVendorMaxData || length == 0) return Stall();
    const uint32_t address = (uint32_t{(value >> 8) & 0x0Fu} << 16) | index;
    if (uint64_t{address} + length > eeprom_->size()) return Stall();
    SimEeprom::Outcome outcome;
    if (in) {
        outcome = eeprom_->Read(address, length, data);
    } else {
        if (!StorageAllowed()) return Stall();
        const bool pin = access->memory == MemoryKind::kMtp || EepromPinReleased();
        eeprom_->BeginWrite();
        outcome = eeprom_->Write(address, data, length, pin, selector);
    }
    if (ByteMemoryStatus(outcome) != kStsNoErr) return Stall();
    *transferred = length;
    return kOk;
}

}  // namespace orbisk::sim
