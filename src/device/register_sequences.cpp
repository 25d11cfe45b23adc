#include "device/register_sequences.h"

#include "base/logger.h"
#include "base/process.h"

namespace orbisk {

namespace {

bool WriteAll(RegisterPort& port, std::initializer_list<std::pair<uint32_t, uint8_t>> writes) {
    for (const auto& [address, value] : writes)
        if (!port.WriteReg(address, value)) return false;
    return true;
}

}  // namespace

uint16_t ChipIdFromBytes(uint8_t b0, uint8_t b1, bool keep_low_nibble) {
    const uint16_t low = keep_low_nibble ? b0 : (b0 & 0xF0);
    return static_cast<uint16_t>(((b1 & 0xF0) << 8) | low);
}

bool ReadChipId(RegisterPort& port, uint16_t& chip_id, bool keep_low_nibble) {
    uint8_t bytes[2] = {0, 0};
    if (!port.ReadRegs(kChipIdAddress, 2, bytes)) return false;
    chip_id = ChipIdFromBytes(bytes[0], bytes[1], keep_low_nibble);
    return true;
}

ProtectGroup ProtectGroupFor(uint16_t chip_id, bool enable) {
    switch (chip_id) {
        case 0x6010:
        case 0x9010:
            return ProtectGroup::kB;
        case 0xD000:
        case 0xE000:
        case 0xF000:
            return ProtectGroup::kC;
        case 0xE010:
            return ProtectGroup::kA;
        case 0x0020:
            return enable ? ProtectGroup::kNone : ProtectGroup::kA;
        default:
            return ProtectGroup::kNone;
    }
}

bool SetWriteProtectPins(RegisterPort& port, uint16_t chip_id, bool enable) {
    const ProtectGroup group = ProtectGroupFor(chip_id, enable);
    const bool pair = group == ProtectGroup::kB || group == ProtectGroup::kC;
    uint8_t a0 = 0, a6 = 0, a1 = 0, a7 = 0, c9 = 0;
    if (!port.ReadReg(0xFEA0, a0) || !port.ReadReg(0xFEA6, a6)) return false;
    if (pair && (!port.ReadReg(0xFEA1, a1) || !port.ReadReg(0xFEA7, a7))) return false;
    if (group == ProtectGroup::kA && !port.ReadReg(0xFF9C, c9)) return false;

    const uint8_t out_a6 = enable ? (a6 & 0xFE) : (a6 | 0x01);
    if (!WriteAll(port, {{0xFEA0, a0 | 0x01}, {0xFEA6, out_a6}})) return false;
    if (pair) {
        uint8_t out_a1, out_a7;
        if (enable) {
            out_a1 = a1 | 0x04;
            out_a7 = a7 & 0xFB;
        } else {
            const uint8_t bits = group == ProtectGroup::kB ? 0x0C : 0x04;
            out_a1 = a1 | bits;
            out_a7 = a7 | bits;
        }
        if (!WriteAll(port, {{0xFEA1, out_a1}, {0xFEA7, out_a7}})) return false;
    }
    if (group == ProtectGroup::kA) {
        const uint8_t out = enable ? (c9 & 0xFA) : (c9 | 0x05);
        if (!port.WriteReg(0xFF9C, out)) return false;
    }
    return true;
}

bool Accelerate6644(RegisterPort& port, Process& process, LogScope& scope) {
    uint16_t chip_id = 0;
    if (!ReadChipId(port, chip_id, true)) return false;
    if (chip_id != 0x6001 && chip_id != 0x6002) return true;
    uint8_t mode = 0;
    if (!port.ReadReg(0xFE84, mode)) return false;
    if (mode & 0x10) return true;

    static constexpr uint8_t kSequence[] = {0x39, 0x5E, 0x00, 0x01, 0x00, 0x7A, 0x43};
    if (!WriteAll(port, {{0xFF21, 0x09}, {0xFF20, 0xEF}})) return false;
    if (!port.WriteRegs(0xFF21, sizeof kSequence, kSequence)) return false;
    uint8_t control = 0;
    if (!port.ReadReg(0xFF24, control) || !port.WriteReg(0xFF24, control | 0x06)) return false;

    bool ready = false;
    for (int poll = 0; poll < kAccelerate6644Polls && !ready; ++poll) {
        if (process.CheckCancel()) return false;
        if (!port.ReadReg(0xFF24, control)) return false;
        ready = (control & 0x08) != 0;
        if (!ready) process.clock.sleep_ms(50);
    }
    if (!ready) {
        scope.Section("polling 0xFF24 bit3 timed out\n");
        return false;
    }
    scope.Text("polling 0xFF24 bit3 finished\n");
    return WriteAll(port, {{0xFEBA, 0x01}, {0xFE83, 0x01}, {0xFE84, 0x10}});
}

bool Accelerate6521(RegisterPort& port) {
    uint16_t chip_id = 0;
    if (!ReadChipId(port, chip_id)) return false;
    if (chip_id != 0x1010) return true;
    if (!WriteAll(port, {{0xFECC, 0x09},
                         {0xFECB, 0x1F},
                         {0xFECC, 0x39},
                         {0xFECD, 0x3E},
                         {0xFECE, 0x00},
                         {0xFECF, 0x01},
                         {0xFED0, 0x00},
                         {0xFED1, 0x7A},
                         {0xFED2, 0x43},
                         {0xFECF, 0x09},
                         {0xFECF, 0x0B}}))
        return false;
    uint8_t mode = 0;
    if (!port.ReadReg(0xFE84, mode)) return false;
    if (mode & 0x10) return true;
    return WriteAll(port, {{0xFE83, 0x01}, {0xFE84, 0x10}});
}

bool Prepare6521Erase(RegisterPort& port) {
    uint16_t chip_id = 0;
    if (!ReadChipId(port, chip_id)) return false;
    if (chip_id != 0x1010) return true;
    return port.WriteReg(0xFEBA, 0x00);
}

}  // namespace orbisk
