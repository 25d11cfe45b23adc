#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orbisk {

// One audio capture endpoint of the system.
struct AudioEndpoint {
    std::string id;    // what Open needs ("hw:1,0" on ALSA)
    std::string name;  // "name (description)", "Unknown" for a missing part
};

// An opened capture stream. Capturing keeps the device's audio function, and with it the
// device, out of its runtime low-power state.
class AudioCaptureStream {
  public:
    virtual ~AudioCaptureStream() = default;
    virtual size_t BytesPerSecond() const = 0;
    // Starts capturing into `buffer`, which stays untouched by the caller until Stop.
    virtual bool Start(std::vector<uint8_t>* buffer) = 0;
    // Stops the stream and moves what arrived into the buffer; 0, or the device's error code.
    virtual int Stop() = 0;
};

class AudioCaptureSystem {
  public:
    virtual ~AudioCaptureSystem() = default;
    // Every capture endpoint, present or not yet started.
    virtual std::vector<AudioEndpoint> Endpoints() = 0;
    // nullptr when the endpoint cannot be opened or configured.
    virtual std::unique_ptr<AudioCaptureStream> Open(const AudioEndpoint& endpoint) = 0;
};

// ALSA on Linux.
std::unique_ptr<AudioCaptureSystem> CreateNativeAudioCaptureSystem();

}  // namespace orbisk
