#include "image/catalogue/desc_shapes.h"

#include <algorithm>
#include <cstring>

namespace orbisk {

namespace {

constexpr size_t kLongestPlainRecord = kExtendedLengthField - 1;  // 1022

uint8_t ApplyRule(const ByteRule& rule, uint8_t value, uint8_t previous) {
    switch (rule.op) {
        case ByteOp::kMask:
            return static_cast<uint8_t>((value & rule.keep) | rule.set);
        case ByteOp::kBoolean:
            return value != 0 ? 1 : 0;
        case ByteOp::kSignMagnitudeHigh: {
            uint8_t high = value & rule.keep;
            // Magnitude is the low byte plus bits 0..1; a zero magnitude has no sign.
            if (previous == 0 && (high & 0x03) == 0) high &= static_cast<uint8_t>(~0x08);
            return high;
        }
    }
    return value;
}

void WriteExtendedHeader(std::span<uint8_t> out, uint8_t type, size_t total) {
    out[0] = 0xFF;
    out[1] = static_cast<uint8_t>(0xC0 | (type & 0x3F));
    PutLe16(&out[2], static_cast<uint16_t>(total));
}

}  // namespace

// ---- CDescCatalogued ----

bool CDescCatalogued::ParseHeader(std::span<const uint8_t> record) {
    CDescriptor::Parse(record);
    if (!malformed && info_->extended_form && length == kExtendedLengthField) {
        // The extended form of a type the record header alone does not mark as extendable:
        // bytes 2..3 must give exactly the record the reader bounded.
        if (record.size() < 4 || GetLe16(&record[2]) != record.size()) malformed = true;
        ext_length = static_cast<uint16_t>(record.size());
        payload_length = static_cast<uint16_t>(record.size() - 4);
    }
    return !malformed;
}

std::span<const uint8_t> CDescCatalogued::Payload(std::span<const uint8_t> record) const {
    const size_t header = length == kExtendedLengthField ? 4 : 2;
    return record.subspan(header, payload_length);
}

int CDescCatalogued::Finish(std::span<uint8_t> out, size_t total, bool extended) {
    if (!extended) return FinishBuild(out, total);
    WriteExtendedHeader(out, type, total);
    length = kExtendedLengthField;
    ext_length = static_cast<uint16_t>(total);
    payload_length = static_cast<uint16_t>(total - 4);
    return 1;
}

int CDescCatalogued::Build(std::span<uint8_t> out) {
    if (!malformed) return BuildRecord(out);
    // Not decoded: the bytes go back as they came.
    if (raw_.size() < kRecordHeaderSize || raw_.size() > out.size()) return 0;
    std::copy(raw_.begin(), raw_.end(), out.begin());
    return 1;
}

// ---- CDescFixed ----

int CDescFixed::Parse(std::span<const uint8_t> record) {
    if (!ParseHeader(record)) return 1;
    const size_t len = info().max_length;
    if (record.size() < len) return KeepRaw();
    bytes_.assign(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(len));
    for (const ByteRule& rule : info().rules)
        bytes_[rule.offset] = ApplyRule(rule, bytes_[rule.offset], bytes_[rule.offset - 1]);
    return 1;
}

int CDescFixed::BuildRecord(std::span<uint8_t> out) {
    if (!present || bytes_.empty() || out.size() < bytes_.size()) return 0;
    std::copy(bytes_.begin() + 2, bytes_.end(), out.begin() + 2);
    return FinishBuild(out, bytes_.size());
}

// ---- CDescVariable ----

int CDescVariable::Parse(std::span<const uint8_t> record) {
    if (!ParseHeader(record)) return 1;
    if (record.size() < info().min_length || record.size() > info().max_length) return KeepRaw();
    const auto payload = Payload(record);
    payload_.assign(payload.begin(), payload.end());
    return 1;
}

int CDescVariable::BuildRecord(std::span<uint8_t> out) {
    if (!present) return 0;
    const bool ext = info().extended_form && payload_.size() + 2 > kLongestPlainRecord;
    const size_t header = ext ? 4 : 2;
    const size_t total = payload_.size() + header;
    if (out.size() < total) return 0;
    std::copy(payload_.begin(), payload_.end(), out.begin() + static_cast<std::ptrdiff_t>(header));
    return Finish(out, total, ext);
}

uint16_t CDescVariableWithValue::HookValue() const {
    return payload_.size() >= 4 ? GetLe16(&payload_[2]) : 0;
}

// ---- CDescPatchWriteBack ----

int CDescPatchWriteBack::Parse(std::span<const uint8_t> record) {
    if (!ParseHeader(record)) return 1;
    const size_t size = record.size();
    if (size < info().min_length ||
        (info().shape == DescShape::kPatchFill && size > info().max_length))
        return KeepRaw();
    prefix_[0] = size > 2 ? record[2] : 0;
    prefix_[1] = size > 3 ? record[3] : 0;
    switch (info().shape) {
        case DescShape::kWriteBackZero8:
            total_ = size_t{prefix_[0]} + 3;
            break;
        case DescShape::kWriteBackZero16:
            total_ = size_t{GetLe16(&record[2])} + 4;
            break;
        case DescShape::kPatchFlag:
            total_ = prefix_[0] != 0 ? 67 : 3;
            break;
        default:
            total_ = size;
            break;
    }
    // A count that would need more than a plain record cannot be written back.
    if (total_ > kLongestPlainRecord) return KeepRaw();
    return 1;
}

int CDescPatchWriteBack::BuildRecord(std::span<uint8_t> out) {
    if (!present || out.size() < total_) return 0;
    auto patch = out.subspan(0, total_);
    switch (info().shape) {
        case DescShape::kWriteBackZero8:
            patch[2] = prefix_[0];
            std::fill(patch.begin() + 3, patch.end(), 0x00);
            break;
        case DescShape::kWriteBackZero16:
            patch[2] = prefix_[0];
            patch[3] = prefix_[1];
            std::fill(patch.begin() + 4, patch.end(), 0x00);
            break;
        case DescShape::kPatchFlag:
            patch[2] = prefix_[0];
            std::fill(patch.begin() + 3, patch.end(), 0xFF);
            break;
        default:
            std::fill(patch.begin() + 2, patch.end(), 0xFF);
            break;
    }
    return FinishBuild(out, total_);
}

// ---- CDescMicArray ----

int CDescMicArray::Parse(std::span<const uint8_t> record) {
    if (!ParseHeader(record)) return 1;
    if (record.size() < 4) return KeepRaw();
    const size_t n = record[3];
    if (n == 0 || n > 63 || n + 3 > record.size()) return KeepRaw();
    bytes_.assign(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(n + 3));
    return 1;
}

int CDescMicArray::BuildRecord(std::span<uint8_t> out) {
    if (!present || out.size() < bytes_.size()) return 0;
    std::copy(bytes_.begin() + 2, bytes_.end(), out.begin() + 2);
    return FinishBuild(out, bytes_.size());
}

// ---- CDescForms ----

int CDescForms::Parse(std::span<const uint8_t> record) {
    if (!ParseHeader(record)) return 1;
    const size_t size = record.size();
    size_t keep = 0;
    if (info().shape == DescShape::kCcmForms) {
        // Only the two known layouts are decoded; any other record is refused and left out.
        if (size != 14 && size != 30) {
            present = false;
            return 0;
        }
        keep = size;
    } else {
        if (size < 13) return KeepRaw();
        keep = size < 24 ? 13 : size == 44 ? 44 : 24;
    }
    bytes_.assign(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(keep));
    return 1;
}

int CDescForms::BuildRecord(std::span<uint8_t> out) {
    if (!present || bytes_.empty() || out.size() < bytes_.size()) return 0;
    std::copy(bytes_.begin() + 2, bytes_.end(), out.begin() + 2);
    return FinishBuild(out, bytes_.size());
}

// ---- CDescCfgExtended ----

int CDescCfgExtended::Parse(std::span<const uint8_t> record) {
    if (!ParseHeader(record)) return 1;
    if (record.size() < 6) return KeepRaw();
    const size_t data_length = GetLe16(&record[4]);
    if (data_length + 6 > record.size()) return KeepRaw();
    data_.assign(record.begin() + 6, record.begin() + static_cast<std::ptrdiff_t>(6 + data_length));
    return 1;
}

int CDescCfgExtended::BuildRecord(std::span<uint8_t> out) {
    const size_t total = data_.size() + 6;
    if (!present || out.size() < total) return 0;
    PutLe16(&out[4], static_cast<uint16_t>(data_.size()));
    std::copy(data_.begin(), data_.end(), out.begin() + 6);
    return Finish(out, total, true);
}

// ---- CDescCachecode ----

CDescCachecode::CDescCachecode(const DescClassInfo& info) : CDescCatalogued(info) {
    sub_kind = info.shape == DescShape::kSmallCachecodeTwoTables ? 5 : 0;
}

int CDescCachecode::Parse(std::span<const uint8_t> record) {
    if (!ParseHeader(record)) return 1;
    const size_t size = record.size();
    if (size < 8) return KeepRaw();
    const size_t total = GetLe16(&record[2]);
    if (total < 8) return KeepRaw();
    data_offset_ = GetLe16(&record[4]);
    second_offset_ = GetLe16(&record[6]);
    size_t first = 0;
    if (sub_kind == 0) {
        first = second_offset_;  // bytes 6..7 hold the data length
        second_table_length = 0;
        has_second_table = false;
    } else {
        if (total > size) return KeepRaw();
        if (second_offset_ == 0xFFFF) {
            first = total - 8;
            second_table_length = 64;
            has_second_table = false;
        } else {
            if (second_offset_ < data_offset_) return KeepRaw();
            first = second_offset_ - data_offset_;
            if (first + 8 > total) return KeepRaw();
            second_table_length = static_cast<uint16_t>(total - first - 8);
            has_second_table = true;
        }
    }
    if (first + 8 > size) return KeepRaw();
    inline_length = static_cast<uint16_t>(first);
    data_.assign(record.begin() + 8, record.begin() + static_cast<std::ptrdiff_t>(8 + first));
    return 1;
}

int CDescCachecode::BuildRecord(std::span<uint8_t> out) {
    // Refused without data: only a parsed record carries its tables.
    if (!present) return 0;
    const size_t second = has_second_table ? second_table_length : 0;
    const size_t total = data_.size() + second + 8;
    if (out.size() < total) return 0;
    PutLe16(&out[4], data_offset_);
    PutLe16(&out[6], sub_kind == 0 ? static_cast<uint16_t>(data_.size()) : second_offset_);
    std::copy(data_.begin(), data_.end(), out.begin() + 8);
    // The second table is not kept: the builder places it and it is written erased.
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(8 + data_.size()),
              out.begin() + static_cast<std::ptrdiff_t>(total), 0xFF);
    return Finish(out, total, true);
}

}  // namespace orbisk
