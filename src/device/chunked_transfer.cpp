#include "device/chunked_transfer.h"

#include <algorithm>
#include <cstring>

#include "base/process.h"
#include "base/status_codes.h"

namespace orbisk {

namespace {

// Step texts of the status table.

const ChunkPlan kPlans[] = {
    /* kSpiWrite */ {4096, kStatusStepDownload, 35, 30, 0, true},
    /* kSpiCheckEmpty */ {4096, kStatusStepCheckEmpty, 5, 30, 0, true},
    /* kSpiVerify */ {4096, kStatusStepVerify, 65, 30, 0, true},
    /* kSpiRead */ {4096, kStatusStepRead, 10, 80, 0, true},
    /* kSpiReadRange */ {4096, kStatusStepRead, 10, 80, 0, false},
    /* kNorWrite */ {4096, kStatusStepDownload, 50, 20, 0, true},
    /* kNorVerify */ {4096, kStatusStepVerify, 70, 20, 0, true},
    /* kNorCheckEmpty */ {4096, kStatusStepCheckEmpty, 30, 20, 0, true},
    /* kEep16Write */ {8, kStatusStepDownload, 50, 20, 0, true},
    /* kEep16Read */ {8, kStatusStepRead, 10, 80, 0, true},
    /* kEep16Verify */ {8, kStatusStepVerify, 70, 20, 0, true},
    /* kEep8Write */ {8, kStatusStepDownload, 50, 20, 0, true},
    /* kEep8Read */ {8, kStatusStepRead, 10, 80, 0, true},
    /* kEep8CheckEmpty */ {8, kStatusStepCheckEmpty, 30, 20, 64, false},
    /* kMtpWrite */ {4096, kStatusStepDownload, 50, 20, 0, true},
    /* kMtpRead */ {4096, kStatusStepRead, 10, 80, 0, true},
    /* kMtpCheckEmpty */ {4096, kStatusStepCheckEmpty, 30, 20, 64, false},
};

}  // namespace

const ChunkPlan& ChunkPlanFor(ChunkedKind kind) {
    return kPlans[static_cast<int>(kind)];
}

uint32_t ChunkProgress(const ChunkPlan& plan, uint32_t done, uint32_t total) {
    const uint64_t divisor = plan.limit != 0 ? plan.limit : total;
    if (divisor == 0) return plan.base;
    return plan.base + static_cast<uint32_t>(uint64_t{done} * plan.span / divisor);
}

bool ChunkWithRetry(Process& process, const ChunkOp& op, uint32_t address, uint32_t length,
                    uint8_t* data) {
    for (int attempt = 0; attempt < kChunkAttempts; ++attempt) {
        if (process.CheckCancel()) return false;
        if (op(address, length, data)) return true;
    }
    return false;
}

bool RunChunkedTransfer(Process& process, ChunkedKind kind, uint32_t start, uint32_t total,
                        std::span<uint8_t> memory, const ChunkOp& op, bool skip_erased) {
    const ChunkPlan& plan = ChunkPlanFor(kind);
    process.Report(kReportStepText, plan.step_text);
    if (total == 0 && plan.zero_length_fails) return false;
    if (plan.limit != 0) total = std::min(total, plan.limit);
    if (uint64_t{start} + total > memory.size()) return false;
    bool result = false;
    uint32_t done = 0;
    while (done < total) {
        if (process.CheckCancel()) return false;
        const uint32_t chunk = std::min(plan.chunk, total - done);
        const uint32_t address = start + done;
        if (skip_erased && IsErased(memory.subspan(address, chunk)))
            result = true;
        else
            result = ChunkWithRetry(process, op, address, chunk, memory.data() + address);
        if (!result) return false;
        done += chunk;
        process.Report(kReportProgress, ChunkProgress(plan, done, total));
    }
    return result;
}

bool IsErased(std::span<const uint8_t> data) {
    return std::all_of(data.begin(), data.end(), [](uint8_t b) { return b == 0xFF; });
}

bool EraseWithAttempts(Process& process, const std::function<bool()>& erase) {
    bool result = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (process.CheckCancel()) break;
        result = erase();
        if (result) break;
        process.clock.sleep_ms(128);
    }
    process.Report(kReportProgress, 30);
    return result;
}

}  // namespace orbisk
