#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "image/firmware_image.h"

namespace orbisk {

class CICTypeIni;
class LogScope;
struct Process;

// What the image checks work on: the device object's image record, the chip catalogue and
// the open camera's identity.
struct ImageSelection {
    Process& process;
    CICTypeIni& profiles;
    ImageRecord& images;
    uint16_t vid = 0;
    uint16_t pid = 0;
    std::string* chosen_image_path = nullptr;  // the .rfw accepted by the last search
    std::string* image_identity = nullptr;     // "VID_%.4X&PID_%.4X&REV_%.4X" of the image
    LogScope* log = nullptr;
    // The carried image whatever vid and pid say: for a camera in its boot ROM, where only the
    // chip check can tell.
    bool any_identity = false;
    // An image file to use instead of the carried image: the operator's, or the one a recovery
    // record names. Empty: the carried image.
    std::string file{};
    // With the file a recovery record names: the SHA-256 the file must still have.
    std::string file_sha256{};
};

// The selected image into the front slot: the file, else the carried image for the camera's
// identity (whatever the identity with any_identity). False when there is none for the camera;
// for a file, images.problem says why.
bool LoadSelectedImage(ImageSelection& s);

// An image file must be the camera's own: the identity its descriptor 4 carries (as the last
// parse read it) is the camera's vid and pid, unless any_identity. The carried image was
// chosen by identity already. False with images.problem (41714).
bool FileIdentityFits(ImageSelection& s);

// 1 when the front image fits the camera with this chip identity: a profile of the catalogue
// matches the chip and finds a configuration area of a known type in the image, the image
// parses, its chip model is the profile's (8 and 9 go together) and an image file carries the
// camera's identity. The last profile tried stays active. A refused file leaves the reason in
// images.problem.
int CheckImageForChipIdentity(ImageSelection& s, std::array<uint8_t, 2> chip);

// The first *.rfw in the program folder that loads into the front slot; its path becomes the
// chosen image path. 0 when none does (both paths are then empty).
int FindFirstLoadableImage(ImageSelection& s);

enum class SensorSlot { kFront, kRear };

// Sensor probe IDs that pick the "Larkvale" folder; any other ID picks "Ostrey".
inline constexpr uint16_t kFrontLarkvaleProbeId = 0x2722;
inline constexpr uint16_t kRearLarkvaleProbeId = 0x6737;

// The image of one sensor of a two-sensor module: the first *.rfw of the module's folder that
// loads and fits the camera's chip strictly. `read_chip` reads the open camera's chip identity.
int GetFwFileForTarnAllInOneFarrow(ImageSelection& s, SensorSlot slot, uint16_t probe_id,
                                   const std::function<std::array<uint8_t, 2>()>& read_chip);

}  // namespace orbisk
