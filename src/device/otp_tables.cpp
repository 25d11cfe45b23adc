#include "device/otp_tables.h"

#include <algorithm>
#include <cstdio>

namespace orbisk::otp {

namespace {

uint16_t Be16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

}  // namespace

VdTable ParseVdTable(std::span<const uint8_t> bytes) {
    VdTable vd{};
    for (int i = 0; i < kVdEntries; ++i) {
        const size_t at = kVdEntrySize * static_cast<size_t>(i);
        if (at + kVdEntrySize > bytes.size()) break;
        const uint8_t* p = bytes.data() + at;
        vd[i] = VdEntry{Be16(p), Be16(p + 2), p[4]};
    }
    return vd;
}

EccTable ParseEccTable(std::span<const uint8_t> bytes) {
    EccTable ecc{};
    for (int k = 0; k < kEccRecords; ++k) {
        const size_t at = kEccRecordSize * static_cast<size_t>(k);
        if (at + kEccRecordSize > bytes.size()) break;
        const uint8_t* p = bytes.data() + at;
        ecc[k] = EccRecord{Be16(p), p[2], p[3]};
    }
    return ecc;
}

std::array<uint8_t, kVdEntrySize> EncodeVdEntry(const VdEntry& e) {
    return {static_cast<uint8_t>(e.address >> 8), static_cast<uint8_t>(e.address),
            static_cast<uint8_t>(e.length >> 8), static_cast<uint8_t>(e.length), e.flag};
}

std::array<uint8_t, kEccRecordSize> EncodeEccRecord(const EccRecord& r) {
    return {static_cast<uint8_t>(r.address >> 8), static_cast<uint8_t>(r.address), r.value, r.flag};
}

int PatchingRecord(const EccTable& ecc, int index) {
    const uint32_t first = VdEntryAddress(index);
    for (int k = 0; k < kEccRecords; ++k) {
        const EccRecord& r = ecc[k];
        if (r.Active() && r.address >= first && r.address <= first + kVdEntrySize - 1) return k + 1;
    }
    return 0;
}

int CountFreeEntries(const VdTable& vd) {
    return static_cast<int>(
        std::count_if(vd.begin(), vd.end(), [](const VdEntry& e) { return e.Free(); }));
}

int PreSelBlock(const VdTable& vd, const EccTable& ecc) {
    for (int i = kVdEntries - 1; i >= 0; --i)
        if (vd[i].flag != kFlagFree && EntryValid(ecc, i)) return i;
    return 0;
}

int FirstFreeEntry(const VdTable& vd, const EccTable& ecc) {
    for (int i = 0; i < kVdEntries; ++i)
        if (vd[i].Free() && EntryValid(ecc, i)) return i;
    return -1;
}

std::optional<int> PreviousBlockEntry(const VdTable& vd, const EccTable& ecc) {
    std::optional<int> best;
    for (int i = 0; i < kVdEntries; ++i) {
        if (!vd[i].NamesRange() || !EntryValid(ecc, i)) continue;
        if (!best || vd[i].End() >= vd[*best].End()) best = i;
    }
    return best;
}

int LatestBlockOfKind(const VdTable& vd, const EccTable& ecc, uint8_t flag) {
    for (int i = kVdEntries - 1; i >= 0; --i)
        if (vd[i].flag == flag && vd[i].NamesRange() && EntryValid(ecc, i)) return i;
    return -1;
}

std::optional<uint32_t> FindAbnormalRun(std::span<const uint8_t> bytes, uint32_t start) {
    size_t run = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        run = bytes[i] != 0 ? run + 1 : 0;
        if (run == 8) return start + static_cast<uint32_t>(i - 7);
    }
    return std::nullopt;
}

