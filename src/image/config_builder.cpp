#include <zlib.h>

#include <algorithm>

#include "image/config_chain.h"

// The builder is also linked into the build-time demo image generator: no logging here.
namespace orbisk {

uint16_t ChipIdForModel(uint8_t chip_model) {
    static constexpr uint16_t kIds[26] = {0x6961, 0x6973, 0x7476, 0x6987, 0x7350, 0x6961, 0x7476,
                                          0x7584, 0x7350, 0x7936, 0x6644, 0x6783, 0x7507, 0x7464,
                                          0x7339, 0x6521, 0x6475, 0x7308, 0x7054, 0x6099, 0x7192,
                                          0x7805, 0x6363, 0x7365, 0x6158, 0x7971};
    return chip_model < 26 ? kIds[chip_model] : 0x7350;
}

void CConfigBuilder::Begin(const CConfigReader& old, bool with_version) {
    Begin(old.header(), with_version, old.version(), old.has_eep_info(), old.eep_info());
}

void CConfigBuilder::Begin(const CDescGlobal& old, bool with_version, uint16_t version,
                           bool has_eep_info, uint8_t eep_info) {
    std::fill(buf_.begin(), buf_.end(), 0xFF);
    header_ = CDescGlobal{};
    header_.config_type = old.config_type;
    header_.variant = old.variant;
    header_.chip_model = old.chip_model;
    header_.magic = CDescGlobal::kMagic;
    pos_ = total_ = CDescGlobal::kSize;
    count_ = 0;
    blob_.clear();
    has_code_info_ = false;
    finished_size_ = 0;
    if (with_version) {
        CDescHWAPVersion v(ChipIdForModel(header_.chip_model), version ? version : 0x1060);
        Append(v);
    }
    if (has_eep_info) {
        CDescEEPInfo e(eep_info);
        Append(e);
    }
}

bool CConfigBuilder::Append(CDescriptor& desc) {
    const size_t start = pos_;
    if (!desc.Build(std::span(buf_).subspan(start))) return false;
    const size_t len = desc.WireLength();
    if (len < kRecordHeaderSize || len > buf_.size() - start) return false;
    if (total_ + len > 0xFFFF || count_ + 1 > 0xFF) return false;
    uint8_t* rec = &buf_[start];
    if (desc.type == 0x27 && desc.extended() && len >= 8) {
        // Inline data is addressed from the start of the area.
        const size_t data_offset = start + 8;
        PutLe16(rec + 4, static_cast<uint16_t>(data_offset));
        if (desc.sub_kind == 5) {
            if (desc.has_second_table) {
                const size_t from = 8 + desc.inline_length;
                const size_t to = std::min(len, from + desc.second_table_length);
                if (from < to) std::fill(rec + from, rec + to, 0xFF);
                PutLe16(rec + 6, static_cast<uint16_t>(data_offset + desc.inline_length));
            } else {
                PutLe16(rec + 6, 0xFFFF);
            }
        }
    }
    pos_ += len;
    total_ += len;
    ++count_;
    if (auto* code = dynamic_cast<CDescCodeInfo*>(&desc)) {
        blob_ = code->blob;
        has_code_info_ = true;
        blob_offset_field_ = start + 2;
    }
    return true;
}

bool CConfigBuilder::Finish(std::span<uint8_t> out) {
    const bool crc = ModelHasCrc(header_.chip_model);
    size_t crc_pos = 0;
    if (crc) {
        if (!Reserve(CDescCRC::kLength) || total_ + CDescCRC::kLength > 0xFFFF || count_ + 1 > 0xFF)
            return false;
        crc_pos = pos_;
        WriteRecordHeader(std::span(buf_).subspan(pos_), CDescCRC::kType, CDescCRC::kLength);
        pos_ += CDescCRC::kLength;
        total_ += CDescCRC::kLength;
        ++count_;
    }
    if (has_code_info_) {
        if (!Reserve(blob_.size()) || pos_ > 0xFFFF) return false;
        PutLe16(&buf_[blob_offset_field_], static_cast<uint16_t>(pos_));
        std::copy(blob_.begin(), blob_.end(), buf_.begin() + static_cast<ptrdiff_t>(pos_));
    }
    header_.total_length = static_cast<uint16_t>(total_);
    header_.count = static_cast<uint8_t>(count_);
    header_.Build(buf_);
    if (crc) {
        const uLong area = crc32(0L, buf_.data(), static_cast<uInt>(total_ - CDescCRC::kLength));
        const uLong blob =
            blob_.empty() ? 0 : crc32(0L, blob_.data(), static_cast<uInt>(blob_.size()));
        PutLe32(&buf_[crc_pos + 2], static_cast<uint32_t>(area));
        PutLe32(&buf_[crc_pos + 6], static_cast<uint32_t>(blob));
    }
    finished_size_ = total_ + (has_code_info_ ? blob_.size() : 0);
    if (finished_size_ > out.size()) return false;
    std::copy_n(buf_.begin(), finished_size_, out.begin());
    return true;
}

}  // namespace orbisk
