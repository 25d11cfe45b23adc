// The extension unit's command channel from the device side: an 8-byte command on the
// command control, an optional data phase in packets of the data-control size on the data
// control, and the status block. Anything out of order stalls and leaves its status code.
#include <algorithm>
#include <cstring>

#include "sim/sim_camera.h"

namespace orbisk::sim {

HResult SimCamera::XuFail(uint8_t status) {
    status_ = status;
    phase_ = Phase::kIdle;
    return Stall();
}

HResult SimCamera::XuSetCommand(const uint8_t* data, uint16_t length) {
    if (length != 8) return XuFail(kStsErrLen);
    Command command;
    command.group = data[0];
    command.opcode = data[1];
    command.p1 = static_cast<uint16_t>(data[2] | (data[3] << 8));
    command.p2 = static_cast<uint16_t>(data[4] | (data[5] << 8));
    command.p3 = static_cast<uint16_t>(data[6] | (data[7] << 8));
    if (command.group == 0xFF) {  // abort: back to waiting for a command
        phase_ = Phase::kIdle;
        status_ = kStsCmd;
        return kOk;
    }
    if (phase_ != Phase::kIdle) {
        // The data phase of the previous command is still open; it stays open.
        status_ = kStsNotFinish;
        return Stall();
    }
    command_ = command;
    const uint8_t status = XuStart(command);
    if (status == kStsDataIn || status == kStsDataOut || status == kStsNoErr) {
        status_ = status;
        return kOk;
    }
    return XuFail(status);
}

bool SimCamera::FlashWriteOpen() const {
    return phase_ == Phase::kDataOut && ((command_.group == 0x00 && command_.opcode == 0x85) ||
                                         (command_.group == 0x02 && command_.opcode == 0x82));
}

bool SimCamera::StorageAllowed() const {
    return !settings_.app_mode || settings_.app_allows_flash_write;
}

uint8_t SimCamera::XuStart(const Command& c) {
    const uint8_t shape = CheckCommand(c.group, c.opcode, c.p1, c.p2, c.p3);
    if (shape != kStsNoErr) return shape;
    const bool data_phase = (c.opcode & 0x80) != 0;
    const bool in = data_phase && (c.opcode & 0x40) != 0;
    const bool nor = settings_.memory == MemoryKind::kNorFlash;
    buffer_.clear();
    done_ = 0;
    // One packet of the data-control size, or a data phase of p2 bytes.
    auto packet_in = [&]() {
        buffer_.assign(data_size_, 0);
        expected_ = data_size_;
    };
    auto bytes_in = [&](Space space, uint32_t address) -> uint8_t {
        buffer_.assign(c.p2, 0);
        expected_ = c.p2;
        return ReadSpace(space, address, c.p2, buffer_.data());
    };
    auto packet_out = [&]() { expected_ = data_size_; };
    auto bytes_out = [&](Space space, uint32_t address) -> uint8_t {
        expected_ = c.p2;
        // The range is checked before any data arrives.
        if (!InRange(space, address, c.p2)) return kStsErrOutRange;
        if (space == Space::kSerialFlash || space == Space::kNorFlash) {
            flash_.BeginWrite();
            programmed_ = 0;
        }
        return kStsNoErr;
    };
    uint8_t result = kStsUnknownSubCmd;
    if (c.group == 0x00) {
        switch (c.opcode) {
            case 0xD0:  // qualify
                packet_in();
                std::memcpy(buffer_.data(), settings_.faults.bad_qualify ? "ZORVINE " : "ZORVINE",
                            std::min<size_t>(8, buffer_.size()));
                result = kStsNoErr;
                break;
            case 0xCD:  // one 8-byte record of the status block
                if (c.p1 * 8u >= kStatusBlockSize) return kStsErrOutRange;
                packet_in();
                StatusRecord(c.p1, buffer_.data());
                result = kStsNoErr;
                break;
            case 0x07:
                ScheduleUpdateReset(c.p1);
                return kStsNoErr;
            case 0x08:
            case 0x09:
                ScheduleReset(BootTarget::kCode);
                return kStsNoErr;
            case 0xC1:
                result = bytes_in(Space::kIram, c.p1);
                break;
            case 0xC2:
                result = bytes_in(Space::kXdata, c.address());
                break;
            case 0x82:
                result = bytes_out(Space::kXdata, c.address());
                break;
            case 0xC3:
                result = bytes_in(Space::kCode, c.p1);
                break;
            case 0xCC:
                packet_in();
                result = ReadSpace(Space::kPhy, c.p1, 1, buffer_.data());
                break;
            case 0x8C:
                packet_out();
                result = kStsNoErr;
                break;
            case 0x04:
                if (!nor || !StorageAllowed()) return kStsUnknownSubCmd;
                return EraseChip();
            case 0xC5:
                if (!nor) return kStsUnknownSubCmd;
                result = bytes_in(Space::kNorFlash, c.p1);
                break;
            case 0x85:
                if (!nor || !StorageAllowed()) return kStsUnknownSubCmd;
                result = bytes_out(Space::kNorFlash, c.p1);
                break;
            case 0x06:
                if (!nor || !StorageAllowed()) return kStsUnknownSubCmd;
                return WriteTag(true);
            case 0x16:
                return ChangeDataSize(c.p2);
            case 0x2E:
                return kStsNoErr;  // image-quality patch: nothing to load here
            case 0x93:
                packet_out();
                result = kStsNoErr;
                break;
            case 0xD3:
                packet_in();
                std::copy(mode_bytes_.begin(), mode_bytes_.end(), buffer_.begin());
                result = kStsNoErr;
                break;
            case 0xFC:  // p2 = 1: write-protect status; p2 = 8: bypass mode query
                packet_in();
                if (c.p2 == 1) buffer_[0] = WpPinHigh() ? 0 : 1;
                result = kStsNoErr;
                break;
            case 0xBD:
                expected_ = c.p2;
                result = kStsNoErr;
                break;
            case 0xB3:
                packet_out();
                result = kStsNoErr;
                break;
            case 0xF0:  // I2C long read: p1 register, p2 length, p3 slave
                buffer_.assign(c.p2, 0);
                expected_ = c.p2;
                result = I2cLongRead(c.p3, c.p1, buffer_.data(), c.p2);
                break;
            case 0xB0:  // I2C long write
                if (c.p2 == 0 || c.p2 > kI2cPieceMax) return kStsErrLen;
                expected_ = c.p2;
                result = kStsNoErr;
                break;
            default:
                return kStsUnknownSubCmd;
        }
    } else if (c.group == 0x02 && otp_) {
        result = OtpStart(c);
    } else if (c.group == 0x02 && eeprom_) {
        result = EepromStart(c);
    } else if (c.group == 0x02) {
        // A NOR camera's firmware keeps only the plain serial-flash read, which reads its
        // program memory: hosts verify NOR flash with it.
        if (nor && c.opcode != 0xC2) return kStsUnknownSubCmd;
        const bool write = !in;
        if (write && !StorageAllowed() && c.opcode != 0xC1) return kStsUnknownSubCmd;
        switch (c.opcode) {
            case 0xC1:
                packet_in();
                FlashId(buffer_.data());
                result = kStsNoErr;
                break;
            case 0xC2:
            case 0xD4:
            case 0xD5:
            case 0xD6:
                result = bytes_in(nor ? Space::kNorFlash : Space::kSerialFlash, c.address());
                break;
            case 0x82:
                result = bytes_out(Space::kSerialFlash, c.address());
                break;
            case 0xC3:
                packet_in();
                buffer_[0] = flash_.ReadStatus();
                result = kStsNoErr;
                break;
            case 0x83:
                packet_out();
                result = kStsNoErr;
                break;
            case 0x04:
                return EraseChip();
            case 0x05:
                return EraseSector(c.address());
            case 0x13:
                return WriteTag(false);
            default:
                return kStsUnknownSubCmd;
        }
    } else {
        return kStsUnknownSubCmd;
    }
    if (result != kStsNoErr) return result;
    if (!data_phase) return kStsNoErr;
    if (expected_ == 0) return kStsNoErr;  // a zero-length transfer is complete at once
    phase_ = in ? Phase::kDataIn : Phase::kDataOut;
    if (!in) buffer_.clear();
    return in ? kStsDataIn : kStsDataOut;
}

HResult SimCamera::XuData(bool in, uint8_t* data, uint16_t length, uint32_t* transferred) {
    *transferred = 0;
    if (phase_ != (in ? Phase::kDataIn : Phase::kDataOut)) return XuFail(kStsErrDir);
    const size_t remaining = expected_ - done_;
    // Full packets only, except a last packet of exactly the bytes that remain.
    if (length != data_size_ && !(length == remaining && remaining < data_size_))
        return XuFail(kStsErrLen);
    const size_t count = std::min<size_t>(length, remaining);
    if (in) {
        std::memcpy(data, buffer_.data() + done_, count);
        std::memset(data + count, 0, length - count);
    } else {
        buffer_.insert(buffer_.end(), data, data + count);
        if (FlashWriteOpen() || EepromWriteOpen()) {
            const uint8_t status =
                FlashWriteOpen() ? ProgramBuffered(false) : EepromBuffered(false);
            if (status != kStsNoErr) return XuFail(status);
        }
    }
    done_ += count;
    *transferred = length;
    if (done_ < expected_) return kOk;
    phase_ = Phase::kIdle;
    status_ = in ? static_cast<uint8_t>(kStsNoErr) : XuFinishOut();
    return status_ == kStsNoErr ? kOk : Stall();
}

uint8_t SimCamera::XuFinishOut() {
    const Command& c = command_;
    const uint8_t* data = buffer_.data();
    if (c.group == 0x00) {
        switch (c.opcode) {
            case 0x82:
                return WriteSpace(Space::kXdata, c.address(), data, c.p2);
            case 0x8C:
                return WriteSpace(Space::kPhy, c.p1, data, 1);
            case 0x85:
                return ProgramBuffered(true);
            case 0x93:
                mode_bytes_ = {data[0], data[1]};
                return kStsNoErr;
            case 0xBD:
                sw_write_protect_ = data[0];
                return kStsNoErr;
            case 0xB3:
                power_mipi_ = data[0];
                PowerBridge();
                return kStsNoErr;
            case 0xB0:
                return I2cLongWrite(c.p3, c.p1, data, c.p2);
            default:
                break;
        }
    } else if (c.group == 0x02 && otp_) {
        return OtpFinishOut();
    } else if (c.group == 0x02 && eeprom_) {
        return EepromFinishOut();
    } else if (c.group == 0x02) {
        switch (c.opcode) {
            case 0x82:
                return ProgramBuffered(true);
            case 0x83:
                return WriteFlashStatus(data[0]);
            default:
                break;
        }
    }
    return kStsUnknownSubCmd;
}

}  // namespace orbisk::sim