EccCounts CountEcc(const EccTable& ecc, uint32_t start, uint32_t length) {
    EccCounts c;
    const uint64_t end = uint64_t{start} + length;
    for (int k = 0; k < kEccRecords; ++k) {
        const EccRecord& r = ecc[k];
        if (r.Active() && r.address < start) {
            // Only eight old records are remembered, and the count stops at 0.
            if (c.actual > 0) {
                c.old_records.push_back(k + 1);
                --c.actual;
            }
        } else if (r.Reserved()) {
            if (r.address < end)
                ++c.virtual_;
            else if (r.address < kDataEnd)
                ++c.sub;
        } else if (r.Blank()) {
            ++c.virtual_;
        }
    }
    return c;
}

unsigned ExecEccNum(unsigned virtual_records, unsigned sub) {
    const unsigned room = sub >= kFailSlots ? 0 : kFailSlots - sub;
    return std::min(virtual_records, room);
}

std::vector<int> ReservedInBlock(const EccTable& ecc, uint32_t start, uint32_t length) {
    std::vector<int> records;
    for (int k = 0; k < kEccRecords; ++k) {
        const EccRecord& r = ecc[k];
        if (r.Reserved() && r.address >= start && uint64_t{r.address} < uint64_t{start} + length)
            records.push_back(k + 1);
    }
    return records;
}

void ApplyEcc(const EccTable& ecc, uint32_t start, std::span<uint8_t> block) {
    for (const EccRecord& r : ecc) {
        if (!r.Active() || r.address < start) continue;
        const uint32_t offset = r.address - start;
        if (offset < block.size()) block[offset] = r.value;
    }
}

bool BelongsToKind(const VdTable& vd, uint16_t address, uint8_t flag, bool* same_start) {
    for (const VdEntry& e : vd) {
        if (e.flag != flag || address < e.address || address >= e.End()) continue;
        if (same_start) *same_start = address == e.address;
        return true;
    }
    return false;
}

int RecordForRepair(const EccTable& ecc, uint16_t address) {
    // A record reserved for the address must be the one used: a blank record taken instead
    // would leave the reserved one (value 0) overriding it.
    for (int k = 0; k < kEccRecords; ++k)
        if (ecc[k].Reserved() && ecc[k].address == address) return k + 1;
    for (int k = 0; k < kEccRecords; ++k)
        if (ecc[k].Blank()) return k + 1;
    return 0;
}

FailReport ParseFailReport(std::span<const uint8_t> bytes) {
    FailReport report;
    if (bytes.empty()) return report;
    report.count = bytes[0];
    const unsigned listed = std::min(report.count, kReportAddresses);
    for (unsigned i = 0; i < listed && 2 + 2 * i < bytes.size(); ++i)
        report.addresses.push_back(Be16(bytes.data() + 1 + 2 * i));
    return report;
}

SpaceFacts ReadSpace(const VdTable& vd, const EccTable& ecc) {
    SpaceFacts facts;
    int highest = -1;
    for (int i = 0; i < kVdEntries; ++i) {
        // Dead blocks whose flag kept a weak bit clear count as used too.
        if (vd[i].Free()) continue;
        highest = i;
        if (vd[i].NamesRange()) facts.used = std::max(facts.used, vd[i].End());
    }
    facts.free_entries = 0;
    for (int i = highest + 1; i < kVdEntries; ++i)
        if (vd[i].Free() && EntryValid(ecc, i)) ++facts.free_entries;
    return facts;
}

std::string SpaceText(const SpaceFacts& facts, uint32_t image_length) {
    const uint32_t free = FreeBytes(facts.used);
    char text[160];
    if (image_length > 0) {
        const int times = std::min(static_cast<int>(free / image_length), facts.free_entries);
        std::snprintf(text, sizeof text,
                      "Used OTP Space: %0.2f KB Free OTP Space: %0.2f KB Remaining Programmable "
                      "Times: %d.",
                      facts.used / 1024.0, free / 1024.0, times);
    } else {
        std::snprintf(text, sizeof text, "Used OTP Space: %0.2f KB, Remain OTP Space: %0.2f KB.",
                      facts.used / 1024.0, free / 1024.0);
    }
    return text;
}

}  // namespace orbisk::otp
