// A whole 128 KB firmware download (FFU_Download) on the simulated camera, through the real
// device object, function library and transports, on three paths: extension unit with 8-byte
// and with 64-byte data packets, and second-generation vendor requests.
//
// Counters per update:
//   virtual_s  the virtual time the update took
//   bound_s    the lower bound the same timing model gives: the time the camera was busy with
//              the transfers and memory operations of the sequence (charged by the camera on its
//              own clock), plus the flash status writes and the re-enumerations the sequence has
//              to wait for, with nothing in between
//   ratio      virtual_s / bound_s
//   cpu_ms     host CPU time of one update
//   cpu_share  host CPU time / virtual time
#include <benchmark/benchmark.h>

#include "bench_support.h"

// The scenario tests' rig: the whole tool against one simulated camera.
#include "device/flash_rig.cpp"
#include "support/recorders.cpp"
#include "support/temp_dir.cpp"

namespace {

using namespace orbisk;

enum Path { kPackets8 = 0, kPackets64 = 1, kVendorV2 = 2 };

void BM_FlashDownload(benchmark::State& state) {
    const Path path = static_cast<Path>(state.range(0));
    const std::vector<uint8_t> old_image = MakeDemoImage(test::OldFirmware());
    const std::vector<uint8_t> new_image = MakeDemoImage(test::NewFirmware());
    double virtual_s = 0, bound_s = 0, cpu_s = 0;
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
        rig.camera_clock.charged_us = 0;
        state.ResumeTiming();

        const int result = bench::TimedRun(
            rig.clock, [&] { return rig.device->Download(); }, &virtual_s, &cpu_s);

        state.PauseTiming();
        if (result != 1 || !rig.camera->AppMode()) {
            state.SkipWithError("the update did not succeed");
            return;
        }
        // Two resets (into the boot ROM and into the new code) and two status-register writes
        // (unlock and lock) are waited for; everything else the camera charged itself.
        const uint64_t waited_us = 2 * uint64_t{timing.reenumerate_ms} * 1000 +
                                   2 * uint64_t{timing.status_write_ms} * 1000;
        bound_s = static_cast<double>(rig.camera_clock.charged_us + waited_us) / 1e6;
        state.ResumeTiming();
    }
    state.counters["virtual_s"] = virtual_s;
    state.counters["bound_s"] = bound_s;
    state.counters["ratio"] = virtual_s / bound_s;
    state.counters["cpu_ms"] = cpu_s * 1e3;
    state.counters["cpu_share"] = cpu_s / virtual_s;
}
BENCHMARK(BM_FlashDownload)
    ->ArgName("path")
    ->Arg(kPackets8)
    ->Arg(kPackets64)
    ->Arg(kVendorV2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
