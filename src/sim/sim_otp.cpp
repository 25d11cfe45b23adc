#include "sim/sim_otp.h"

#include <algorithm>
#include <cstdio>

namespace orbisk::sim {

namespace {

// The layout the boot ROM knows: blocks below 0x3F60, sixteen 5-byte VD entries from 0x3F70,
// sixteen 4-byte ECC records from 0x3FC0.
constexpr uint32_t kBlockLimit = 0x3F60;
constexpr uint32_t kVdTable = 0x3F70;
constexpr uint32_t kEccTable = 0x3FC0;
constexpr int kEntries = 16;
constexpr size_t kBlockHeader = 15;

struct Entry {
    uint32_t address, length;
    uint8_t flag;
};
struct Record {
    uint32_t address;
    uint8_t value, flag;
};

Entry EntryAt(const std::vector<uint8_t>& otp, int i) {
    const uint8_t* p = &otp[kVdTable + 5 * i];
    return {uint32_t(p[0] << 8 | p[1]), uint32_t(p[2] << 8 | p[3]), p[4]};
}

Record RecordAt(const std::vector<uint8_t>& otp, int i) {
    const uint8_t* p = &otp[kEccTable + 4 * i];
    return {uint32_t(p[0] << 8 | p[1]), p[2], p[3]};
}

bool Active(const Record& r) {
    return r.flag == 0x5A;
}

bool Patched(const std::vector<uint8_t>& otp, int entry) {
    const uint32_t first = kVdTable + 5 * entry;
    for (int k = 0; k < kEntries; ++k) {
        const Record r = RecordAt(otp, k);
        if (Active(r) && r.address >= first && r.address < first + 5) return true;
    }
    return false;
}

// The newest entry of `flag` whose block the ROM can read, and that block through the ECC
// records; -1 when there is none.
int NewestBlock(const std::vector<uint8_t>& otp, uint8_t flag, std::vector<uint8_t>* block) {
    for (int i = kEntries - 1; i >= 0; --i) {
        const Entry e = EntryAt(otp, i);
        if (e.flag != flag || Patched(otp, i)) continue;
        if (e.length < kBlockHeader || e.address + e.length > kBlockLimit) continue;
        std::vector<uint8_t> bytes(otp.begin() + e.address, otp.begin() + e.address + e.length);
        for (int k = 0; k < kEntries; ++k) {
            const Record r = RecordAt(otp, k);
            if (Active(r) && r.address >= e.address && r.address < e.address + e.length)
                bytes[r.address - e.address] = r.value;
        }
        // A block starts with a configuration header that gives its own length.
        if (bytes[1] != 0xA5 || uint32_t(bytes[3] | bytes[4] << 8) != e.length) continue;
        *block = std::move(bytes);
        return i;
    }
    return -1;
}

const char* KindName(uint8_t flag) {
    switch (flag) {
        case 0x00:
            return "free";
        case 0x55:
            return "code";
        case 0xAA:
            return "configuration";
        case 0xFF:
            return "dead";
        default:
            return "damaged";
    }
}

}  // namespace

SimOtp::SimOtp(std::vector<uint8_t> bytes, const Faults& faults, Clock& clock, const Timing& timing)
    : bytes_(std::move(bytes)), faults_(faults), clock_(clock), timing_(timing) {
    bytes_.resize(kOtpSize, 0x00);
}

void SimOtp::Read(uint32_t address, uint32_t length, uint8_t* out) const {
    std::copy_n(bytes_.begin() + address, length, out);
}

uint8_t SimOtp::WeakMask(uint32_t address) const {
    uint8_t mask = 0;
    for (const auto& [weak_address, weak_mask] : faults_.otp_weak)
        if (weak_address == address) mask |= weak_mask;
    return mask;
}

void SimOtp::Program(uint32_t address, const uint8_t* data, uint32_t length, uint16_t budget) {
    (void)budget;
    ++writes_;
    clock_.sleep_us(uint64_t{(length + 255) / 256} * timing_.page_program_us);
    std::vector<uint32_t> failed;
    uint32_t count = 0;
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t a = address + i;
        if (!Locked()) bytes_[a] |= static_cast<uint8_t>(data[i] & ~WeakMask(a));
        if ((bytes_[a] & data[i]) != data[i]) {
            ++count;
            if (failed.size() < 9) failed.push_back(a);
        }
    }
    if (faults_.otp_false_report != 0 && writes_ == faults_.otp_false_report && length > 0 &&
        std::find(failed.begin(), failed.end(), address) == failed.end()) {
        // The lie: the first byte of the write is reported failed although it took.
        failed.insert(failed.begin(), address);
        if (failed.size() > 9) failed.pop_back();
        ++count;
    }
    report_.fill(0);
    report_[0] = static_cast<uint8_t>(std::min<uint32_t>(count, 0xFF));
    for (size_t i = 0; i < failed.size(); ++i) {
        report_[1 + 2 * i] = static_cast<uint8_t>(failed[i] >> 8);
        report_[2 + 2 * i] = static_cast<uint8_t>(failed[i]);
    }
}

