#pragma once
#include <QThread>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace orbisk {

class Logger;

// CRC-32/MPEG-2: polynomial 0x04C11DB7, initial value 0xFFFFFFFF, most significant bit first,
// no reflection and no final XOR.
uint32_t Crc32Mpeg2(const uint8_t* data, size_t size, uint32_t crc = 0xFFFFFFFF);

// Computes the CRC of the dialog's image copy in the background while a bridge update runs;
// the update compares it with what the camera reports afterwards. Every request has a number,
// and a reader gets the result of the request it waits for, never an older one's.
class CCRCThread {
  public:
    explicit CCRCThread(Logger& logger);
    ~CCRCThread();
    CCRCThread(const CCRCThread&) = delete;
    CCRCThread& operator=(const CCRCThread&) = delete;

    // Asks for the CRC of `image`; returns the request's number.
    uint64_t Request(std::shared_ptr<const std::vector<uint8_t>> image);
    // Waits at most timeout_ms for request `id`; true with its CRC when it finished. False
    // when a later request finished first (its result replaced this one's).
    bool WaitResult(uint64_t id, uint32_t timeout_ms, uint32_t* crc) const;
    // The same for the last request made; false when none was made.
    bool WaitLatest(uint32_t timeout_ms, uint32_t* crc) const;
    // Ends the thread after the request it is working on.
    void Quit();
    bool running() const { return thread_.isRunning(); }

  private:
    Logger& logger_;
    QThread thread_;
    QObject* context_;
    mutable std::mutex mutex_;
    mutable std::condition_variable finished_;
    uint64_t requested_ = 0;  // number of the last request made
    uint64_t done_ = 0;       // number of the last request finished
    uint32_t crc_ = 0;        // its CRC
};

}  // namespace orbisk
