// Configuration areas from untrusted images: the reader, the loader's parse and both edits.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "image/config_chain.h"
#include "image/config_edit.h"
#include "image/firmware_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orbisk;
    const std::span<const uint8_t> input(data, size);

    CConfigReader reader;
    reader.Load(input);
    reader.ReadHeader();
    reader.Walk([](std::unique_ptr<CDescriptor>) {});

    ImageRecord rec;
    rec.front.assign(data, data + size);
    ImageEnv env;
    env.layout = {0x40, 0x200, 0x3E};
    int32_t project = 0;
    env.project_type = &project;
    ParseFwFile(rec, env);

    std::vector<uint8_t> image(0x40, 0xFF);
    image.insert(image.end(), data, data + size);
    image.resize(std::max<size_t>(image.size(), 0x240), 0xFF);
    std::vector<uint8_t> copy = image;
    RebuildWithoutType(copy, env.layout, size ? data[0] & 0x3F : 1);
    copy = image;
    SetConfigString(copy, env.layout, "FUZZ-SERIAL", 3);
    return 0;
}
