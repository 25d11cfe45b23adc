#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/sim_camera.h"

namespace orbisk::sim {

// The network face of a simulated camera: the IP camera's message protocol (12-byte header:
// command, status, parameter, data length; little-endian; then the data), answered from the
// same controller model as the USB face. Read with the camera's own small codec, apart from the
// tool's.
inline constexpr size_t kNetHeaderSize = 12;
inline constexpr uint16_t kNetPort = 6666;
// Largest request data the camera takes: a file upload, anything else (its message buffer).
inline constexpr uint32_t kNetMaxUpload = 64u << 20;
inline constexpr uint32_t kNetMaxRequest = 1u << 20;
// Where an upload is kept in the camera folder, and the numbered commands' settings.
inline constexpr const char* kUploadFile = "upload.bin";
inline constexpr const char* kNetworkFile = "network.ini";

// Reply status codes of the simulated camera.
enum NetStatus : uint16_t {
    kNetOk = 0,
    kNetUnknownCommand = 1,
    kNetBadRequest = 2,     // wrong parameter, length or payload for the command
    kNetNoAcknowledge = 3,  // no I2C device at that address
    kNetOutOfRange = 4,
    kNetStoreFailed = 5,  // the upload could not be stored
};

// Faults of the network face, each for one request (numbered from 1 over all connections).
enum class NetFault {
    kNone,
    kShortReply,   // the reply announces 64 data bytes more than it sends; then the camera hangs up
    kWrongStatus,  // the reply carries status kNetBadRequest
    kClose,        // the camera hangs up instead of answering
    kSilent,       // the camera never answers; the connection stays open
};

// What the server does with one request.
struct NetAnswer {
    enum Action { kSend, kSendThenClose, kClose, kSilence };
    Action action = kSend;
    std::vector<uint8_t> reply;  // header and data
};

class SimNetCamera {
  public:
    // `camera` is the controller; its folder (when it has one) keeps the upload and
    // network.ini.
    explicit SimNetCamera(std::shared_ptr<SimCamera> camera);

    static uint32_t MaxRequestData(uint16_t command) {
        return command == 2 ? kNetMaxUpload : kNetMaxRequest;
    }
    // One request: its 12-byte header and the data it announced.
    NetAnswer Handle(const uint8_t* header, const std::vector<uint8_t>& data);

    // Every reply is sent in pieces of this many bytes (0: whole).
    void SetSplit(uint32_t bytes);
    uint32_t split();
    // `fault` hits request number `at` (0: the next request).
    void SetFault(NetFault fault, uint32_t at = 0);
    // Requests as received (header and data), kept while recording is on.
    void SetRecording(bool on);
    std::vector<std::vector<uint8_t>> Requests();
    uint32_t RequestCount();
    // The text command 11 answers: where the camera listens.
    void SetListenAddress(const std::string& address);
    // The last upload (also in the folder's upload.bin).
    std::vector<uint8_t> LastUpload();
    SimCamera& camera() { return *camera_; }

  private:
    struct Reply {
        Reply(uint16_t status_code = kNetOk, uint32_t param = 0, std::vector<uint8_t> bytes = {})
            : status(status_code), parameter(param), data(std::move(bytes)) {}
        uint16_t status;
        uint32_t parameter;
        std::vector<uint8_t> data;
    };
    struct Request {
        uint16_t command;
        uint32_t parameter;
        const std::vector<uint8_t>& data;
    };
    // An I2C device with a register pointer: a write selects a register (and writes on from
    // it); a write right after a bare select writes at the selected register.
    struct I2cDevice {
        std::array<uint8_t, 256> registers{};
        uint8_t pointer = 0;
        bool selected = false;
    };

    Reply Dispatch(const Request& request);
    Reply Numbered(const Request& request);
    Reply Register(const Request& request);
    uint16_t I2cTransfer(uint8_t slave, bool read, uint8_t* bytes, uint8_t count);
    Reply Upload(const std::vector<uint8_t>& data);
    Reply Text(const std::string& text);
    std::string FolderFile(const char* name) const;
    void LoadState();
    void SaveState();

    std::mutex mutex_;
    std::shared_ptr<SimCamera> camera_;
    std::string folder_;
    uint32_t split_ = 0;
    NetFault fault_ = NetFault::kNone;
    uint32_t fault_at_ = 0;
    uint32_t requests_ = 0;
    bool recording_ = false;
    std::vector<std::vector<uint8_t>> recorded_;
    std::string listen_address_;
    std::vector<uint8_t> last_upload_;

    // Registers besides the controller's: the 0x03 space, the 0x05 blocks, the 0x0A bytes.
    std::vector<uint8_t> registers03_ = std::vector<uint8_t>(0x10000, 0);
    std::map<uint8_t, std::array<uint8_t, 256>> blocks05_;
    std::map<uint16_t, uint8_t> bytes0a_;
    std::map<uint8_t, I2cDevice> i2c_;

    // Numbered commands' settings, kept in network.ini.
    std::map<uint16_t, uint32_t> switches_;  // commands 7, 8, 9: 1 on, 2 off
    std::vector<uint8_t> switch7_data_;
    std::vector<uint8_t> data10_;
    uint8_t value16_ = 0;
    uint8_t value17_ = 0;
    uint8_t value19_ = 0;
    uint32_t command3_count_ = 0;
    std::map<uint32_t, uint32_t> params20_;
};

}  // namespace orbisk::sim
