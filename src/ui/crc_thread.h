#pragma once
#include <QThread>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "ui/manual_event.h"

namespace orbisk {

class Logger;

// CRC-32/MPEG-2: polynomial 0x04C11DB7, initial value 0xFFFFFFFF, most significant bit first,
// no reflection and no final XOR.
uint32_t Crc32Mpeg2(const uint8_t* data, size_t size, uint32_t crc = 0xFFFFFFFF);

// Computes the CRC of the dialog's image copy in the background while a bridge update runs;
// the update compares it with what the camera reports afterwards. Readers wait for the done
// event, then read the result.
class CCRCThread {
  public:
    explicit CCRCThread(Logger& logger);
    ~CCRCThread();
    CCRCThread(const CCRCThread&) = delete;
    CCRCThread& operator=(const CCRCThread&) = delete;

    // Asks for the CRC of `image`. The done event is reset here, before the request is queued,
    // so no reader can take the previous image's CRC for this one.
    void Request(std::shared_ptr<const std::vector<uint8_t>> image);
    // Waits at most timeout_ms for the computation; true with the CRC when it finished.
    bool WaitResult(uint32_t timeout_ms, uint32_t* crc) const;
    // Ends the thread after the request it is working on.
    void Quit();
    bool running() const { return thread_.isRunning(); }

  private:
    Logger& logger_;
    QThread thread_;
    QObject* context_;
    ManualEvent done_;
    std::atomic<uint32_t> crc_{0};
};

}  // namespace orbisk
