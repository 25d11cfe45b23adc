#include "ui/wakeup_thread.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <cctype>
#include <vector>

#include "base/clock.h"
#include "base/logger.h"
#include "platform/audio_capture.h"

namespace orbisk {
namespace {

bool ContainsUsb(const std::string& name) {
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper.find("USB") != std::string::npos;
}

}  // namespace

CWakeUpThread::CWakeUpThread(Logger& logger, Clock& clock, AudioCaptureSystem& audio)
    : logger_(logger), clock_(clock), audio_(audio) {
    setObjectName("CWakeUpThread");
}

CWakeUpThread::~CWakeUpThread() {
    // Whoever owns the thread has given it its time to end; a QThread must not go while it
    // still runs.
    RequestStop();
    wait();
}

bool CWakeUpThread::StopAndWait(unsigned long timeout_ms) {
    RequestStop();
    // The loop checks the flag between bursts, and every exit path signals the event.
    return wait(QDeadlineTimer(static_cast<qint64>(timeout_ms)));
}

void CWakeUpThread::run() {
    CaptureLoop();
    done_.Set();
}

void CWakeUpThread::CaptureLoop() {
    LogScope scope(logger_, "CWakeUpThread::OnRecord", 0);
    const auto endpoints = audio_.Endpoints();
    scope.Line("deviceCount is %d\n", static_cast<int>(endpoints.size()));
    const AudioEndpoint* chosen = nullptr;
    for (const auto& endpoint : endpoints) {
        scope.Line("deviceName is %s\n", endpoint.name.c_str());
        if (chosen == nullptr && ContainsUsb(endpoint.name)) chosen = &endpoint;
    }
    if (chosen == nullptr) {
        scope.Line("Record Start Fail PickDevice\n");
        return;
    }
    auto stream = audio_.Open(*chosen);
    if (!stream) {
        scope.Line("Unable to allocate capturer\n");
        scope.Line("Record Start Fail allocate capturer\n");
        return;
    }
    while (!stop_) {
        const size_t bytes = stream->BytesPerSecond() / 20;
        if (bytes == 0) {
            scope.Line("Unable to allocate capture buffer\n");
            break;
        }
        std::vector<uint8_t> buffer(bytes);
        if (!stream->Start(&buffer)) {
            scope.Line("Record Start Fail\n");
            break;
        }
        scope.Text(".");
        clock_.sleep_ms(50);
        scope.Text("\n");
        if (const int error = stream->Stop(); error != 0)
            scope.Line("Unable to stop audio client: %x\n", static_cast<unsigned>(error));
        ++bursts_;
    }
}

}  // namespace orbisk
