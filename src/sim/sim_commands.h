#pragma once
#include <cstdint>

namespace orbisk::sim {

// Status codes of the extension unit's status block (byte 0).
enum VcmdStatus : uint8_t {
    kStsCmd = 0,
    kStsDataIn = 1,
    kStsDataOut = 2,
    kStsErrDir = 3,
    kStsNotFinish = 4,
    kStsErrLen = 5,
    kStsUnknownSubCmd = 6,
    kStsErrOutRange = 7,
    kStsUnknownCmd = 8,
    kStsHwErr = 9,
    kStsNoErr = 0xFE,
};

// Parameters of a command block: p1 (bytes 2-3), p2 (bytes 4-5), p3 (bytes 6-7).
inline constexpr uint8_t kP1 = 0x01;
inline constexpr uint8_t kP2 = 0x02;
inline constexpr uint8_t kP3 = 0x04;

// A command of the extension unit as the controller's firmware decodes it: the parameters it
// takes, and the length it must carry in p2 when its length is fixed.
struct CommandShape {
    uint8_t group;
    uint8_t opcode;
    uint8_t params;         // kP1 | kP2 | kP3
    int32_t fixed_p2 = -1;  // -1: p2 is taken as given (or not at all)
};

// Checks a command block against the commands the controller knows, before it acts on it:
// kStsNoErr, or the status the controller gives. An unknown group gives VCMD_STS_UNKNOWN_CMD;
// an unknown opcode, or a parameter the command does not take that is not 0 (the parameters
// are part of the sub-command), VCMD_STS_UNKNOWN_SCMD; a length other than the command's
// fixed one VCMD_STS_ERR_LEN. Memories add their commands to the table in sim_commands.cpp.
uint8_t CheckCommand(uint8_t group, uint8_t opcode, uint16_t p1, uint16_t p2, uint16_t p3);

}  // namespace orbisk::sim
