// The commands of the bridge's mailboxes. Error codes: 1 length, 2 unknown command, 3 hardware
// error, 4 unknown sub-command, 5 parameter error.
#include <algorithm>
#include <cstring>

#include "sim/sim_bridge.h"

namespace orbisk::sim {

namespace {

constexpr uint8_t kLength = 1, kUnknownSub = 4, kParameter = 5;
constexpr uint32_t kPageSize = 256;
constexpr uint32_t kSectorSize = 4096;
constexpr size_t kShortReply = 4, kLongReply = 8;
constexpr size_t kLongReplyMax = SimBridge::kMailboxSize - kLongReply;

// CRC-32 with polynomial 0x04C11DB7, initial value 0xFFFFFFFF, most significant bit first, no
// final XOR: what the bridge's checksum command computes over its flash.
uint32_t Crc32Mpeg2(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= uint32_t{data[i]} << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

uint32_t Address17(const uint8_t* b) {
    return uint32_t{b[3] & 1u} << 16 | uint32_t{b[4]} << 8 | b[5];
}

}  // namespace

void SimBridge::Program(uint32_t address, const uint8_t* data, uint32_t length) {
    // A page program wraps at the end of its page, as the part does.
    const uint32_t page = address / kPageSize * kPageSize;
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t at = page + (address - page + i) % kPageSize;
        flash_[at] &= data[i];
    }
}

uint8_t SimBridge::FlashCommand(int index, uint64_t at_us, const uint8_t* b, size_t size) {
    const BridgeTiming& t = settings_.timing;
    const uint64_t begin = at_us + t.command_us;
    const bool application = mode_ == 2;
    const uint32_t address = Address17(b);
    const uint32_t length = uint32_t{b[6]} << 8 | b[7];
    uint8_t* reply = mailboxes_[index].buffer.data() + kLongReply;
    auto read_us = [&](uint32_t bytes) { return uint64_t{bytes} * t.read_ns_per_byte / 1000; };
    if (size < 8) return kLength;
    // The whole-flash erase and the completion belong to the boot ROM; the application keeps
    // its own data sectors with sector erase and program.
    const uint8_t sub = b[1];
    if ((sub == 0x07 || sub == 0x09) && application) return kUnknownSub;
    switch (sub) {
        case 0x82: {  // read
            if (size != 8) return kLength;
            if (length == 0 || length > kLongReplyMax || address + length > flash_.size())
                return kParameter;
            Record(index, 0x01, sub, address, length, false);
            Schedule(index, FlashSlot(begin, read_us(length)), [this, reply, address, length] {
                std::memcpy(reply, flash_.data() + address, length);
                return uint8_t{0};
            });
            return 0;
        }
        case 0xC2: {  // program
            if (length == 0 || length > kLongReplyMax) return kParameter;
            if (size != 8 + length) return kLength;
            if (address + length > flash_.size()) return kParameter;
            const BridgeFaults& f = settings_.faults;
            const bool fails =
                f.fail_program && f.fail_address >= address && f.fail_address - address < length;
            Record(index, 0x01, sub, address, length, fails);
            std::vector<uint8_t> data(b + 8, b + 8 + length);
            Schedule(index, FlashSlot(begin, t.page_program_us),
                     [this, fails, address, data = std::move(data)] {
                         if (fails) return uint8_t{3 << 2 | 0x02};
                         if (!Protected())
                             Program(address, data.data(), static_cast<uint32_t>(data.size()));
                         return uint8_t{0};
                     });
            return 0;
        }
        case 0x8A: {  // checksum
            const uint32_t span = uint32_t{b[2] & 3u} << 16 | length;
            if (size != 8) return kLength;
            if (span == 0 || address + span > flash_.size()) return kParameter;
            Record(index, 0x01, sub, address, span, false);
            Schedule(index, FlashSlot(begin, read_us(span)), [this, reply, address, span] {
                const uint32_t crc = Crc32Mpeg2(flash_.data() + address, span);
                for (int i = 0; i < 4; ++i) reply[i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
                return uint8_t{0};
            });
            return 0;
        }
        case 0x86: {  // status read: allowed while the flash works, which its busy bit shows
            if (size != 8) return kLength;
            Record(index, 0x01, sub, 0, 1, false);
            const bool busy = begin < flash_free_at_;
            Schedule(index, begin, [this, reply, busy] {
                reply[0] = static_cast<uint8_t>(settings_.flash_status | (busy ? 0x01 : 0x00));
                return uint8_t{0};
            });
            return 0;
        }
        case 0xC6: {  // status write: the command ends when it is issued; the part stays busy
            if (size != 9) return kLength;
            const uint8_t value = b[8];
            Record(index, 0x01, sub, 0, value, false);
            const uint64_t issued = FlashSlot(begin, 0);
            flash_free_at_ = issued + uint64_t{t.status_write_ms} * 1000;
            Schedule(index, issued, [this, value] {
                // With the status-register write disable set, only a high write-protect pin
                // lets a new value in.
                if (!(settings_.flash_status & 0x80) || WpPinHigh())
                    settings_.flash_status = static_cast<uint8_t>(value & 0xFC);
                return uint8_t{0};
            });
            return 0;
        }
        case 0x07:    // whole-flash erase; the image is no longer complete
        case 0x08: {  // sector erase
            if (size != 8) return kLength;
            const bool whole = sub == 0x07;
            if (!whole && address >= flash_.size()) return kParameter;
            Record(index, 0x01, sub, whole ? 0 : address, whole ? flash_.size() : kSectorSize,
                   false);
            const uint64_t busy_us = uint64_t{whole ? t.chip_erase_ms : t.sector_erase_ms} * 1000;
            Schedule(index, FlashSlot(begin, busy_us), [this, whole, address] {
                if (Protected()) return uint8_t{0};
                if (whole) {
                    std::fill(flash_.begin(), flash_.end(), 0xFF);
                    settings_.complete = false;
                } else {
                    std::fill_n(flash_.begin() + address / kSectorSize * kSectorSize, kSectorSize,
                                0xFF);
                }
                return uint8_t{0};
            });
            return 0;
        }
        case 0x09:  // completion: from now on the bridge starts the code in its flash
            if (size != 8) return kLength;
            Record(index, 0x01, sub, 0, 0, false);
            Schedule(index, FlashSlot(begin, 0), [this] {
                settings_.complete = true;
                return uint8_t{0};
            });
            return 0;
        default:
            return kUnknownSub;
    }
}

uint8_t SimBridge::ModeCommand(int index, uint64_t at_us, const uint8_t* b, size_t size) {
    const uint64_t done = at_us + settings_.timing.command_us;
    uint8_t* reply = mailboxes_[index].buffer.data() + kLongReply;
    if (size != 8) return kLength;
    const uint16_t command = static_cast<uint16_t>(b[0] << 8 | b[1]);
    switch (command) {
        case 0x0507:    // leave the application for the boot ROM
        case 0x0508: {  // restart into the code
            const bool into_code = command == 0x0508;
            Record(index, b[0], b[1], 0, 0, false);
            Schedule(index, done, [this, into_code, done] {
                restart_at_ = done + settings_.timing.reset_delay_us;
                restart_into_code_ = into_code;
                return uint8_t{0};
            });
            return 0;
        }
        case 0x0584: {  // information: four 8-byte parts
            const uint8_t part = b[2];
            if (part > 3 || b[7] != 8) return kParameter;
            Record(index, b[0], b[1], part, 8, false);
            Schedule(index, done, [this, reply, part] {
                const std::array<uint8_t, 32> info = BuildInfo();
                std::memcpy(reply, info.data() + part * 8, 8);
                return uint8_t{0};
            });
            return 0;
        }
        case 0x0586:  // format list, property bitmap, colour and 3A status: fixed answers
        case 0x2081:
        case 0x0282:
        case 0x0283: {
            const uint8_t seed = b[1] ^ b[2];
            Record(index, b[0], b[1], b[2], 0, false);
            Schedule(index, done, [reply, seed] {
                for (size_t i = 0; i < kLongReplyMax; ++i)
                    reply[i] = static_cast<uint8_t>(seed + i);
                return uint8_t{0};
            });
            return 0;
        }
        default:
            return b[0] == 0x05 ? kUnknownSub : uint8_t{2};
    }
}

uint8_t SimBridge::RegisterCommand(int index, uint64_t at_us, const uint8_t* b, size_t size) {
    const uint64_t done = at_us + settings_.timing.command_us;
    uint8_t* reply = mailboxes_[index].buffer.data() + kShortReply;
    const uint16_t address = static_cast<uint16_t>(b[2] << 8 | b[3]);
    const uint8_t length = b[1];
    switch (b[0]) {
        case 0x80:  // memory read into the short reply
            if (size != 4) return kLength;
            if (length == 0) return kParameter;
            Record(index, b[0], 0, address, length, false);
            Schedule(index, done, [this, reply, address, length] {
                for (uint32_t i = 0; i < length; ++i)
                    reply[i] = xdata_[static_cast<uint16_t>(address + i)];
                return uint8_t{0};
            });
            return 0;
        case 0x81: {  // memory write
            if (length == 0) return kParameter;
            if (size != 4u + length) return kLength;
            Record(index, b[0], 0, address, length, false);
            std::vector<uint8_t> data(b + 4, b + 4 + length);
            Schedule(index, done, [this, address, data = std::move(data)] {
                for (size_t i = 0; i < data.size(); ++i)
                    xdata_[static_cast<uint16_t>(address + i)] = data[i];
                return uint8_t{0};
            });
            return 0;
        }
        case 0x84:  // sensor register read: two bytes, most significant first
            if (size != 4) return kLength;
            if (length != 2) return kParameter;
            Record(index, b[0], 0, address, 2, false);
            Schedule(index, done, [this, reply, address] {
                const uint16_t value = sensor_[address];
                reply[0] = static_cast<uint8_t>(value >> 8);
                reply[1] = static_cast<uint8_t>(value);
                return uint8_t{0};
            });
            return 0;
        default: {  // 0x85: sensor register write
            if (size != 6) return kLength;
            if (length != 2) return kParameter;
            const uint16_t value = static_cast<uint16_t>(b[4] << 8 | b[5]);
            Record(index, b[0], 0, address, 2, false);
            Schedule(index, done, [this, address, value] {
                sensor_[address] = value;
                return uint8_t{0};
            });
            return 0;
        }
    }
}

}  // namespace orbisk::sim
