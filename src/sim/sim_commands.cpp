#include "sim/sim_commands.h"

#include <iterator>

namespace orbisk::sim {

namespace {

constexpr uint8_t kAddress = kP1 | kP2 | kP3;  // 32-bit address in p1 and p3, length in p2
constexpr uint8_t kShort = kP1 | kP2;          // 16-bit address in p1, length in p2

// Every command the simulated controller knows.
constexpr CommandShape kCommands[] = {
    // General and memory.
    {0x00, 0xD0, 0, 8},      // qualify
    {0x00, 0xCD, kP1, 8},    // one record of the status block
    {0x00, 0x07, kP1},       // reset into update mode, p1 = sub-mode
    {0x00, 0x08, kP1},       // reset into the new code
    {0x00, 0x09, 0},         // reset into the code in memory
    {0x00, 0xC1, kShort},    // internal RAM
    {0x00, 0xC2, kAddress},  // registers and memory
    {0x00, 0x82, kAddress},
    {0x00, 0xC3, kShort},  // code
    {0x00, 0xCC, kP1, 1},  // physical registers, one byte per command
    {0x00, 0x8C, kP1, 1},
    {0x00, 0x04, 0},  // NOR flash: erase, read, write, tag
    {0x00, 0xC5, kShort},
    {0x00, 0x85, kShort},
    {0x00, 0x06, 0},
    {0x00, 0x16, kP2},   // data-control size
    {0x00, 0x2E, 0},     // image-quality patch
    {0x00, 0x93, 0, 2},  // mode bytes
    {0x00, 0xD3, 0, 2},
    {0x00, 0xFC, 0, 1},      // write-protect status
    {0x00, 0xFC, 0, 8},      // bypass mode query
    {0x00, 0xBD, 0, 1},      // software write protection
    {0x00, 0xB3, 0, 1},      // MIPI power
    {0x00, 0xF0, kAddress},  // I2C long read and write: p1 register, p2 length, p3 slave
    {0x00, 0xB0, kAddress},
    // Serial flash.
    {0x02, 0xC1, 0, 8},      // identification
    {0x02, 0xC2, kAddress},  // read, and the fast reads of modes 1 to 3
    {0x02, 0xD4, kAddress},
    {0x02, 0xD5, kAddress},
    {0x02, 0xD6, kAddress},
    {0x02, 0x82, kAddress},  // write
    {0x02, 0xC3, 0, 1},      // status register
    {0x02, 0x83, 0, 1},
    {0x02, 0x04, 0},          // chip erase
    {0x02, 0x05, kP1 | kP3},  // sector erase: p2 is 0
    {0x02, 0x13, 0},          // tag
    // I2C EEPROM, 8-bit and 16-bit word addresses: write, read.
    {0x02, 0x8B, kAddress},
    {0x02, 0xCB, kAddress},
    {0x02, 0x91, kAddress},
    {0x02, 0xD1, kAddress},
    // OTP.
    {0x02, 0x97, kAddress},  // write: p1 address, p2 length, p3 the ECC budget
    {0x02, 0xD7, kShort},    // read
    {0x02, 0xDC, 0, 0x13},   // program-fail report
};

// Groups of the command channel; their unknown opcodes are unknown sub-commands.
bool KnownGroup(uint8_t group) {
    return group <= 0x04 || group == 0x06;
}

}  // namespace

uint8_t CheckCommand(uint8_t group, uint8_t opcode, uint16_t p1, uint16_t p2, uint16_t p3) {
    if (!KnownGroup(group)) return kStsUnknownCmd;
    const CommandShape* match = nullptr;
    bool known = false;
    for (const CommandShape& shape : kCommands) {
        if (shape.group != group || shape.opcode != opcode) continue;
        known = true;
        if (shape.fixed_p2 < 0 || shape.fixed_p2 == p2) {
            match = &shape;
            break;
        }
    }
    if (!known) return kStsUnknownSubCmd;
    if (!match) return kStsErrLen;
    const bool p2_taken = (match->params & kP2) || match->fixed_p2 >= 0;
    if ((!(match->params & kP1) && p1) || (!p2_taken && p2) || (!(match->params & kP3) && p3))
        return kStsUnknownSubCmd;
    return kStsNoErr;
}

}  // namespace orbisk::sim
