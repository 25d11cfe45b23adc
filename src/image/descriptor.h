#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace orbisk {

// Record header of a configuration-area descriptor: a 10-bit total length (header included)
// and a 6-bit type. Types 0x27 and 0x1A with the length field 1023 use the extended form,
// whose bytes 2..3 hold the total record length.
inline constexpr uint16_t kExtendedLengthField = 1023;
inline constexpr size_t kRecordHeaderSize = 2;

struct RecordHeader {
    uint8_t type = 0;
    uint16_t length_field = 0;  // the 10-bit value as stored
    size_t total_length = 0;    // whole record on the wire (extended length when extended)
    bool extended = false;
};

// Reads the record header at the start of `bytes`; false when the header itself (2 bytes, or
// 4 for the extended form) does not fit or the record would be shorter than its header.
bool ReadRecordHeader(std::span<const uint8_t> bytes, RecordHeader& out);
bool IsExtendableType(uint8_t type);
// Writes the 2-byte header (and for extended records bytes 2..3) for a record of `total`
// bytes; the extended form is chosen when total >= 1023 and the type allows it.
void WriteRecordHeader(std::span<uint8_t> out, uint8_t type, size_t total);

// One record of a configuration area. Every class reads its record into fields (parse) and
// writes the same record back from them (build); the chain is only ever changed by rebuilding
// it from these objects.
class CDescriptor {
  public:
    explicit CDescriptor(uint8_t type_code = 0) : type(type_code) {}
    virtual ~CDescriptor() = default;
    CDescriptor(const CDescriptor&) = default;
    CDescriptor& operator=(const CDescriptor&) = default;

    // 1. Reads the record (exactly the record's bytes, as the reader bounded them). The base
    // reads the header and keeps the raw bytes. A class whose lengths do not fit the record
    // sets `malformed` and the reader carries the record as raw bytes; returning 0 refuses
    // the record (the walk steps over it and a rebuild leaves it out).
    virtual int Parse(std::span<const uint8_t> record);
    // 2. Writes the record at the start of `out` (the room left in the area) and sets
    // `length` / `ext_length` to what it wrote; 0 when it does not fit or is refused.
    virtual int Build(std::span<uint8_t> out) = 0;
    // 3. and 4. Hooks; the second one gives a class-specific 16-bit value (0 by default).
    virtual void Hook() {}
    virtual uint16_t HookValue() const { return 0; }

    // Bytes the record occupies once built (or as read): the extended length for extended
    // records, the length field otherwise.
    size_t WireLength() const { return extended() ? ext_length : length; }
    // A few catalogue classes of other types also keep long records in the extended form;
    // they set ext_length when they read or write one.
    bool extended() const {
        return length == kExtendedLengthField && (IsExtendableType(type) || ext_length != 0);
    }
    const std::vector<uint8_t>& raw() const { return raw_; }

    uint8_t type = 0;
    uint16_t length = 0;          // 10-bit length field; 1023 for extended records
    uint16_t ext_length = 0;      // total length of an extended record
    uint16_t payload_length = 0;  // bytes after the 2-byte (4-byte extended) header
    uint8_t sub_kind = 0;         // some 0x27 classes: 5 carries two inline tables
    bool present = false;         // set by a successful parse
    bool malformed = false;       // a length inside the record did not fit: keep raw bytes
    // Type 0x27 only: length of the first (or only) inline table and of the second table,
    // which the builder places when the record is appended.
    uint16_t inline_length = 0;
    uint16_t second_table_length = 0;
    bool has_second_table = false;

  protected:
    // Common tail of Build: header bytes and length fields for a record of `total` bytes.
    int FinishBuild(std::span<uint8_t> out, size_t total);
    std::vector<uint8_t> raw_;
};

// A record whose type has no class for the chip: kept and written back byte for byte.
class CDescDummy : public CDescriptor {
  public:
    CDescDummy() = default;
    explicit CDescDummy(std::span<const uint8_t> record) { CDescDummy::Parse(record); }
    int Build(std::span<uint8_t> out) override;
};

// The 6-byte header of a configuration area.
class CDescGlobal {
  public:
    static constexpr size_t kSize = 6;
    static constexpr uint8_t kMagic = 0xA5;
    // False when fewer than 6 bytes are given (the fields are then cleared).
    bool Parse(std::span<const uint8_t> bytes);
    void Build(std::span<uint8_t> out) const;
    bool valid() const { return magic == kMagic; }

    uint8_t config_type = 0;
    uint8_t magic = 0;
    uint8_t variant = 0;     // bits 0..2 of byte 2
    uint8_t chip_model = 0;  // bits 3..7 of byte 2
    uint16_t total_length = 0;
    uint8_t count = 0;
};

