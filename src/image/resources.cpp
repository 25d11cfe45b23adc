#include "image/resources.h"

namespace orbisk {

// Defined by the generated embedded_resources.cpp.
extern const EmbeddedResource kEmbeddedResources[];
extern const size_t kEmbeddedResourceCount;

std::span<const EmbeddedResource> AllResources() {
    return {kEmbeddedResources, kEmbeddedResourceCount};
}

std::span<const uint8_t> FindResource(std::string_view kind, int id) {
    for (const EmbeddedResource& r : AllResources())
        if (r.id == id && kind == r.kind) return {r.data, r.size};
    return {};
}

}  // namespace orbisk
