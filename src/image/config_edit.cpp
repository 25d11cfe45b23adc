#include "image/config_edit.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "base/logger.h"
#include "image/config_chain.h"

namespace orbisk {

const char* EditResultText(EditResult r) {
    switch (r) {
        case EditResult::kOk:
            return "ok";
        case EditResult::kImageTooShort:
            return "image too short for the configuration area";
        case EditResult::kNoArea:
            return "no configuration area at ConfigAddress";
        case EditResult::kCorrupted:
            return "Config file corrupted";
        case EditResult::kAppendFailed:
            return "a descriptor could not be written";
        case EditResult::kTooLarge:
            return "new configuration area larger than ConfigSize";
        case EditResult::kStringTooLong:
            return "string of 49 characters or more";
    }
    return "?";
}

namespace {

void Log(LogScope* log, const char* text) {
    if (log) log->Line("%s", text);
}

// Common start of every edit: the old area read into `reader`, the builder begun.
EditResult Open(std::span<const uint8_t> image, const ConfigLayout& layout, CConfigReader& reader,
                CConfigBuilder& builder, LogScope* log) {
    if (size_t{layout.address} + layout.size > image.size()) {
        Log(log, "Image too short for the configuration area\r\n");
        return EditResult::kImageTooShort;
    }
    reader.Load(image.subspan(layout.address));
    if (!reader.ReadHeader().valid()) {
        Log(log, "Config file corrupted\r\n");
        return EditResult::kNoArea;
    }
    builder.Begin(reader, true);
    return EditResult::kOk;
}

// Common end: finish into an image-sized scratch buffer and copy the first A + S bytes over
// the image only when everything succeeded.
EditResult Close(std::span<uint8_t> image, const ConfigLayout& layout, CConfigBuilder& builder,
                 LogScope* log) {
    std::vector<uint8_t> scratch(image.size(), 0xFF);
    if (!builder.Finish(std::span(scratch).subspan(layout.address, layout.size))) {
        Log(log, "GetConfigData failed\r\n");
        return EditResult::kTooLarge;
    }
    std::copy_n(image.begin(), layout.address, scratch.begin());
    if (layout.address != 0) {
        // After the CRC was computed: the CRC record keeps covering the old type byte.
        scratch[layout.address] = kWrittenConfigType;
        if (size_t{layout.tag} + 2 <= scratch.size()) {
            scratch[layout.tag] = 0x55;
            scratch[layout.tag + 1] = 0xAA;
        }
    }
    const size_t end = size_t{layout.address} + layout.size;
    std::copy_n(scratch.begin(), end, image.begin());
    return EditResult::kOk;
}

}  // namespace

EditResult RebuildWithoutType(std::span<uint8_t> image, const ConfigLayout& layout, uint8_t type,
                              LogScope* log) {
    CConfigReader reader;
    auto builder = std::make_unique<CConfigBuilder>();
    if (auto r = Open(image, layout, reader, *builder, log); r != EditResult::kOk) return r;
    bool append_failed = false;
    // Only chip models 0 and 5 have a CRC record (finish makes a new one); elsewhere 0x1F is
    // a record of the chip's own (an audio codec setting on chip model 17) and is kept.
    const bool drop_crc = ModelHasCrc(reader.header().chip_model);
    const bool whole = reader.Walk(
        [&](std::unique_ptr<CDescriptor> d) {
            if (append_failed || d->type == type) return;
            if (drop_crc && d->type == CDescCRC::kType) return;
            if (!builder->Append(*d)) append_failed = true;
        },
        log);
    if (!whole) {
        Log(log, "Config file corrupted\r\n");
        return EditResult::kCorrupted;
    }
    if (append_failed) return EditResult::kAppendFailed;
    return Close(image, layout, *builder, log);
}

EditResult SetConfigString(std::span<uint8_t> image, const ConfigLayout& layout,
                           std::string_view text, uint8_t type, LogScope* log,
                           size_t* new_area_size) {
    CConfigReader reader;
    auto builder = std::make_unique<CConfigBuilder>();
    if (auto r = Open(image, layout, reader, *builder, log); r != EditResult::kOk) return r;
    const int b_length = static_cast<int>(text.size()) + 2;
    bool appended = false, append_failed = false;
    const bool whole = reader.Walk(
        [&](std::unique_ptr<CDescriptor> d) {
            if (append_failed) return;
            if (d->type != type) {
                if (!builder->Append(*d)) append_failed = true;
                return;
            }
            if (log)
                log->Line("|----- DescType length: %d\n |-----string length: %d\n", b_length,
                          static_cast<int>(text.size()));
            if (text.size() > kMaxEditChars) {
                Log(log, "SetString failed\r\n");
                return;
            }
            // A fresh record, so a malformed old one is replaced rather than copied.
            CDescString s(type);
            s.SetText(text);
            if (builder->Append(s))
                appended = true;
            else
                append_failed = true;
        },
        log);
    if (!whole) {
        Log(log, "Config file corrupted\r\n");
        return EditResult::kCorrupted;
    }
    if (!append_failed && !appended) {
        if (log)
            log->Line("|----- SN length: %d\n |-----string length: %d\n", b_length,
                      static_cast<int>(text.size()));
        if (text.size() > kMaxEditChars) {
            Log(log, "set serial number string failed\r\n");
            return EditResult::kStringTooLong;
        }
        CDescString s(type);
        s.SetText(text);
        if (!builder->Append(s)) append_failed = true;
    }
    if (append_failed) {
        Log(log, "Add SN Descriptor failed\r\n");
        return EditResult::kAppendFailed;
    }
    const EditResult r = Close(image, layout, *builder, log);
    if (r != EditResult::kOk) return r;
    if (new_area_size) *new_area_size = builder->finished_size();
    if (log) log->Line("|----- DownLoad length: %d\n", static_cast<int>(image.size()));
    return EditResult::kOk;
}

}  // namespace orbisk
