#include <algorithm>

#include "base/logger.h"
#include "image/catalogue/desc_catalogue.h"
#include "image/catalogue/desc_shapes.h"
#include "image/config_chain.h"

namespace orbisk {

void CConfigReader::Load(std::span<const uint8_t> bytes) {
    const size_t n = std::min(bytes.size(), kConfigCopyMax);
    data_.assign(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n));
    pos_ = CDescGlobal::kSize;
    header_ = CDescGlobal{};
    remaining_ = 0;
    has_version_ = has_eep_ = false;
    version_ = 0;
    eep_info_ = 0;
}

bool CConfigReader::RecordAt(RecordHeader& h) const {
    if (pos_ >= data_.size()) return false;
    const auto rest = std::span<const uint8_t>(data_).subspan(pos_);
    if (!ReadRecordHeader(rest, h)) return false;
    // A few chip-specific classes keep records above 1022 bytes in the extended form too.
    if (!h.extended && h.length_field == kExtendedLengthField && rest.size() >= 4 &&
        GetLe16(&rest[2]) >= 4 && UsesExtendedForm(header_.chip_model, h.type)) {
        h.extended = true;
        h.total_length = GetLe16(&rest[2]);
    }
    return h.total_length <= data_.size() - pos_;
}

const CDescGlobal& CConfigReader::ReadHeader() {
    header_.Parse(data_);
    remaining_ = header_.count;
    pos_ = CDescGlobal::kSize;
    RecordHeader h;
    if (RecordAt(h) && h.type == CDescHWAPVersion::kType && h.total_length == 6) {
        CDescHWAPVersion v;
        v.Parse(std::span(data_).subspan(pos_, 6));
        version_ = v.version;
        has_version_ = true;
        pos_ += 6;
        --remaining_;
    }
    if (RecordAt(h) && h.type == CDescEEPInfo::kType && h.total_length == 3) {
        CDescEEPInfo e;
        e.Parse(std::span(data_).subspan(pos_, 3));
        eep_info_ = e.info;
        has_eep_ = true;
        pos_ += 3;
        --remaining_;
    }
    return header_;
}

std::unique_ptr<CDescriptor> CConfigReader::Next() {
    if (pos_ >= data_.size() || pos_ >= header_.total_length) return nullptr;
    RecordHeader h;
    if (!RecordAt(h)) return nullptr;
    const auto record = std::span<const uint8_t>(data_).subspan(pos_, h.total_length);
    std::unique_ptr<CDescriptor> desc = CreateDescriptor(header_.chip_model, h.type);
    if (!desc->Parse(record)) return nullptr;
    if (auto* code = dynamic_cast<CDescCodeInfo*>(desc.get()); code && !desc->malformed) {
        // The blob lies elsewhere in the area; take a copy only when it is inside the copy.
        const size_t off = code->blob_offset, len = code->blob_length;
        if (off <= data_.size() && len <= data_.size() - off) {
            code->blob.assign(data_.begin() + static_cast<ptrdiff_t>(off),
                              data_.begin() + static_cast<ptrdiff_t>(off + len));
            code->has_blob = true;
        } else {
            desc->malformed = true;
        }
    }
    if (auto* cache = dynamic_cast<CDescCachecode*>(desc.get()); cache && !desc->malformed) {
        // The inline data is carried inside the record, from its byte 8.
        if (cache->data_offset() != pos_ + 8) desc->malformed = true;
    }
    if (desc->malformed) desc = std::make_unique<CDescDummy>(record);
    pos_ += h.total_length;
    return desc;
}

bool CConfigReader::Skip() {
    RecordHeader h;
    if (!RecordAt(h)) return false;
    pos_ += h.total_length;
    return true;
}

bool CConfigReader::Walk(const std::function<void(std::unique_ptr<CDescriptor>)>& visit,
                         LogScope* log) {
    skipped_.clear();
    while (remaining_ > 0) {
        const size_t at = pos_;
        if (auto desc = Next()) {
            record_offset_ = at;
            --remaining_;
            if (log) log->Line("Find descriptor 0x%02X\n", desc->type);
            visit(std::move(desc));
        } else if (Skip()) {
            skipped_.push_back(at);
            --remaining_;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace orbisk
