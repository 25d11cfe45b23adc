#include "device/dump_compare.h"

#include <algorithm>
#include <cstring>

#include "device/chunked_transfer.h"
#include "image/config_chain.h"

namespace orbisk {

namespace {

constexpr uint8_t kPatchWriteBackType = 9;

bool RangeEqual(std::span<const uint8_t> a, std::span<const uint8_t> b, uint64_t from,
                uint64_t to) {
    if (to <= from) return true;
    if (to > a.size() || to > b.size()) return false;
    return std::memcmp(a.data() + from, b.data() + from, to - from) == 0;
}

void Fill(std::span<uint8_t> data, uint64_t from, uint64_t count) {
    if (from + count > data.size()) return;
    std::fill_n(data.begin() + from, count, 0xFF);
}

}  // namespace

DumpGroup DumpGroupFor(uint8_t chip_model, uint32_t read_length) {
    switch (chip_model) {
        case 2:
        case 8:
        case 9:
        case 11:
        case 12:
        case 13:
        case 16:
            return DumpGroup::kA;
        case 18:
            if (read_length == 0x10000) return DumpGroup::kA;
            if (read_length == 0x20000) return DumpGroup::kC;
            return DumpGroup::kG;
        case 10:
            return DumpGroup::kB;
        case 15:
            return DumpGroup::kC;
        case 6:
            return DumpGroup::kD;
        case 20:
        case 22:
        case 23:
            return DumpGroup::kE;
        case 3:
        case 19:
            return DumpGroup::kF;
        default:
            return DumpGroup::kG;
    }
}

std::optional<uint32_t> PatchBlockAddress(DumpGroup group) {
    switch (group) {
        case DumpGroup::kA:
            return 0xF000;
        case DumpGroup::kB:
            return 0x1C000;
        case DumpGroup::kC:
            return 0x1F000;
        case DumpGroup::kD:
            return 0xE000;
        default:
            return std::nullopt;
    }
}

std::vector<ChainRecord> WalkChainRecords(std::span<const uint8_t> area) {
    std::vector<ChainRecord> records;
    CConfigReader reader;
    reader.Load(area);
    reader.ReadHeader();
    reader.Walk([&](std::unique_ptr<CDescriptor>) {
        const size_t at = reader.record_offset();
        const size_t end = reader.position();
        if (at + 1 >= area.size() || end <= at) return;
        records.push_back({static_cast<uint32_t>(at), static_cast<uint8_t>(area[at + 1] & 0x3F),
                           static_cast<uint32_t>(end - at)});
    });
    return records;
}

WriteBackRegion LocateWriteBackRegion(uint8_t chip_model, std::span<const uint8_t> data,
                                      const std::vector<ChainRecord>& records) {
    WriteBackRegion region{true, 0, 0};
    for (const ChainRecord& record : records) {
        if (record.type != kPatchWriteBackType) continue;
        if (uint64_t{record.offset} + record.length > data.size()) continue;
        uint32_t skip;
        if (chip_model == 3) {
            skip = 2;
        } else {
            // Model 19 carries a flag byte first; only flagged records hold write-back bytes.
            skip = 3;
            if (record.length < 3 || data[record.offset + 2] == 0) continue;
        }
        if (record.length < skip) continue;
        const uint32_t start = record.offset + skip;
        const uint32_t length = record.length - skip;
        const bool blank = IsErased(data.subspan(start, length));
        if (!blank) region.flag = false;
        if (region.flag) {
            region.start = start;
            region.length = length;
        }
    }
    return region;
}

void BlankIgnoredBytes(std::span<uint8_t> readback, uint8_t chip_model, const DumpCheckFlags& flags,
                       const WriteBackRegion& region) {
    const DumpGroup group = DumpGroupFor(chip_model, static_cast<uint32_t>(readback.size()));
    if (auto p = PatchBlockAddress(group)) {
        if (flags.remove_write_back || !flags.code_signature) return;
        const uint64_t base = *p;
        if (base + 0x40 > readback.size()) return;
        if (group == DumpGroup::kA && flags.second_code) {
            Fill(readback, base + 0x25, 27);
        } else if (readback[base + 0x3E] == 0x55 && readback[base + 0x3F] == 0xAA) {
            Fill(readback, base + 0x22, 28);
        }
    } else if (group == DumpGroup::kF && region.flag) {
        Fill(readback, region.start, region.length);
    }
}

uint32_t DumpCompareLength(uint8_t chip_model, uint32_t read_length, const DumpCheckFlags& flags,
                           const WriteBackRegion& region) {
    const bool r = flags.remove_write_back && !flags.code_signature;
    switch (DumpGroupFor(chip_model, read_length)) {
        case DumpGroup::kA:
            return r ? 0xF000 : 0x10000;
        case DumpGroup::kB:
            return r ? 0x1C000 : 0x20000;
        case DumpGroup::kC:
            return r ? 0x1F000 : 0x20000;
        case DumpGroup::kD:
            return r ? 0xE000 : 0xE03F;
        case DumpGroup::kE:
            if (read_length == 0x10000) return r ? 0xF000 : 0x10000;
            if (read_length == 0x20000) return r ? 0x1F000 : 0x20000;
            return 0xF000;
        case DumpGroup::kF:
            return region.flag ? region.start : 0x2000;
        default:
            return 0xF000;
    }
}

bool CompareDump(std::span<const uint8_t> image, std::span<const uint8_t> readback,
                 uint8_t chip_model, const DumpCheckFlags& flags, const WriteBackRegion& region) {
    const uint32_t read_length = static_cast<uint32_t>(readback.size());
    const uint32_t length = DumpCompareLength(chip_model, read_length, flags, region);
    if (!RangeEqual(image, readback, 0, length)) return false;
    const DumpGroup group = DumpGroupFor(chip_model, read_length);
    if (group == DumpGroup::kD) return RangeEqual(image, readback, 0xE040, image.size());
    if (group == DumpGroup::kF && region.flag)
        return RangeEqual(image, readback, uint64_t{region.start} + region.length, image.size());
    return true;
}

bool CompareBridgeDump(std::span<const uint8_t> image, std::span<const uint8_t> readback,
                       uint32_t mipi_reserve) {
    const uint64_t length = mipi_reserve != 0 ? (uint64_t{mipi_reserve} - 1) * 4096 : 0x20000;
    return RangeEqual(image, readback, 0, length);
}

}  // namespace orbisk
