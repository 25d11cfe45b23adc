#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "image/catalogue/desc_class_info.h"
#include "image/descriptor.h"

namespace orbisk {

// Base of every class of the catalogue: knows its class description, and writes a record
// that did not fit its layout back as the raw bytes read (it is never decoded).
class CDescCatalogued : public CDescriptor {
  public:
    explicit CDescCatalogued(const DescClassInfo& info) : CDescriptor(info.type), info_(&info) {}
    const DescClassInfo& info() const { return *info_; }
    int Build(std::span<uint8_t> out) final;

  protected:
    // Reads the record header; false (record marked malformed) when it does not fit.
    bool ParseHeader(std::span<const uint8_t> record);
    // Marks the record as not fitting the layout: it is carried as its raw bytes.
    int KeepRaw() {
        malformed = true;
        return 1;
    }
    // The record without its header (2 bytes, 4 in the extended form).
    std::span<const uint8_t> Payload(std::span<const uint8_t> record) const;
    // Writes a record whose payload is already at out[2..] (out[4..] when `extended`).
    int Finish(std::span<uint8_t> out, size_t total, bool extended);
    virtual int BuildRecord(std::span<uint8_t> out) = 0;

  private:
    const DescClassInfo* info_;
};

// Fixed record length; bytes at fixed offsets with the class's byte rules applied.
class CDescFixed : public CDescCatalogued {
  public:
    using CDescCatalogued::CDescCatalogued;
    int Parse(std::span<const uint8_t> record) override;
    // The record as the class keeps it (header included, length = the class's length).
    const std::vector<uint8_t>& bytes() const { return bytes_; }

  protected:
    int BuildRecord(std::span<uint8_t> out) override;

  private:
    std::vector<uint8_t> bytes_;
};

// Payload kept as read, between the class's shortest and longest record.
class CDescVariable : public CDescCatalogued {
  public:
    using CDescCatalogued::CDescCatalogued;
    int Parse(std::span<const uint8_t> record) override;
    const std::vector<uint8_t>& payload() const { return payload_; }

  protected:
    int BuildRecord(std::span<uint8_t> out) override;
    std::vector<uint8_t> payload_;
};

// The 16-bit value at bytes 4..5 is what the second hook reports.
class CDescVariableWithValue : public CDescVariable {
  public:
    using CDescVariable::CDescVariable;
    uint16_t HookValue() const override;
};

// Patch write-back records: a rebuild resets the patch (to 0x00 or 0xFF by shape).
class CDescPatchWriteBack : public CDescCatalogued {
  public:
    using CDescCatalogued::CDescCatalogued;
    int Parse(std::span<const uint8_t> record) override;

  protected:
    int BuildRecord(std::span<uint8_t> out) override;

  private:
    uint8_t prefix_[2] = {};  // count or flag bytes kept as read
    size_t total_ = 0;        // record length the rebuild writes
};

// Byte 2, byte 3 = N (1..63), then N - 1 data bytes.
class CDescMicArray : public CDescCatalogued {
  public:
    using CDescCatalogued::CDescCatalogued;
    int Parse(std::span<const uint8_t> record) override;

  protected:
    int BuildRecord(std::span<uint8_t> out) override;

  private:
    std::vector<uint8_t> bytes_;
};

// Records that come in a few fixed sizes.
class CDescForms : public CDescCatalogued {
  public:
    using CDescCatalogued::CDescCatalogued;
    int Parse(std::span<const uint8_t> record) override;

  protected:
    int BuildRecord(std::span<uint8_t> out) override;

  private:
    std::vector<uint8_t> bytes_;
};

// Type 0x1A: always in the extended form; bytes 4..5 data length, data from byte 6.
class CDescCfgExtended : public CDescCatalogued {
  public:
    using CDescCatalogued::CDescCatalogued;
    int Parse(std::span<const uint8_t> record) override;
    const std::vector<uint8_t>& data() const { return data_; }

  protected:
    int BuildRecord(std::span<uint8_t> out) override;

  private:
    std::vector<uint8_t> data_;
};

// Type 0x27: bytes 4..5 the area offset of the inline data (the builder writes it), then either
// the data length (one table) or the second table's offset or 0xFFFF (two tables, sub-kind 5).
// The data lies from byte 8 of the record.
class CDescCachecode : public CDescCatalogued {
  public:
    explicit CDescCachecode(const DescClassInfo& info);
    int Parse(std::span<const uint8_t> record) override;
    uint16_t data_offset() const { return data_offset_; }
    uint16_t second_offset() const { return second_offset_; }
    const std::vector<uint8_t>& data() const { return data_; }

  protected:
    int BuildRecord(std::span<uint8_t> out) override;

  private:
    uint16_t data_offset_ = 0;
    uint16_t second_offset_ = 0;
    std::vector<uint8_t> data_;
};

// A class of the catalogue under its own name: the shape's implementation with the class's
// description. `CDescOf<desc_info::CDescSysConfig>` is `CDescSysConfig`.
template <DescShape S>
struct ShapeClass;
template <>
struct ShapeClass<DescShape::kFixed> {
    using type = CDescFixed;
};
template <>
struct ShapeClass<DescShape::kVariable> {
    using type = CDescVariable;
};
template <>
struct ShapeClass<DescShape::kWriteBackZero8> {
    using type = CDescPatchWriteBack;
};
template <>
struct ShapeClass<DescShape::kWriteBackZero16> {
    using type = CDescPatchWriteBack;
};
template <>
struct ShapeClass<DescShape::kPatchFill> {
    using type = CDescPatchWriteBack;
};
template <>
struct ShapeClass<DescShape::kPatchFlag> {
    using type = CDescPatchWriteBack;
};
template <>
struct ShapeClass<DescShape::kMicArray> {
    using type = CDescMicArray;
};
template <>
struct ShapeClass<DescShape::kCcmForms> {
    using type = CDescForms;
};
template <>
struct ShapeClass<DescShape::kNoiseReductionForms> {
    using type = CDescForms;
};
template <>
struct ShapeClass<DescShape::kCfgExtended> {
    using type = CDescCfgExtended;
};
template <>
struct ShapeClass<DescShape::kSmallCachecode> {
    using type = CDescCachecode;
};
template <>
struct ShapeClass<DescShape::kSmallCachecodeTwoTables> {
    using type = CDescCachecode;
};

template <const DescClassInfo& Info, class Base = typename ShapeClass<Info.shape>::type>
class CDescNamed final : public Base {
  public:
    static constexpr const DescClassInfo& kInfo = Info;
    CDescNamed() : Base(Info) {}
};

}  // namespace orbisk
