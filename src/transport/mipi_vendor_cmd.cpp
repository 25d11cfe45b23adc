#include "transport/mipi_vendor_cmd.h"

#include <string>

#include "base/clock.h"
#include "base/logger.h"
#include "transport/i2c_pieces.h"

namespace orbisk {

namespace {

constexpr HResult kMailboxFail = 1;
constexpr uint32_t kIdlePollMs = 20;
constexpr uint32_t kIdleStep = 5;
constexpr uint32_t kIdleLimit = 50000;

const char* BridgeErrorText(uint8_t code) {
    switch (code) {
        case 1:
            return "error length\n";
        case 2:
            return "unknown command\n";
        case 3:
            return "hardware error\n";
        case 4:
            return "unknow sub command\n";
        case 5:
            return "parameter error\n";
        default:
            return "unknow error\n";
    }
}

std::vector<uint8_t> Block(std::initializer_list<uint8_t> bytes) {
    return std::vector<uint8_t>(bytes);
}

uint8_t Hi(uint32_t v) {
    return static_cast<uint8_t>(v >> 8);
}
uint8_t Lo(uint32_t v) {
    return static_cast<uint8_t>(v);
}

}  // namespace

CMipiVendorCmd::CMipiVendorCmd(CVendorCmdCommon* ext_unit, CVendorCmdCommon* underlying,
                               Logger& logger)
    : logger_(logger), ext_unit_(ext_unit), underlying_(underlying) {}

HResult CMipiVendorCmd::I2CLongRead(uint16_t slave, uint16_t reg, uint32_t len, uint8_t* buf,
                                    ProgressCallback progress, void* context) {
    if (!underlying_) return kFail;
    return underlying_->I2CLongRead(slave, reg, len, buf, progress, context);
}

HResult CMipiVendorCmd::I2CLongWrite(uint16_t slave, uint16_t reg, uint32_t piece_size,
                                     uint32_t len, const uint8_t* buf, ProgressCallback progress,
                                     void* context) {
    if (!underlying_) return kFail;
    return underlying_->I2CLongWrite(slave, reg, piece_size, len, buf, progress, context);
}

HResult CMipiVendorCmd::SetPowerMipi(uint8_t state) {
    return ext_unit_ ? ext_unit_->SetPowerMipi(state) : kFail;
}

uint8_t CMipiVendorCmd::ReadStatusByte() {
    uint8_t value = status_;
    if (I2CLongRead(kSlave, kStatusRegister, 1, &value, nullptr, nullptr) == kOk) status_ = value;
    return status_;
}

int CMipiVendorCmd::GetIdle() {
    status_ = 0xFF;
    uint32_t waited = 0;
    while (ReadStatusByte() & 0x01) {
        logger_.clock().sleep_ms(kIdlePollMs);
        waited += kIdleStep;
        if (waited > kIdleLimit) return 1;
    }
    return 0;
}

int CMipiVendorCmd::GetStatus() {
    status_ = 0xFF;
    const uint8_t status = ReadStatusByte();
    if (!(status & 0x02)) return 0;
    const uint8_t code = static_cast<uint8_t>(status >> 2);
    logger_.DebugPrint("byStatus is %d.:", code);
    if (code != 0) logger_.DebugPrint("%s", BridgeErrorText(code));
    return 1;
}

HResult CMipiVendorCmd::Mailbox(const char* label, const char* name,
                                const std::vector<uint8_t>& block, uint16_t reply_register,
                                uint8_t* reply, uint32_t reply_len) {
    const std::string n = name;
    if (reply_len != 0) logger_.DebugPrint("%s>>\n", label);
    if (GetIdle()) {
        logger_.DebugPrint("%s GetIdle TimeOut", label);
        return kMailboxFail;
    }
    const uint32_t size = static_cast<uint32_t>(block.size());
    if (I2CLongWrite(kSlave, MailboxWriteRegister(kCommandRegister, size), size, size, block.data(),
                     nullptr, nullptr) != kOk) {
        logger_.DebugPrint("Write %s Fail", n.c_str());
        return kMailboxFail;
    }
    logger_.DebugPrint("Send %s>>\n", n.c_str());
    if (GetIdle()) {
        logger_.DebugPrint("After Send %s GetIdle TimeOut", n.c_str());
        return kMailboxFail;
    }
    if (GetStatus()) {
        logger_.DebugPrint("Send %s Fail", n.c_str());
        return kMailboxFail;
    }
    if (reply_len != 0 &&
        I2CLongRead(kSlave, reply_register, reply_len, reply, nullptr, nullptr) != kOk) {
        logger_.DebugPrint("Send %s Pass, Read I2C Data Fail\n", n.c_str());
        return kMailboxFail;
    }
    return kOk;
}

HResult CMipiVendorCmd::ReadMem(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback,
                                void*) {
    // The block carries a 16-bit address and an 8-bit length.
    if (addr > 0xFFFF || len == 0 || len > 0xFF || buf == nullptr) return kMailboxFail;
    return Mailbox("MIPI_ReadMem", "cmdMIPIXMemRead", Block({0x80, Lo(len), Hi(addr), Lo(addr)}),
                   kShortReply, buf, len);
}

HResult CMipiVendorCmd::WriteMem(uint32_t addr, uint32_t len, const uint8_t* buf, ProgressCallback,
                                 void*) {
    if (addr > 0xFFFF || len == 0 || len > 0xFF || buf == nullptr) return kMailboxFail;
    std::vector<uint8_t> block = Block({0x81, Lo(len), Hi(addr), Lo(addr)});
    block.insert(block.end(), buf, buf + len);
    return Mailbox("MIPI_WriteMem", "cmdMIPIXMemWrite", block, 0, nullptr, 0);
}

HResult CMipiVendorCmd::I2CRead(uint8_t width, uint32_t reg, uint16_t* value) {
    if (value == nullptr) return kMailboxFail;
    uint8_t reply[2] = {};
    const HResult hr = Mailbox("MIPI_I2CRead", "cmdMIPII2CRead",
                               Block({0x84, 0x02, Hi(reg), Lo(reg)}), kShortReply, reply, 2);
    if (hr != kOk) return hr;
    *value = width == 1 ? reply[1] : static_cast<uint16_t>(reply[0] << 8 | reply[1]);
    return kOk;
}

HResult CMipiVendorCmd::I2CWrite(uint8_t width, uint32_t reg, uint16_t value) {
    if (width == 1) value &= 0xFF;
    return Mailbox("MIPI_I2CWrite", "cmdMIPII2CWrite",
                   Block({0x85, 0x02, Hi(reg), Lo(reg), Hi(value), Lo(value)}), 0, nullptr, 0);
}

HResult CMipiVendorCmd::Query(const char* label, const char* name,
                              const std::vector<uint8_t>& block, uint32_t len, uint8_t* out) {
    // The reply comes from the long reply area; more than it holds is not there to read.
    if (len == 0 || len > kLongReplyMax || out == nullptr) return kMailboxFail;
    return Mailbox(label, name, block, kLongReply, out, len);
}

HResult CMipiVendorCmd::GetFormatList(uint8_t index, uint16_t len, uint8_t* out) {
    return Query("MIPI_GetFormatList", "cmdMIPIGetFormatList",
                 Block({0x05, 0x86, index, 0, 0, 0, Hi(len), Lo(len)}), len, out);
}

HResult CMipiVendorCmd::GetPropSptBitmap(uint8_t index, uint16_t len, uint8_t* out) {
    return Query("MIPI_GetPropSptBitmap", "cmdMIPIGetPropSptBitmap",
                 Block({0x20, 0x81, index, 0, 0, 0, 0, 0x09}), len, out);
}

HResult CMipiVendorCmd::MIPI_ZalExtGetCTE(uint16_t len, uint8_t* out) {
    return Query("MIPI_ZalExtGetCTE", "cmdMIPIZalExtGetCTE",
                 Block({0x02, 0x82, 0, 0, 0, 0, 0, 0x02}), len, out);
}

HResult CMipiVendorCmd::MIPI_ZalExtGet3AStatus(uint16_t len, uint8_t* out) {
    return Query("MIPI_ZalExtGet3AStatus", "cmdMIPIZalExtGet3AStatus",
                 Block({0x02, 0x83, 0, 0, 0, 0, 0, 0x04}), len, out);
}

}  // namespace orbisk
