// The recovery sweep: `orbisk -s` against a simulated camera with a fault at one transfer of
// the update (the transfer fails once, or the camera is unplugged there), then again without
// it, for every transfer outside the bulk data of the empty check, the write and the verify
// and every ORBISK_SWEEP_STRIDE-th one inside them (default 64; 1 sweeps them all). Each run
// that passes must leave the new image with the camera's own serial number; each run that
// fails must be followed by one that passes so. Any other outcome ends the benchmark with an
// error naming the transfer.
//
//   make build && ORBISK_SWEEP_STRIDE=16 build/bench/bench_fault_sweep_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "app/update_rig.cpp"
#include "support/temp_dir.cpp"

namespace {

using namespace orbisk;
using namespace orbisk::test;

constexpr const char* kSerial = "SN-SWEEP-7";
constexpr const char* kConfig = "[Orbisk Config]\nSaveSN=1\n";

bool Updated(const StoredCamera& camera, const std::vector<uint8_t>& expected) {
    const CameraFacts facts = FactsOf(camera);
    return facts.app_mode && facts.manufacturer == kSerial && camera.memory == expected;
}

void BM_FaultSweep(benchmark::State& state) {
    const bool disconnect = state.range(0) == 1;
    const char* stride_text = std::getenv("ORBISK_SWEEP_STRIDE");
    const uint32_t stride = stride_text != nullptr ? std::max(1, std::atoi(stride_text)) : 64;
    // The runs' failure lines on stderr are expected by the thousand here.
    const int saved_stderr = ::dup(STDERR_FILENO);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDERR_FILENO);
    TempDir home;
    StoredCamera reference = OldDemoCamera(kSerial);
    const UpdateRun clean = RunOrbisk(reference, home.path(), kConfig);
    const uint32_t bulk_first = clean.TransfersAt("report 1047 41720").value_or(0) + 40;
    const uint32_t bulk_last = clean.TransfersAt("writing the tag").value_or(0) - 40;
    uint32_t points = 0, passed_first = 0, violations = 0, runs = 0;
    std::string first_violation;
    for (auto _ : state) {
        for (uint32_t n = 1; n <= clean.transfers; ++n) {
            if (n > bulk_first && n < bulk_last && (n - bulk_first) % stride != 0) continue;
            ++points;
            StoredCamera camera = OldDemoCamera(kSerial);
            if (disconnect)
                camera.settings.faults.disconnect_at = n;
            else
                camera.settings.faults.fail_transfer = n;
            TempDir run_home;
            const UpdateRun first = RunOrbisk(camera, run_home.path(), kConfig);
            ++runs;
            bool ok = false;
            if (first.exit_code == 0) {
                ++passed_first;
                ok = Updated(camera, reference.memory);
            } else {
                const UpdateRun second = RunOrbisk(camera, run_home.path(), kConfig);
                ++runs;
                ok = second.exit_code == 0 && Updated(camera, reference.memory);
            }
            if (!ok && violations++ == 0)
                first_violation = "transfer " + std::to_string(n) + ", first run status " +
                                  std::to_string(first.status);
        }
    }
    ::dup2(saved_stderr, STDERR_FILENO);
    ::close(saved_stderr);
    ::close(null);
    state.counters["transfers"] = clean.transfers;
    state.counters["points"] = points;
    state.counters["runs"] = runs;
    state.counters["passed_first"] = passed_first;
    state.counters["violations"] = violations;
    if (violations != 0) state.SkipWithError(("no recovery after " + first_violation).c_str());
}
// 0: the transfer fails once; 1: the camera is unplugged at it.
BENCHMARK(BM_FaultSweep)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
