#include "image/descriptor.h"

#include <algorithm>
#include <cstring>

namespace orbisk {

bool IsExtendableType(uint8_t type) {
    return type == 0x27 || type == 0x1A;
}

bool IsStringType(uint8_t type) {
    return type == 0x01 || type == 0x02 || type == 0x03 || type == 0x06 || type == 0x07 ||
           type == 0x0C;
}

bool ReadRecordHeader(std::span<const uint8_t> bytes, RecordHeader& out) {
    if (bytes.size() < kRecordHeaderSize) return false;
    out.type = bytes[1] & 0x3F;
    out.length_field = static_cast<uint16_t>(bytes[0] | ((bytes[1] >> 6) << 8));
    out.extended = out.length_field == kExtendedLengthField && IsExtendableType(out.type);
    if (out.extended) {
        if (bytes.size() < 4) return false;
        out.total_length = GetLe16(&bytes[2]);
        return out.total_length >= 4;
    }
    out.total_length = out.length_field;
    return out.total_length >= kRecordHeaderSize;
}

void WriteRecordHeader(std::span<uint8_t> out, uint8_t type, size_t total) {
    if (total >= kExtendedLengthField && IsExtendableType(type)) {
        out[0] = 0xFF;
        out[1] = static_cast<uint8_t>(0xC0 | (type & 0x3F));
        PutLe16(&out[2], static_cast<uint16_t>(total));
        return;
    }
    out[0] = static_cast<uint8_t>(total);
    out[1] = static_cast<uint8_t>(((total >> 8) & 0x03) << 6 | (type & 0x3F));
}

namespace {
// The header of a record as the reader cut it out: a length field of 1023 whose bytes 2..3 name
// exactly the record's own size is the extended form that some chip classes use for any type,
// so the record is carried (and written back) with that size.
bool ReadOwnRecordHeader(std::span<const uint8_t> record, RecordHeader& h) {
    if (!ReadRecordHeader(record, h)) return false;
    if (!h.extended && h.length_field == kExtendedLengthField && record.size() >= 4 &&
        GetLe16(&record[2]) == record.size()) {
        h.extended = true;
        h.total_length = record.size();
    }
    return true;
}
}  // namespace

int CDescriptor::Parse(std::span<const uint8_t> record) {
    raw_.assign(record.begin(), record.end());
    RecordHeader h;
    if (!ReadOwnRecordHeader(record, h) || h.total_length > record.size()) {
        malformed = true;
        return 1;
    }
    type = h.type;
    length = h.length_field;
    ext_length = h.extended ? static_cast<uint16_t>(h.total_length) : 0;
    payload_length = static_cast<uint16_t>(h.total_length - (h.extended ? 4 : 2));
    present = true;
    return 1;
}

int CDescriptor::FinishBuild(std::span<uint8_t> out, size_t total) {
    WriteRecordHeader(out, type, total);
    const bool ext = total >= kExtendedLengthField && IsExtendableType(type);
    length = ext ? kExtendedLengthField : static_cast<uint16_t>(total);
    ext_length = ext ? static_cast<uint16_t>(total) : 0;
    payload_length = static_cast<uint16_t>(total - (ext ? 4 : 2));
    return 1;
}

int CDescDummy::Build(std::span<uint8_t> out) {
    if (raw_.size() < kRecordHeaderSize || raw_.size() > out.size()) return 0;
    std::copy(raw_.begin(), raw_.end(), out.begin());
    RecordHeader h;
    if (ReadOwnRecordHeader(raw_, h)) {
        length = h.length_field;
        ext_length = h.extended ? static_cast<uint16_t>(h.total_length) : 0;
    } else {
        length = static_cast<uint16_t>(raw_.size());
    }
    return 1;
}

bool CDescGlobal::Parse(std::span<const uint8_t> bytes) {
    *this = CDescGlobal{};
    if (bytes.size() < kSize) return false;
    config_type = bytes[0];
    magic = bytes[1];
    variant = bytes[2] & 0x07;
    chip_model = bytes[2] >> 3;
    total_length = GetLe16(&bytes[3]);
    count = bytes[5];
    return true;
}

void CDescGlobal::Build(std::span<uint8_t> out) const {
    out[0] = config_type;
    out[1] = magic;
    out[2] = static_cast<uint8_t>((chip_model << 3) | (variant & 0x07));
    PutLe16(&out[3], total_length);
    out[5] = count;
}

namespace {
// Fixed-length records: a record shorter than the layout cannot be decoded.
bool FixedFits(CDescriptor& d, std::span<const uint8_t> record, size_t len) {
    d.CDescriptor::Parse(record);
    if (d.malformed || record.size() < len) {
        d.malformed = true;
        return false;
    }
    return true;
}
}  // namespace

int CDescHWAPVersion::Parse(std::span<const uint8_t> record) {
    if (FixedFits(*this, record, kLength)) {
        chip_id = GetLe16(&record[2]);
        version = GetLe16(&record[4]);
    }
    return 1;
}

int CDescHWAPVersion::Build(std::span<uint8_t> out) {
    if (out.size() < kLength) return 0;
    type = kType;
    PutLe16(&out[2], chip_id);
    PutLe16(&out[4], version);
    return FinishBuild(out, kLength);
}

int CDescEEPInfo::Parse(std::span<const uint8_t> record) {
    if (FixedFits(*this, record, kLength)) info = record[2];
    return 1;
}

int CDescEEPInfo::Build(std::span<uint8_t> out) {
    if (out.size() < kLength) return 0;
    type = kType;
    out[2] = info;
    return FinishBuild(out, kLength);
}

int CDescVIDPID::Parse(std::span<const uint8_t> record) {
    if (FixedFits(*this, record, kLength)) {
        vid = GetLe16(&record[2]);
        pid = GetLe16(&record[4]);
        rev = GetLe16(&record[6]);
    }
    return 1;
}

int CDescVIDPID::Build(std::span<uint8_t> out) {
    if (out.size() < kLength) return 0;
    type = kType;
    PutLe16(&out[2], vid);
    PutLe16(&out[4], pid);
    PutLe16(&out[6], rev);
    return FinishBuild(out, kLength);
}

int CDescCodeInfo::Parse(std::span<const uint8_t> record) {
    if (FixedFits(*this, record, kLength)) {
        blob_offset = GetLe16(&record[2]);
        blob_length = GetLe16(&record[4]);
    }
    return 1;
}

int CDescCodeInfo::Build(std::span<uint8_t> out) {
    if (!has_blob || out.size() < kLength) return 0;
    type = kType;
    blob_length = static_cast<uint16_t>(blob.size());
    PutLe16(&out[2], blob_offset);
    PutLe16(&out[4], blob_length);
    return FinishBuild(out, kLength);
}

int CDescCRC::Parse(std::span<const uint8_t> record) {
    if (FixedFits(*this, record, kLength)) {
        area_crc = GetLe32(&record[2]);
        blob_crc = GetLe32(&record[6]);
    }
    return 1;
}

int CDescCRC::Build(std::span<uint8_t> out) {
    if (out.size() < kLength) return 0;
    type = kType;
    PutLe32(&out[2], area_crc);
    PutLe32(&out[6], blob_crc);
    return FinishBuild(out, kLength);
}

int CDescString::Parse(std::span<const uint8_t> record) {
    CDescriptor::Parse(record);
    if (malformed) return 1;
    // bLength counts itself and the 0x03 byte; it must lie inside the record.
    // bLength above 55 is beyond the class's capacity: carried raw rather than cut short.
    if (record.size() < 4 || record[2] < 2 || record[2] > kMaxChars + 2 ||
        size_t{record[2]} + 2 > record.size()) {
        malformed = true;
        return 1;
    }
    const size_t chars = std::min<size_t>(record[2] - 2, kMaxChars);
    text_.assign(reinterpret_cast<const char*>(&record[4]), chars);
    return 1;
}

void CDescString::SetText(std::string_view s) {
    text_.assign(s.substr(0, std::min(s.size(), kMaxChars)));
}

int CDescString::Build(std::span<uint8_t> out) {
    const size_t total = text_.size() + 4;
    if (out.size() < total) return 0;
    out[2] = b_length();
    out[3] = 0x03;
    std::memcpy(&out[4], text_.data(), text_.size());
    return FinishBuild(out, total);
}

}  // namespace orbisk