// 0x2F: chip ID and hardware/application version.
class CDescHWAPVersion : public CDescriptor {
  public:
    static constexpr uint8_t kType = 0x2F;
    static constexpr size_t kLength = 6;
    CDescHWAPVersion() : CDescriptor(kType) {}
    CDescHWAPVersion(uint16_t chip, uint16_t ver)
        : CDescriptor(kType), chip_id(chip), version(ver) {}
    int Parse(std::span<const uint8_t> record) override;
    int Build(std::span<uint8_t> out) override;
    uint16_t chip_id = 0;
    uint16_t version = 0;
};

// 0x08: one byte of memory information.
class CDescEEPInfo : public CDescriptor {
  public:
    static constexpr uint8_t kType = 0x08;
    static constexpr size_t kLength = 3;
    CDescEEPInfo() : CDescriptor(kType) {}
    explicit CDescEEPInfo(uint8_t v) : CDescriptor(kType), info(v) {}
    int Parse(std::span<const uint8_t> record) override;
    int Build(std::span<uint8_t> out) override;
    uint8_t info = 0;
};

// 0x04: USB identity.
class CDescVIDPID : public CDescriptor {
  public:
    static constexpr uint8_t kType = 0x04;
    static constexpr size_t kLength = 8;
    CDescVIDPID() : CDescriptor(kType) {}
    CDescVIDPID(uint16_t v, uint16_t p, uint16_t r) : CDescriptor(kType), vid(v), pid(p), rev(r) {}
    int Parse(std::span<const uint8_t> record) override;
    int Build(std::span<uint8_t> out) override;
    uint16_t vid = 0;
    uint16_t pid = 0;
    uint16_t rev = 0;
};

// 0x0F: where the data blob lies (offset from the area start) and its length. The reader
// attaches a copy of the blob; build is refused without one.
class CDescCodeInfo : public CDescriptor {
  public:
    static constexpr uint8_t kType = 0x0F;
    static constexpr size_t kLength = 6;
    CDescCodeInfo() : CDescriptor(kType) {}
    int Parse(std::span<const uint8_t> record) override;
    int Build(std::span<uint8_t> out) override;
    uint16_t blob_offset = 0;
    uint16_t blob_length = 0;
    std::vector<uint8_t> blob;
    bool has_blob = false;
};

// 0x1F: CRC-32 of the area before the record and of the data blob.
class CDescCRC : public CDescriptor {
  public:
    static constexpr uint8_t kType = 0x1F;
    static constexpr size_t kLength = 10;
    CDescCRC() : CDescriptor(kType) {}
    int Parse(std::span<const uint8_t> record) override;
    int Build(std::span<uint8_t> out) override;
    uint32_t area_crc = 0;
    uint32_t blob_crc = 0;
};

// USB string records: bLength, 0x03, bLength - 2 bytes of 8-bit characters.
class CDescString : public CDescriptor {
  public:
    static constexpr size_t kMaxChars = 53;  // bLength at most 55
    explicit CDescString(uint8_t type_code) : CDescriptor(type_code) {}
    int Parse(std::span<const uint8_t> record) override;
    int Build(std::span<uint8_t> out) override;
    // Replaces the characters (cut to the capacity); bLength follows.
    void SetText(std::string_view s);
    const std::string& text() const { return text_; }
    uint8_t b_length() const { return static_cast<uint8_t>(text_.size() + 2); }

  private:
    std::string text_;
};

class CDescStringManu : public CDescString {
  public:
    static constexpr uint8_t kType = 0x01;
    CDescStringManu() : CDescString(kType) {}
};
class CDescStringProd : public CDescString {
  public:
    static constexpr uint8_t kType = 0x02;
    CDescStringProd() : CDescString(kType) {}
};
class CDescStringSN : public CDescString {
  public:
    static constexpr uint8_t kType = 0x03;
    CDescStringSN() : CDescString(kType) {}
};
class CDescStringUBistName : public CDescString {
  public:
    static constexpr uint8_t kType = 0x06;
    CDescStringUBistName() : CDescString(kType) {}
};
class CDescStringIAD : public CDescString {
  public:
    static constexpr uint8_t kType = 0x07;
    CDescStringIAD() : CDescString(kType) {}
};
class CDescStringIRIAD : public CDescString {
  public:
    static constexpr uint8_t kType = 0x0C;
    CDescStringIRIAD() : CDescString(kType) {}
};
bool IsStringType(uint8_t type);

// The creation hook of the reader: the object for a record of `type` in an area of chip model
// `chip_model`. Types the chip does not know give a CDescDummy. The descriptor catalogue
// (descriptor_factory.cpp) decides; never returns null.
std::unique_ptr<CDescriptor> CreateDescriptor(uint8_t chip_model, uint8_t type);

// Little-endian helpers shared by the descriptor classes.
inline uint16_t GetLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t GetLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace orbisk
