#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orbisk {

// USB descriptor types and the video/audio class values the finders look for.
inline constexpr uint8_t kDescInterface = 4;
inline constexpr uint8_t kDescEndpoint = 5;
inline constexpr uint8_t kDescCsInterface = 0x24;
inline constexpr uint8_t kClassAudio = 1;
inline constexpr uint8_t kClassVideo = 14;
inline constexpr uint8_t kSubclassControl = 1;  // video control and audio control alike

// The vendor extension units, as the 16 bytes of their GUIDs appear in a descriptor.
extern const uint8_t kVendorExtUnitGuid[16];
extern const uint8_t kSecondExtUnitGuid[16];
inline constexpr uint16_t kAudioExtensionCode = 0x2C7E;

// Walks the descriptors of a configuration one by one. The walk ends at the configuration's
// wTotalLength or the end of the buffer, whichever comes first, and at a descriptor whose
// bLength is below 2 or runs past that end, so a malformed reply can never be read past.
class DescriptorWalker {
  public:
    explicit DescriptorWalker(std::span<const uint8_t> config);
    // The next whole descriptor, or an empty span when the walk is over.
    std::span<const uint8_t> Next();

  private:
    std::span<const uint8_t> bytes_;
    size_t offset_ = 0;
};

// One standard interface descriptor of a configuration.
struct InterfaceInfo {
    uint8_t number = 0;
    uint8_t alternate = 0;
    uint8_t cls = 0;
    uint8_t subclass = 0;
};
std::vector<InterfaceInfo> ListInterfaces(std::span<const uint8_t> config);

// bUnitID of the usable vendor extension unit of video-control interface `interface_number`,
// or -1. *second_unit tells whether the interface also carries the second vendor unit. When
// several vendor units are present the last one scanned counts.
int FindVideoExtensionUnit(std::span<const uint8_t> config, uint8_t interface_number,
                           bool* second_unit);
// bUnitID of every extension unit of video-control interface `interface_number`, in
// descriptor order (the kernel driver's path looks for its unit among them).
std::vector<uint8_t> ListVideoExtensionUnits(std::span<const uint8_t> config,
                                             uint8_t interface_number);
// bUnitID of the first audio extension unit with the maker's extension code, or -1.
int FindAudioExtensionUnit(std::span<const uint8_t> config);
// Whether the configuration holds a bulk endpoint.
bool HasBulkEndpoint(std::span<const uint8_t> config);

}  // namespace orbisk
