// A whole 128 KB firmware download (FFU_Download) on the simulated camera, through the real
// device object, function library and transports, on three paths: extension unit with 8-byte
// and with 64-byte data packets, and second-generation vendor requests; each with and without
// the check that the erased flash is empty. Then the fast profile ("Fast Profile=1") on the
// extension unit: 1,024-byte packets negotiated with the camera, and no empty check since the
// verify reads every byte (its check_empty argument is the download option, which the profile
// then leaves out). The camera starts as an updated camera in the
// field: running its application, its flash locked.
//
// Counters per update:
//   virtual_s    the virtual time the update took
//   bound_s      the lower bound of the timing model for what the options strictly require,
//                counted from the protocol (transfers per step, their data bytes) times the
//                model's figures, never from what the camera charged: the reset into the boot
//                ROM and the read of its two mode records, the unlock (pin register, status
//                write, one busy read), the chip erase and one busy read, the larger packets
//                when asked for, the empty check only when its option is set, the write of the
//                blocks that are not blank (transfers or page programs, whichever is longer),
//                the verify read, the tag, the lock, the reset into the new code and the read
//                of its mode records
//   ratio        virtual_s / bound_s
//   transfers    control transfers the run sent; bound_transfers: those the bound counts
//   cpu_ms       host CPU time of one update; cpu_share: host CPU time / virtual time
// The label lists the bound's transfers per step.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "base/config_keys.h"
#include "bench_support.h"

// The scenario tests' rig: the whole tool against one simulated camera.
#include "device/flash_rig.cpp"
#include "support/recorders.cpp"
#include "support/temp_dir.cpp"
#include "support/tool_core.cpp"

