#include "device/chunked_transfer.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/process.h"
#include "support/recorders.h"

namespace orbisk {
namespace {

struct Fixture {
    VirtualClock clock;
    Logger logger{clock, nullptr};
    Process process{clock, logger};
    test::RecordingStatusSink sink;
    CThreadFlag cancel;
    Fixture() {
        process.status.SetSink(&sink);
        process.status.SetCancelSource(&cancel);
    }
};

struct Call {
    uint32_t address, length;
    bool operator==(const Call&) const = default;
};

TEST(ChunkedTransferTest, SplitsIntoChunksAndReportsProgress) {
    Fixture f;
    std::vector<uint8_t> memory(10000);
    std::vector<Call> calls;
    const ChunkOp op = [&](uint32_t a, uint32_t n, uint8_t* data) {
        EXPECT_EQ(data, memory.data() + a);  // the buffer is indexed by address
        calls.push_back({a, n});
        return true;
    };
    ASSERT_TRUE(RunChunkedTransfer(f.process, ChunkedKind::kSpiWrite, 0, 10000, memory, op));
    EXPECT_EQ(calls, (std::vector<Call>{{0, 4096}, {4096, 4096}, {8192, 1808}}));
    EXPECT_EQ(f.sink.codes(kReportStepText), std::vector<uint32_t>{41721});
    EXPECT_EQ(f.sink.codes(kReportProgress), (std::vector<uint32_t>{47, 59, 65}));
}

TEST(ChunkedTransferTest, ProgressFormulasOfTheTable) {
    struct Case {
        ChunkedKind kind;
        uint32_t done, total, expected;
    } const cases[] = {
        {ChunkedKind::kSpiCheckEmpty, 4096, 131072, 5 + 4096 * 30 / 131072},
        {ChunkedKind::kSpiVerify, 131072, 131072, 95},
        {ChunkedKind::kSpiRead, 65536, 131072, 50},
        {ChunkedKind::kNorCheckEmpty, 1, 2, 40},
        {ChunkedKind::kEep16Write, 8, 8192, 50},
        {ChunkedKind::kEep8CheckEmpty, 32, 8192, 40},  // divides by 64, not the length
        {ChunkedKind::kMtpCheckEmpty, 64, 1 << 20, 50},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChunkProgress(ChunkPlanFor(c.kind), c.done, c.total), c.expected);
}

TEST(ChunkedTransferTest, RetriesEachChunkAtMostEightTimes) {
    for (int failures : {7, 8}) {
        Fixture f;
        std::vector<uint8_t> memory(100);
        int attempts = 0;
        const ChunkOp op = [&](uint32_t, uint32_t, uint8_t*) { return ++attempts > failures; };
        const bool ok = RunChunkedTransfer(f.process, ChunkedKind::kSpiRead, 0, 100, memory, op);
        EXPECT_EQ(ok, failures == 7);
        EXPECT_EQ(attempts, 8);
    }
}

TEST(ChunkedTransferTest, StopRequestEndsTheTransferBeforeTheNextChunk) {
    Fixture f;
    std::vector<uint8_t> memory(3 * 4096);
    int chunks = 0;
    const ChunkOp op = [&](uint32_t, uint32_t, uint8_t*) {
        if (++chunks == 2) f.cancel.SetCancel(true);
        return true;
    };
    EXPECT_FALSE(RunChunkedTransfer(f.process, ChunkedKind::kSpiWrite, 0, 3 * 4096, memory, op));
    EXPECT_EQ(chunks, 2);
}

TEST(ChunkedTransferTest, ZeroLengthsAndLimitsAndBounds) {
    Fixture f;
    std::vector<uint8_t> memory(8192);
    std::vector<Call> calls;
    const ChunkOp op = [&](uint32_t a, uint32_t n, uint8_t*) {
        calls.push_back({a, n});
        return true;
    };
    EXPECT_FALSE(RunChunkedTransfer(f.process, ChunkedKind::kSpiWrite, 0, 0, memory, op));
    EXPECT_FALSE(RunChunkedTransfer(f.process, ChunkedKind::kSpiReadRange, 0, 0, memory, op));
    // The 64-byte checks read only the first 64 bytes, in chunks of their size.
    EXPECT_TRUE(RunChunkedTransfer(f.process, ChunkedKind::kMtpCheckEmpty, 0, 8192, memory, op));
    EXPECT_EQ(calls, (std::vector<Call>{{0, 64}}));
    calls.clear();
    EXPECT_TRUE(RunChunkedTransfer(f.process, ChunkedKind::kEep8CheckEmpty, 0, 8192, memory, op));
    EXPECT_EQ(calls.size(), 8u);
    calls.clear();
    // A range beyond the buffer is refused before anything reaches the device.
    EXPECT_FALSE(RunChunkedTransfer(f.process, ChunkedKind::kSpiReadRange, 8000, 400, memory, op));
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(RunChunkedTransfer(f.process, ChunkedKind::kSpiReadRange, 8000, 192, memory, op));
    EXPECT_EQ(calls, (std::vector<Call>{{8000, 192}}));
}

TEST(ChunkedTransferTest, EraseAttemptsPauseAndEndAtThirty) {
    Fixture f;
    int attempts = 0;
    EXPECT_FALSE(EraseWithAttempts(f.process, [&] { return ++attempts < 0; }));
    EXPECT_EQ(attempts, 3);
    EXPECT_EQ(f.clock.now_ms(), 3u * 128);
    EXPECT_EQ(f.sink.codes(kReportProgress), std::vector<uint32_t>{30});

    attempts = 0;
    EXPECT_TRUE(EraseWithAttempts(f.process, [&] { return ++attempts == 2; }));
    EXPECT_EQ(attempts, 2);

    f.cancel.SetCancel(true);
    attempts = 0;
    EXPECT_FALSE(EraseWithAttempts(f.process, [&] { return ++attempts > 0; }));
    EXPECT_EQ(attempts, 0);
}

}  // namespace
}  // namespace orbisk
