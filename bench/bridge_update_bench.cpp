// A whole 128 KB update of the flash behind a simulated MIPI bridge (C7608FlashInfo_USB's
// download, command-line verification by reading back), through the real device object,
// function library and extension-unit transport, with the bridge's program commands pipelined
// over its two mailboxes and, for comparison, without.
//
// Counters per update:
//   virtual_s  the virtual time the update took
//   bound_s    a lower bound counted here from the protocol and the timing figures, not from
//              what the simulated camera charged: every I2C transfer the sequence cannot do
//              without (each mailbox block written, one status read per command, each reply
//              read), each carried by the extension unit's control transfers of 8-byte packets
//              and taking its bytes' time on a 400 kHz I2C bus (nine clocks a byte); the
//              bridge's work that nothing can overlap (the whole-flash erase, programming where
//              it is slower than the transfers, the reads of its flash, its restarts); and the
//              flash status writes that unlock and lock
//   ratio      virtual_s / bound_s
//   cpu_ms     host CPU time of one update
#include <benchmark/benchmark.h>

#include <algorithm>

#include "bench_support.h"

// The scenario tests' rigs: the whole tool against one simulated MIPI module.
#include "device/bridge_rig.cpp"
#include "device/flash_rig.cpp"
#include "support/recorders.cpp"
#include "support/temp_dir.cpp"
#include "support/tool_core.cpp"

namespace {

using namespace orbisk;

// The lower bound of one update, in microseconds.
class Bound {
  public:
    Bound(const sim::Timing& usb, const sim::BridgeTiming& bridge) : usb_(usb), bridge_(bridge) {}

    // One control transfer of the extension unit carrying `bytes` in its data stage.
    double Transfer(uint32_t bytes) const {
        return usb_.transfer_us + bytes * usb_.wire_ns_per_byte / 1000.0;
    }
    // An I2C long write or read of n bytes: pieces of 64, each a command and its packets of 8,
    // each taking its bus time.
    double I2c(uint32_t n, bool read) const {
        double us = 0;
        for (uint32_t done = 0; done < n;) {
            const uint32_t piece = std::min<uint32_t>(64, n - done);
            const uint32_t packets = (piece + 7) / 8;
            const double clocks = read ? (4.0 + piece) * 9 + 3 : (3.0 + piece) * 9 + 2;
            us += Transfer(8) + packets * Transfer(8) + clocks * 1000.0 / bridge_.i2c_khz;
            done += piece;
        }
        return us;
    }
    // A mailbox command: a status read to find the mailbox free, the block, the bridge's
    // handling, a status read to see it done, and the reply.
    double Command(uint32_t block, uint32_t reply) const {
        return 2 * I2c(1, true) + I2c(block, false) + bridge_.command_us +
               (reply ? I2c(reply, true) : 0);
    }
    // The whole download of an image of `size` bytes (a multiple of 256) from a bridge running
    // its code.
    double Update(uint32_t size) const {
        const uint32_t chunks = size / 256;
        const double restart = bridge_.reset_delay_us + bridge_.boot_ms * 1000.0;
        const double mode_read = I2c(1, true);
        // Into the boot ROM: the mode, 05 07, the restart, the mode again.
        double us = mode_read + Command(8, 0) + restart + mode_read;
        // Unlock and lock: two register reads and writes, the status write and its busy time,
        // one status read.
        const double protect = 2 * Command(4, 1) + 2 * Command(5, 0) + Command(9, 0) +
                               bridge_.status_write_ms * 1000.0 + Command(8, 1);
        us += 2 * protect;
        us += Command(8, 0) + bridge_.chip_erase_ms * 1000.0;  // 01 07
        // Posting a program command: one status read and the block. The flash programs one
        // page at a time: whichever is slower sets the pace, the other adds its first (or last)
        // piece.
        const double post = I2c(1, true) + I2c(264, false);
        const double page = bridge_.command_us + bridge_.page_program_us;
        us += std::max(chunks * post + page, chunks * page + post) + I2c(1, true);
        // Reading back: a command per chunk with its 256-byte reply and the flash read.
        us += chunks * (Command(8, 256) + 256 * bridge_.read_ns_per_byte / 1000.0);
        us += Command(8, 0);                        // 01 09
        us += Command(8, 0) + restart + mode_read;  // 05 08, the restart, the mode
        us += 4 * Command(8, 8);                    // the information block
        return us;
    }

  private:
    sim::Timing usb_;
    sim::BridgeTiming bridge_;
};

void BM_BridgeDownload(benchmark::State& state) {
    const bool pipelined = state.range(0) != 0;
    const std::vector<uint8_t> image = test::NewBridgeImage();
    double virtual_s = 0, bound_s = 0, cpu_s = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const sim::SimSettings settings = test::BridgeRig::DefaultSettings();
        test::BridgeRig rig(settings);
        if (!rig.OpenAndLoad(image)) {
            state.SkipWithError("the camera did not open");
            return;
        }
        rig.camlib.SetBridgePipelining(pipelined);
        state.ResumeTiming();

        const int result = bench::TimedRun(
            rig.clock, [&] { return rig.device->Download(); }, &virtual_s, &cpu_s);

        state.PauseTiming();
        if (result != 1 || rig.camera->BridgeMode() != 2) {
            state.SkipWithError("the update did not succeed");
            return;
        }
        bound_s = Bound(settings.timing, settings.bridge.timing)
                      .Update(static_cast<uint32_t>(image.size())) /
                  1e6;
        state.ResumeTiming();
    }
    state.counters["virtual_s"] = virtual_s;
    state.counters["bound_s"] = bound_s;
    state.counters["ratio"] = virtual_s / bound_s;
    state.counters["cpu_ms"] = cpu_s * 1e3;
}
BENCHMARK(BM_BridgeDownload)
    ->ArgName("pipelined")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
