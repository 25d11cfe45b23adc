#include "device/otp_parts.h"

#include "device/otp_tables.h"
#include "image/descriptor.h"

namespace orbisk::otp {

namespace {

constexpr uint8_t kCodeRecordType = 0x27;
constexpr uint8_t kVariantCode = 3;
constexpr uint8_t kVariantConfig = 1;
constexpr uint8_t kVariantWhole = 2;

bool Fail(std::string* error, const char* why) {
    if (error) *error = why;
    return false;
}

void PutHeader(std::vector<uint8_t>& part, uint8_t chip_model, uint8_t variant, size_t length,
               uint8_t count) {
    part[2] = static_cast<uint8_t>(chip_model << 3 | variant);
    part[3] = static_cast<uint8_t>(length);
    part[4] = static_cast<uint8_t>(length >> 8);
    part[5] = count;
}

// The record at `offset` when it has the given type and total length.
bool RecordIs(std::span<const uint8_t> chain, size_t offset, uint8_t type, size_t length) {
    RecordHeader h;
    return offset < chain.size() && ReadRecordHeader(chain.subspan(offset), h) && h.type == type &&
           h.total_length == length;
}

}  // namespace

std::optional<ImageParts> SplitImage(std::span<const uint8_t> image, std::string* error) {
    CDescGlobal header;
    if (!header.Parse(image) || !header.valid()) {
        Fail(error, "no configuration header at offset 0");
        return std::nullopt;
    }
    const size_t total = header.total_length;
    if (total < kPartHeaderSize || total > image.size()) {
        Fail(error, "the chain is shorter than its first records or longer than the image");
        return std::nullopt;
    }
    const auto chain = image.first(total);
    if (!RecordIs(chain, 6, 0x2F, 6) || !RecordIs(chain, 12, 0x08, 3) || header.count < 2) {
        Fail(error, "the chain does not start with the 0x2F and 0x08 records");
        return std::nullopt;
    }
    ImageParts parts;
    RecordHeader code;
    const bool has_code = ReadRecordHeader(chain.subspan(kPartHeaderSize), code) &&
                          code.type == kCodeRecordType && code.extended &&
                          kPartHeaderSize + code.total_length <= total;
    if (!has_code) {
        parts.config.emplace(chain.begin(), chain.end());
        return parts;
    }
    const size_t d = code.total_length;
    if (kPartHeaderSize + d > kDataEnd) {
        Fail(error, "the code record does not fit the OTP data area");
        return std::nullopt;
    }
    std::vector<uint8_t> code_part(chain.begin(), chain.begin() + kPartHeaderSize + d);
    PutHeader(code_part, header.chip_model, kVariantCode, code_part.size(), 3);
    parts.code = std::move(code_part);
    // Records after the code record: the 0x2F and 0x08 records and the code record are three.
    if (header.count > 3 && kPartHeaderSize + d < total) {
        std::vector<uint8_t> config(chain.begin(), chain.begin() + kPartHeaderSize);
        config.insert(config.end(), chain.begin() + kPartHeaderSize + d, chain.end());
        PutHeader(config, header.chip_model, kVariantConfig, config.size(),
                  static_cast<uint8_t>(header.count - 1));
        parts.config = std::move(config);
    }
    return parts;
}

std::vector<uint8_t> CombineParts(const std::optional<std::vector<uint8_t>>& code,
                                  const std::optional<std::vector<uint8_t>>& config) {
    if (code && config && code->size() >= kPartHeaderSize && config->size() >= kPartHeaderSize) {
        std::vector<uint8_t> whole = *code;
        whole.insert(whole.end(), config->begin() + kPartHeaderSize, config->end());
        const uint8_t chip_model = static_cast<uint8_t>((*config)[2] >> 3);
        // The configuration part counts its 0x2F and 0x08 records; the whole chain adds the
        // code record.
        PutHeader(whole, chip_model, kVariantWhole, whole.size(),
                  static_cast<uint8_t>((*config)[5] + 1));
        return whole;
    }
    if (code) return *code;
    if (config) return *config;
    return {};
}

}  // namespace orbisk::otp