namespace {

using namespace orbisk;

enum Path { kPackets8 = 0, kPackets64 = 1, kVendorV2 = 2, kFast = 3 };

constexpr uint32_t kChunk = 4096, kPage = 256;

// The wire of one path: how many transfers a command with `bytes` of data takes, and what
// they cost on the model's bus.
struct Wire {
    const sim::Timing& t;
    Path path;
    uint32_t packet() const { return path == kFast ? 1024 : path == kPackets64 ? 64 : 8; }
    double TransferUs(uint32_t bytes) const {
        return t.transfer_us + std::ceil(bytes * static_cast<double>(t.wire_ns_per_byte) / 1000);
    }
    // The extension unit: an 8-byte command, then the data in packets of the data-control
    // size. Vendor requests: one request carries the command and up to a chunk of data.
    uint32_t Transfers(uint32_t bytes) const {
        if (path == kVendorV2) return 1;
        return 1 + (bytes + packet() - 1) / packet();
    }
    double Us(uint32_t bytes) const {
        if (path == kVendorV2) return TransferUs(bytes);
        const uint32_t packets = (bytes + packet() - 1) / packet();
        return TransferUs(8) + packets * TransferUs(packet());
    }
};

struct Bound {
    double us = 0;
    uint32_t transfers = 0;
    std::string steps;
    // A step of `commands` commands of `bytes` data each, plus `wait_us` the device needs.
    void Add(const char* name, const Wire& w, uint32_t commands, uint32_t bytes,
             double wait_us = 0) {
        const uint32_t n = commands * w.Transfers(bytes);
        us += commands * w.Us(bytes) + wait_us;
        Count(name, n);
    }
    // A step of one request of its own with `bytes` of data (a class request, say).
    void AddRequest(const char* name, const Wire& w, uint32_t bytes) {
        us += w.TransferUs(bytes);
        Count(name, 1);
    }
    void Count(const char* name, uint32_t n) {
        transfers += n;
        steps += std::string(steps.empty() ? "" : " ") + name + "=" + std::to_string(n);
    }
};

// How the host waits for the camera: as soon as it is done (this host), or with the fixed
// waits of a host that sleeps a set time instead: "Wait Time" (5,000 ms) after each reset, 50 ms
// between the busy reads of a status write, every block written, blank or not.
enum class Waits { kAsNeeded, kFixed };

Bound CountBound(const sim::Timing& t, Path path, bool check_empty,
                 const std::vector<uint8_t>& image, uint32_t tag, Waits waits = Waits::kAsNeeded) {
    const Wire w{t, path};
    const uint32_t chunks = static_cast<uint32_t>(image.size() / kChunk);
    uint32_t written = 0;  // blocks with a byte to program (the tag held back as 0xFF)
    for (uint32_t c = 0; c < chunks; ++c) {
        for (uint32_t i = c * kChunk; i < (c + 1) * kChunk; ++i) {
            if (waits == Waits::kFixed || (image[i] != 0xFF && i != tag && i != tag + 1)) {
                ++written;
                break;
            }
        }
    }
    const bool fixed = waits == Waits::kFixed;
    const double reset_us =
        1000.0 * (fixed ? static_cast<uint32_t>(cfg::kWaitTime.default_value) : t.reenumerate_ms);
    const double status_us =
        1000.0 * (fixed ? std::max<uint32_t>(50, t.status_write_ms) : t.status_write_ms);
    Bound b;
    b.Add("rom_reset", w, 1, 0, reset_us);
    b.Add("rom_check", w, 2, 8);
    b.Add("unlock", w, 1, 1);  // the write-protect pin
    b.Add("unlock_sr", w, 1, 1, status_us);
    b.Add("unlock_poll", w, 1, 1);
    b.Add("erase", w, 1, 0, 1000.0 * t.chip_erase_ms);
    b.Add("erase_poll", w, 1, 1);
    if (path == kPackets64) b.Add("packets", w, 1, 0);
    if (path == kFast) {
        // The size asked for, then its length read back: one 2-byte class request.
        b.Add("packets", w, 1, 0);
        b.AddRequest("packets_len", w, 2);
    }
    if (check_empty && path != kFast) b.Add("empty_check", w, chunks, kChunk);
    // The pages of the write are programmed one after another while the data arrives.
    const double transfers_us = written * w.Us(kChunk);
    const double programs_us = written * (kChunk / kPage) * static_cast<double>(t.page_program_us);
    b.Add("write", w, written, kChunk, std::max(0.0, programs_us - transfers_us));
    b.Add("verify", w, chunks, kChunk);
    b.Add("tag", w, 1, 2, t.page_program_us);
    b.Add("lock", w, 1, 1);
    b.Add("lock_sr", w, 1, 1, status_us);
    b.Add("lock_poll", w, 1, 1);
    b.Add("code_reset", w, 1, 0, reset_us);
    b.Add("code_check", w, 2, 8);
    return b;
}

void BM_FlashDownload(benchmark::State& state) {
    const Path path = static_cast<Path>(state.range(0));
    const bool check_empty = state.range(1) != 0;
    const std::vector<uint8_t> old_image = MakeDemoImage(test::OldFirmware());
    const std::vector<uint8_t> new_image = MakeDemoImage(test::NewFirmware());
    double virtual_s = 0, cpu_s = 0;
    uint32_t transfers = 0;
    Bound bound;
    for (auto _ : state) {
        state.PauseTiming();
        sim::SimSettings settings = test::FlashRig::DefaultSettings();
        if (path == kVendorV2) settings.generation = sim::Generation::kVendorV2;
        const sim::Timing timing = settings.timing;
        test::FlashRig rig(settings, old_image);
        rig.process.config.SetValue(kConfigSection, "SaveSN", "1");
        if (!rig.OpenAndLoad(new_image)) {
            state.SkipWithError("the camera did not open");
            return;
        }
        if (path == kPackets64) rig.process.download_options |= 0x08;
        if (path == kFast) rig.process.config.SetValue(kConfigSection, "Fast Profile", "1");
        if (!check_empty) rig.process.download_options &= static_cast<uint8_t>(~0x02);
        const uint32_t transfers_before = rig.camera->TransferCount();
        state.ResumeTiming();

        const int result = bench::TimedRun(
            rig.clock, [&] { return rig.device->Download(); }, &virtual_s, &cpu_s);

        state.PauseTiming();
        if (result != 1 || !rig.camera->AppMode()) {
            state.SkipWithError("the update did not succeed");
            return;
        }
        transfers = rig.camera->TransferCount() - transfers_before;
        bound = CountBound(timing, path, check_empty, new_image, DemoLayout::kTagAddress);
        state.ResumeTiming();
    }
    const double bound_s = bound.us / 1e6;
    state.counters["virtual_s"] = virtual_s;
    state.counters["bound_s"] = bound_s;
    state.counters["ratio"] = virtual_s / bound_s;
    state.counters["transfers"] = transfers;
    state.counters["bound_transfers"] = bound.transfers;
    state.counters["cpu_ms"] = cpu_s * 1e3;
    state.counters["cpu_share"] = cpu_s / virtual_s;
    // The same update on the 8-byte path with the empty check, waited for with fixed waits.
    state.counters["fixed_waits_s"] =
        CountBound(test::FlashRig::DefaultSettings().timing, kPackets8, true, new_image,
                   DemoLayout::kTagAddress, Waits::kFixed)
            .us /
        1e6;
    state.SetLabel(bound.steps);
}
BENCHMARK(BM_FlashDownload)
    ->ArgNames({"path", "check_empty"})
    ->ArgsProduct({{kPackets8, kPackets64, kVendorV2, kFast}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
