#pragma once
#include <cstdint>
#include <functional>
#include <span>

namespace orbisk {

struct Process;

// The chunked transfers of the programming flows share one algorithm; they differ in chunk size,
// step text and the progress range their chunks fill.
enum class ChunkedKind {
    kSpiWrite,
    kSpiCheckEmpty,
    kSpiVerify,
    kSpiRead,
    kSpiReadRange,
    kNorWrite,
    kNorVerify,
    kNorCheckEmpty,
    kEep16Write,
    kEep16Read,
    kEep16Verify,
    kEep8Write,
    kEep8Read,
    kEep8CheckEmpty,
    kMtpWrite,
    kMtpRead,
    kMtpCheckEmpty,
};

struct ChunkPlan {
    uint32_t chunk;      // bytes per device operation
    uint32_t step_text;  // status code reported before the first chunk
    uint32_t base;       // progress = base + done * span / total
    uint32_t span;
    uint32_t limit;  // 0: the whole length; else only the first `limit` bytes (and the
                     // progress divides by `limit`)
    bool zero_length_fails;
};

const ChunkPlan& ChunkPlanFor(ChunkedKind kind);

// Progress after `done` of `total` bytes, in the integer arithmetic the dialogs expect.
uint32_t ChunkProgress(const ChunkPlan& plan, uint32_t done, uint32_t total);

// One device operation on one chunk: (address, length, bytes at that address). True on success.
using ChunkOp = std::function<bool(uint32_t address, uint32_t length, uint8_t* data)>;

inline constexpr int kChunkAttempts = 8;

// Up to 8 attempts without pause; the stop request is checked before each one.
bool ChunkWithRetry(Process& process, const ChunkOp& op, uint32_t address, uint32_t length,
                    uint8_t* data);

// Runs a chunked transfer. `memory` is indexed by device address: the bytes for address a are
// memory[a]. A range that does not fit into `memory` fails before anything is sent. Returns the
// result of the last chunk (false when there was none). With `skip_erased` (a write into
// freshly erased memory) a chunk of only 0xFF bytes is counted as done without being sent.
bool RunChunkedTransfer(Process& process, ChunkedKind kind, uint32_t start, uint32_t total,
                        std::span<uint8_t> memory, const ChunkOp& op, bool skip_erased = false);

// True when every byte is 0xFF (what an erased part reads).
bool IsErased(std::span<const uint8_t> data);

// A whole-memory erase of the EEPROM, MTP and NOR kinds: up to 3 attempts with 128 ms pauses
// after each failure, stopping early on a stop request; progress 30 at the end either way.
bool EraseWithAttempts(Process& process, const std::function<bool()>& erase);

}  // namespace orbisk
