// A whole 128 KB firmware download (FFU_Download) on the simulated camera, through the real
// device object, function library and transports, on three paths: extension unit with 8-byte
// and with 64-byte data packets, and second-generation vendor requests. The camera starts as
// an updated camera in the field: running its application, its flash locked.
//
// Counters per update:
//   virtual_s  the virtual time the update took
//   bound_s    the lower bound of the timing model for this sequence, counted from the model's
//              figures and the work the sequence cannot do without (never from what the run
//              spent): the image crossing the bus three times (empty check, write, verify) in
//              the path's transfers, the page programs of the write where they outlast its
//              transfers, the chip erase, the two status-register writes and the two
//              re-enumerations it has to wait for
//   ratio      virtual_s / bound_s
//   cpu_ms     host CPU time of one update
//   cpu_share  host CPU time / virtual time
#include <benchmark/benchmark.h>

#include "bench_support.h"

#include <algorithm>
#include <cmath>

// The scenario tests' rig: the whole tool against one simulated camera.
#include "device/flash_rig.cpp"
#include "support/recorders.cpp"
#include "support/temp_dir.cpp"
#include "support/tool_core.cpp"

namespace {

using namespace orbisk;

enum Path { kPackets8 = 0, kPackets64 = 1, kVendorV2 = 2 };

// Microseconds of `count` transfers of `bytes` data bytes each.
double TransfersUs(const sim::Timing& t, double count, uint32_t bytes) {
    return count * (t.transfer_us + std::ceil(bytes * double{t.wire_ns_per_byte} / 1000));
}

// The lower bound of one update of an image of `size` bytes (4 KB chunks) on `path`.
double BoundSeconds(const sim::Timing& t, Path path, uint32_t size) {
    const double chunks = size / 4096.0;
    double pass_us = 0;  // the image crossing the bus once
    if (path == kVendorV2) {
        pass_us = TransfersUs(t, chunks, 4096);  // one request per chunk
    } else {
        const uint32_t packet = path == kPackets8 ? 8 : 64;
        pass_us = TransfersUs(t, chunks, 8) + TransfersUs(t, size / packet, packet);
    }
    // The pages of the write are programmed one after another, while the packets arrive.
    const double programs_us = (size / 256.0) * t.page_program_us;
    const double waits_us = 1000.0 * (t.chip_erase_ms + 2.0 * t.status_write_ms +
                                      2.0 * t.reenumerate_ms);
    return (2 * pass_us + std::max(pass_us, programs_us) + waits_us) / 1e6;
}

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
        state.ResumeTiming();

        const int result = bench::TimedRun(
            rig.clock, [&] { return rig.device->Download(); }, &virtual_s, &cpu_s);

        state.PauseTiming();
        if (result != 1 || !rig.camera->AppMode()) {
            state.SkipWithError("the update did not succeed");
            return;
        }
        bound_s = BoundSeconds(timing, path, static_cast<uint32_t>(new_image.size()));
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