OtpBoot ReadOtpBoot(const std::vector<uint8_t>& otp) {
    OtpBoot boot;
    if (otp.size() < kOtpSize) return boot;
    std::vector<uint8_t> code, config;
    boot.code_entry = NewestBlock(otp, 0x55, &code);
    boot.config_entry = NewestBlock(otp, 0xAA, &config);
    if (boot.code_entry < 0) return boot;
    boot.image = code;
    if (boot.config_entry >= 0) {
        boot.image.insert(boot.image.end(), config.begin() + kBlockHeader, config.end());
        // The whole chain: variant 2 of the configuration block's chip model.
        boot.image[2] = static_cast<uint8_t>((config[2] & 0xF8) | 2);
        boot.image[3] = static_cast<uint8_t>(boot.image.size());
        boot.image[4] = static_cast<uint8_t>(boot.image.size() >> 8);
        boot.image[5] = static_cast<uint8_t>(config[5] + 1);
    }
    // No tag in OTP: the block's presence is what counts.
    boot.facts = ReadImageFacts(boot.image, 0, static_cast<uint32_t>(boot.image.size()));
    boot.bootable = boot.facts.has_identity;
    return boot;
}

std::vector<uint8_t> LayOutOtpImage(const std::vector<uint8_t>& image, std::string* error) {
    const auto refuse = [&](const char* why) {
        *error = why;
        return std::vector<uint8_t>{};
    };
    if (image.size() < kBlockHeader || image[1] != 0xA5)
        return refuse("no configuration chain at offset 0");
    const size_t total = uint32_t(image[3] | image[4] << 8);
    if (total < kBlockHeader || total > image.size() || total > kBlockLimit)
        return refuse("the chain is longer than the image or the OTP data area");
    // The code record: length field 1023, type 0x27, its total length in bytes 2..3.
    const uint8_t* r = &image[kBlockHeader];
    size_t code = 0;
    if (total >= kBlockHeader + 4 && r[0] == 0xFF && r[1] == 0xE7)
        code = uint32_t(r[2] | r[3] << 8);
    if (code > total - kBlockHeader) return refuse("the code record passes the chain's end");
    std::vector<uint8_t> otp(kOtpSize, 0);
    const auto block = [&](uint32_t at, std::vector<uint8_t> bytes, uint8_t variant, uint8_t count,
                           uint8_t flag, int entry) {
        bytes[2] = static_cast<uint8_t>((image[2] & 0xF8) | variant);
        bytes[3] = static_cast<uint8_t>(bytes.size());
        bytes[4] = static_cast<uint8_t>(bytes.size() >> 8);
        bytes[5] = count;
        std::copy(bytes.begin(), bytes.end(), otp.begin() + at);
        const uint8_t e[5] = {uint8_t(at >> 8), uint8_t(at), uint8_t(bytes.size() >> 8),
                              uint8_t(bytes.size()), flag};
        std::copy(e, e + 5, otp.begin() + kVdTable + 5 * entry);
        return at + static_cast<uint32_t>(bytes.size());
    };
    const auto head = image.begin() + kBlockHeader;
    if (code == 0) {
        block(0, std::vector<uint8_t>(image.begin(), image.begin() + total), image[2] & 7, image[5],
              0xAA, 0);
        return otp;
    }
    const uint32_t end = block(0, std::vector<uint8_t>(image.begin(), head + code), 3, 3, 0x55, 0);
    std::vector<uint8_t> config(image.begin(), head);
    config.insert(config.end(), head + code, image.begin() + total);
    if (config.size() > kBlockHeader) block(end, config, 1, uint8_t(image[5] - 1), 0xAA, 1);
    return otp;
}

std::vector<std::string> DescribeOtpTables(const std::vector<uint8_t>& otp) {
    std::vector<std::string> lines;
    if (otp.size() < kOtpSize) return lines;
    char line[160];
    for (int i = 0; i < kEntries; ++i) {
        const Entry e = EntryAt(otp, i);
        if (e.address == 0 && e.length == 0 && e.flag == 0 && !Patched(otp, i)) continue;
        std::snprintf(line, sizeof line, "VD %2d: %-13s block 0x%04X..0x%04X (%u bytes)%s", i,
                      KindName(e.flag), e.address, e.address + e.length, e.length,
                      Patched(otp, i) ? ", patched by an ECC record" : "");
        lines.emplace_back(line);
    }
    for (int k = 0; k < kEntries; ++k) {
        const Record r = RecordAt(otp, k);
        if (r.address == 0 && r.value == 0 && r.flag == 0) continue;
        const char* state = !Active(r) ? "dead" : r.value == 0 ? "reserved" : "active";
        std::snprintf(line, sizeof line, "ECC %2d: %-8s byte 0x%04X reads 0x%02X (flag 0x%02X)",
                      k + 1, state, r.address, r.value, r.flag);
        lines.emplace_back(line);
    }
    const auto count = [&](const char* prefix) {
        return static_cast<int>(
            std::count_if(lines.begin(), lines.end(),
                          [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
    };
    std::snprintf(line, sizeof line, "%d of 16 VD entries and %d of 16 ECC records used",
                  count("VD"), count("ECC"));
    lines.emplace_back(line);
    return lines;
}

}  // namespace orbisk::sim
