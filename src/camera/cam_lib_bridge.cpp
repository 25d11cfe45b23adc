// The MIPI bridge's functions of the library. The bridge has two mailboxes, each a command
// register, a long and a short reply register and a status register (bit 0 busy, bit 1
// error). An ordinary command takes a free mailbox and waits for its end; a program command is
// only posted, so that the next one can be written to the other mailbox while the bridge's
// flash programs this one, and its outcome is collected later.
#include "base/process.h"
#include "camera/cam_lib.h"
#include "camera/orv_cam.h"
#include "transport/i2c_pieces.h"

namespace orbisk {

namespace {

constexpr uint16_t kSlave = 0x78;
constexpr uint16_t kModeRegister = 0x000C;
constexpr uint16_t kCommandRegister[2] = {0x9D00, 0x9E08};
constexpr uint16_t kLongReply[2] = {0x9D08, 0x9E10};
constexpr uint16_t kShortReply[2] = {0x9D04, 0x9E0C};
constexpr uint16_t kStatusRegister[2] = {0x0200, 0x0201};
// What the reply registers hold behind them, and a program command's data area.
constexpr uint32_t kLongReplyMax = 256;
constexpr uint32_t kShortReplyMax = 260;
constexpr uint32_t kCommandReads = 100001;
constexpr uint32_t kWaitReads = 10001;
constexpr uint32_t kModeReads = 10001;
constexpr uint32_t kPostPauseMs = 5;
constexpr uint32_t kPostLimit = 50000;

uint8_t B(uint32_t value, int shift) {
    return static_cast<uint8_t>(value >> shift);
}

std::vector<uint8_t> FlashBlock(uint8_t sub, uint8_t byte2, uint32_t address, uint32_t length) {
    return {0x01,          sub,           byte2,        static_cast<uint8_t>((address >> 16) & 1),
            B(address, 8), B(address, 0), B(length, 8), B(length, 0)};
}

}  // namespace

CVendorCmdCommon* CamLib::BridgeStatusTransport() {
    return camera_ ? camera_->SelectCommandTransport() : nullptr;
}

CVendorCmdCommon* CamLib::BridgeCommandTransport() {
    if (!(bridge_.options & kOptionForceExtUnit)) return BridgeStatusTransport();
    COrvCam* cam = orv();
    return cam ? cam->ExtUnit() : nullptr;
}

int CamLib::CamLib_Bridge_SetParams(uint64_t, uint32_t piece_size, uint32_t options) {
    bridge_.piece_size = piece_size;
    bridge_.options = options;
    // A new operation begins with no program command outstanding: what an earlier one left in
    // the mailboxes is no part of it.
    bridge_.used[0] = bridge_.used[1] = false;
    return 1;
}

bool CamLib::BridgeStatus(int mailbox, uint8_t* status) {
    CVendorCmdCommon* t = BridgeStatusTransport();
    return t &&
           t->I2CLongRead(kSlave, kStatusRegister[mailbox], 1, status, nullptr, nullptr) == kOk;
}

bool CamLib::BridgeWrite(int mailbox, const std::vector<uint8_t>& block) {
    CVendorCmdCommon* t = BridgeCommandTransport();
    const uint32_t size = static_cast<uint32_t>(block.size());
    const uint16_t reg = MailboxWriteRegister(kCommandRegister[mailbox], size);
    return t && t->I2CLongWrite(kSlave, reg, bridge_.piece_size, size, block.data(), nullptr,
                                nullptr) == kOk;
}

bool CamLib::BridgeWaitMailbox(int mailbox, uint32_t reads) {
    for (uint32_t i = 0; i < reads; ++i) {
        uint8_t status = 0xFF;
        if (!BridgeStatus(mailbox, &status) || (status & 0x01)) continue;
        bridge_.good[mailbox] = !(status & 0x02);
        return true;
    }
    return false;
}

int CamLib::BridgeCommand(const std::vector<uint8_t>& block, bool long_reply, uint8_t* reply,
                          uint32_t reply_len) {
    if (!camera_) return 0;
    if (reply_len > (long_reply ? kLongReplyMax : kShortReplyMax)) return 0;
    int mailbox = -1;
    for (uint32_t round = 0; round < kCommandReads && mailbox < 0; ++round) {
        for (int m = 0; m < 2 && mailbox < 0; ++m) {
            uint8_t status = 0xFF;
            if (BridgeStatus(m, &status) && !(status & 0x01)) mailbox = m;
        }
    }
    if (mailbox < 0 || !BridgeWrite(mailbox, block)) return 0;
    if (!BridgeWaitMailbox(mailbox, kCommandReads) || !bridge_.good[mailbox]) return 0;
    if (reply_len == 0) return 1;
    CVendorCmdCommon* t = BridgeCommandTransport();
    const uint16_t reg = long_reply ? kLongReply[mailbox] : kShortReply[mailbox];
    return t && t->I2CLongRead(kSlave, reg, reply_len, reply, nullptr, nullptr) == kOk ? 1 : 0;
}

int CamLib::CamLib_Bridge_GetMode(uint64_t, int flag) {
    CVendorCmdCommon* t = BridgeStatusTransport();
    uint8_t value = 0;
    if (!t || t->I2CLongRead(kSlave, kModeRegister, 1, &value, nullptr, nullptr) != kOk) return 0;
    const int mode = value & 0x0F;
    return mode == 1 && flag ? 2 : mode;
}

int CamLib::BridgeWaitMode(int mode) {
    for (uint32_t i = 0; i < kModeReads; ++i)
        if (CamLib_Bridge_GetMode(handle_, 0) == mode) return 1;
    return 0;
}

int CamLib::CamLib_Bridge_WaitMode1(uint64_t) {
    return BridgeWaitMode(1);
}

int CamLib::CamLib_Bridge_WaitMode2(uint64_t) {
    return BridgeWaitMode(2);
}

int CamLib::CamLib_Bridge_ReadMem(uint64_t, uint16_t addr, uint8_t len, uint8_t* buf) {
    if (len == 0 || !buf) return 0;
    return BridgeCommand({0x80, len, B(addr, 8), B(addr, 0)}, false, buf, len);
}

int CamLib::CamLib_Bridge_WriteMem(uint64_t, uint16_t addr, uint8_t len, const uint8_t* data) {
    if (len == 0 || !data) return 0;
    std::vector<uint8_t> block = {0x81, len, B(addr, 8), B(addr, 0)};
    block.insert(block.end(), data, data + len);
    return BridgeCommand(block, false, nullptr, 0);
}

int CamLib::CamLib_Bridge_FlashRead(uint64_t, uint32_t addr, uint32_t len, uint8_t* buf) {
    if (len == 0 || len > kLongReplyMax || !buf) return 0;
    return BridgeCommand(FlashBlock(0x82, 0, addr, len), true, buf, len);
}

int CamLib::CamLib_Bridge_FlashProgram(uint64_t, uint32_t addr, uint32_t len, const uint8_t* data) {
    if (!camera_ || len == 0 || len > kLongReplyMax || !data) return 0;
    std::vector<uint8_t> block = FlashBlock(0xC2, 0, addr, len);
    block.insert(block.end(), data, data + len);
    if (!bridge_.pipelined) return BridgeCommand(block, false, nullptr, 0);
    for (uint32_t waited = 0;;) {
        for (int m = 0; m < 2; ++m) {
            uint8_t status = 0xFF;
            if (!BridgeStatus(m, &status)) return 0;
            if (status & 0x01) continue;
            bridge_.good[m] = !(status & 0x02);
            // A mailbox whose last program command failed takes no further one: the failure
            // ends the sequence.
            if (bridge_.used[m] && !bridge_.good[m]) return 0;
            bridge_.used[m] = true;
            return BridgeWrite(m, block) ? 1 : 0;
        }
        process_.clock.sleep_ms(kPostPauseMs);
        waited += kPostPauseMs;
        if (waited > kPostLimit) return 0;
    }
}

int CamLib::CamLib_Bridge_FlashProgramWait(uint64_t) {
    // Every mailbox that took a program command is waited for; one that ended with its error
    // bit fails the whole sequence, whichever mailbox it was.
    int result = 1;
    for (int m = 0; m < 2; ++m) {
        if (!bridge_.used[m]) continue;
        if (!BridgeWaitMailbox(m, kWaitReads) || !bridge_.good[m]) result = 0;
    }
    bridge_.used[0] = bridge_.used[1] = false;
    return result;
}

int CamLib::CamLib_Bridge_FlashChecksum(uint64_t, uint32_t addr, uint32_t len, uint8_t* out) {
    if (!out) return 0;
    std::vector<uint8_t> block = FlashBlock(0x8A, static_cast<uint8_t>((len >> 16) & 3), addr, len);
    return BridgeCommand(block, true, out, 4);
}

int CamLib::CamLib_Bridge_FlashReadStatus(uint64_t, uint8_t* status) {
    if (!status) return 0;
    return BridgeCommand({0x01, 0x86, 0, 0, 0, 0, 0, 0x01}, true, status, 1);
}

int CamLib::CamLib_Bridge_FlashWriteStatus(uint64_t, uint8_t value) {
    return BridgeCommand({0x01, 0xC6, 0, 0, 0, 0, 0, 0x01, value}, false, nullptr, 0);
}

int CamLib::CamLib_Bridge_FlashCommand07(uint64_t) {
    return BridgeCommand({0x01, 0x07, 0, 0, 0, 0, 0, 0}, false, nullptr, 0);
}

int CamLib::CamLib_Bridge_FlashErase08(uint64_t, uint32_t addr) {
    std::vector<uint8_t> block = FlashBlock(0x08, 0, addr, 0);
    return BridgeCommand(block, false, nullptr, 0);
}

int CamLib::CamLib_Bridge_FlashCommand09(uint64_t) {
    return BridgeCommand({0x01, 0x09, 0, 0, 0, 0, 0, 0}, false, nullptr, 0);
}

int CamLib::CamLib_Bridge_Command0507(uint64_t, uint8_t value) {
    return BridgeCommand({0x05, 0x07, value, 0, 0, 0, 0, 0}, false, nullptr, 0);
}

int CamLib::CamLib_Bridge_Command0508(uint64_t) {
    return BridgeCommand({0x05, 0x08, 0, 0, 0, 0, 0, 0}, false, nullptr, 0);
}

int CamLib::CamLib_Bridge_ReadInfo(uint64_t, uint8_t* out) {
    if (!out) return 0;
    for (uint8_t part = 0; part < 4; ++part)
        if (!BridgeCommand({0x05, 0x84, part, 0, 0, 0, 0, 0x08}, true, out + part * 8, 8)) return 0;
    return 1;
}

}  // namespace orbisk
