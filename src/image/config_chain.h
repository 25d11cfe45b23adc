#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "image/descriptor.h"

namespace orbisk {

class LogScope;

inline constexpr size_t kConfigCopyMax = 0x20000;

// Chip ID written into a fresh 0x2F record, by chip model index.
uint16_t ChipIdForModel(uint8_t chip_model);
// Chip models whose areas end with a CRC-32 record.
inline bool ModelHasCrc(uint8_t chip_model) {
    return chip_model == 0 || chip_model == 5;
}

// Reads one configuration area from a private copy of its bytes. Every length found in the
// area is checked against the record and the copy before it is used.
class CConfigReader {
  public:
    // Copies at most 0x20000 bytes; the walk starts after the 6-byte header.
    void Load(std::span<const uint8_t> bytes);
    // Parses the header and consumes a leading 0x2F (length 6) and 0x08 (length 3) record.
    const CDescGlobal& ReadHeader();
    // The next record as an object, or null (end of the area, record past the copy, or a
    // record its class refused). Records whose inner lengths do not fit come back as
    // CDescDummy.
    std::unique_ptr<CDescriptor> Next();
    // Steps over one record by its length; false when it does not lie inside the copy.
    bool Skip();
    // Reads as many descriptors as the header still expects, skipping unreadable ones; each
    // object read is handed to `visit`. False when a record can be neither read nor skipped
    // while descriptors remain (the area is corrupted).
    bool Walk(const std::function<void(std::unique_ptr<CDescriptor>)>& visit,
              LogScope* log = nullptr);

    const CDescGlobal& header() const { return header_; }
    bool has_version() const { return has_version_; }
    uint16_t version() const { return version_; }
    bool has_eep_info() const { return has_eep_; }
    uint8_t eep_info() const { return eep_info_; }
    int remaining() const { return remaining_; }
    // During a walk: offset of the record handed to the visitor; afterwards the offsets of
    // the records the walk stepped over unread.
    size_t record_offset() const { return record_offset_; }
    const std::vector<size_t>& skipped() const { return skipped_; }
    size_t position() const { return pos_; }
    size_t copied() const { return data_.size(); }

  private:
    bool RecordAt(RecordHeader& h) const;

    std::vector<uint8_t> data_;
    size_t pos_ = CDescGlobal::kSize;
    CDescGlobal header_;
    int remaining_ = 0;
    size_t record_offset_ = 0;
    std::vector<size_t> skipped_;
    bool has_version_ = false;
    uint16_t version_ = 0;
    bool has_eep_ = false;
    uint8_t eep_info_ = 0;
};

// Writes a new configuration area from descriptor objects into a private buffer.
class CConfigBuilder {
  public:
    CConfigBuilder() : buf_(kConfigCopyMax, 0xFF) {}
    // Starts from the old area's header (type, variant and chip model kept); with the version
    // flag a fresh 0x2F record is written, and a 0x08 record when the old area had one.
    void Begin(const CConfigReader& old, bool with_version);
    void Begin(const CDescGlobal& old, bool with_version, uint16_t version, bool has_eep_info,
               uint8_t eep_info);
    // False when the record does not fit, its class refuses it, or the header's 16-bit total
    // or 8-bit count would overflow.
    bool Append(CDescriptor& desc);
    // Closes the area (CRC record for chip models 0 and 5, the data blob of a 0x0F record),
    // and copies it to `out` when it fits; false otherwise.
    bool Finish(std::span<uint8_t> out);
    // Header plus descriptors plus data blob, valid after Finish.
    size_t finished_size() const { return finished_size_; }
    const CDescGlobal& header() const { return header_; }

  private:
    bool Reserve(size_t n) const { return pos_ + n <= buf_.size(); }

    std::vector<uint8_t> buf_;
    size_t pos_ = CDescGlobal::kSize;
    CDescGlobal header_;
    size_t total_ = CDescGlobal::kSize;
    size_t count_ = 0;
    std::vector<uint8_t> blob_;
    bool has_code_info_ = false;
    size_t blob_offset_field_ = 0;
    size_t finished_size_ = 0;
};

}  // namespace orbisk
