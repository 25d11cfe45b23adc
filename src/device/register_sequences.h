#pragma once
#include <cstdint>
#include <initializer_list>

namespace orbisk {

struct Process;
class LogScope;

// Byte access to controller registers; the device layers adapt it to the open camera.
class RegisterPort {
  public:
    virtual ~RegisterPort() = default;
    virtual bool ReadRegs(uint32_t address, uint32_t length, uint8_t* out) = 0;
    virtual bool WriteRegs(uint32_t address, uint32_t length, const uint8_t* data) = 0;

    bool ReadReg(uint32_t address, uint8_t& value) { return ReadRegs(address, 1, &value); }
    bool WriteReg(uint32_t address, uint8_t value) { return WriteRegs(address, 1, &value); }
};

inline constexpr uint32_t kChipIdAddress = 0xFE21;

// Chip ID from the two identity bytes: (b1 & 0xF0) << 8 | (b0 & 0xF0); `keep_low_nibble`
// keeps b0 whole, as the 6644 acceleration needs.
uint16_t ChipIdFromBytes(uint8_t b0, uint8_t b1, bool keep_low_nibble = false);
bool ReadChipId(RegisterPort& port, uint16_t& chip_id, bool keep_low_nibble = false);

// Chip groups of the write-protect pin handling. Chip 0x0020 belongs to group A only when
// unlocking.
enum class ProtectGroup { kNone, kA, kB, kC };
ProtectGroup ProtectGroupFor(uint16_t chip_id, bool enable);

// Drives the write-protect pin registers for unlocking (enable false) or locking (enable true).
// Any failed register access fails.
bool SetWriteProtectPins(RegisterPort& port, uint16_t chip_id, bool enable);

// Poll budget of the 6644 acceleration: 0xFF24 bit 3 is awaited at most this many times, 50 ms
// apart, so a chip that never sets it cannot hang the update.
inline constexpr int kAccelerate6644Polls = 100;

// The fast-download switches. Return true when done or not applicable, false on a failed
// register access, an expired poll or a stop request during the poll.
bool Accelerate6644(RegisterPort& port, Process& process, LogScope& scope);
bool Accelerate6521(RegisterPort& port);
bool Prepare6521Erase(RegisterPort& port);

}  // namespace orbisk
