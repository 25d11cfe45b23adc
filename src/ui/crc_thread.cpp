#include "ui/crc_thread.h"

#include <array>

#include "base/logger.h"

namespace orbisk {
namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i << 24;
        for (int bit = 0; bit < 8; ++bit) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
        table[i] = c;
    }
    return table;
}
constexpr auto kTable = MakeTable();

}  // namespace

uint32_t Crc32Mpeg2(const uint8_t* data, size_t size, uint32_t crc) {
    for (size_t i = 0; i < size; ++i) crc = (crc << 8) ^ kTable[((crc >> 24) ^ data[i]) & 0xFF];
    return crc;
}

CCRCThread::CCRCThread(Logger& logger) : logger_(logger), context_(new QObject) {
    thread_.setObjectName("CCRCThread");
    context_->moveToThread(&thread_);
    thread_.start();
}

CCRCThread::~CCRCThread() {
    Quit();
    thread_.wait();
    delete context_;
}

uint64_t CCRCThread::Request(std::shared_ptr<const std::vector<uint8_t>> image) {
    uint64_t id = 0;
    {
        std::lock_guard lock(mutex_);
        id = ++requested_;
    }
    QMetaObject::invokeMethod(
        context_,
        [this, image, id] {
            const uint32_t crc = image ? Crc32Mpeg2(image->data(), image->size()) : 0xFFFFFFFFu;
            {
                std::lock_guard lock(mutex_);
                done_ = id;
                crc_ = crc;
            }
            finished_.notify_all();
            LogScope scope(logger_, "CCRCThread::OnCRC", 0);
            scope.Line("Finished\n");
        },
        Qt::QueuedConnection);
    return id;
}

bool CCRCThread::WaitResult(uint64_t id, uint32_t timeout_ms, uint32_t* crc) const {
    std::unique_lock lock(mutex_);
    if (!finished_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                            [&] { return done_ >= id; }) ||
        done_ != id)
        return false;
    *crc = crc_;
    return true;
}

bool CCRCThread::WaitLatest(uint32_t timeout_ms, uint32_t* crc) const {
    uint64_t id = 0;
    {
        std::lock_guard lock(mutex_);
        id = requested_;
    }
    return id != 0 && WaitResult(id, timeout_ms, crc);
}

void CCRCThread::Quit() {
    QMetaObject::invokeMethod(
        context_, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
}

}  // namespace orbisk
