// `orbisk -s --all` against four simulated cameras next to `orbisk -s` against one, on the real
// clock: the simulated cameras sleep out their timing model's charges, so the wall-clock times
// compare what running the cameras side by side costs (threads, the device lock, the shared
// bus) with one camera alone. Runs the built orbisk and orbisk-sim beside this program.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The build folder this benchmark sits in (build/bench/bench_all_cameras_bench).
fs::path BuildFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path();
}

int RunCommand(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Scratch {
    Scratch() {
        char name[] = "/tmp/orbisk-all-bench-XXXXXX";
        folder = ::mkdtemp(name);
        fs::create_directories(folder / "home");
    }
    ~Scratch() { fs::remove_all(folder); }
    fs::path folder;
};

// Wall-clock seconds of one orbisk run over `count` fresh cameras of `generation` on ports 1...
double UpdateSeconds(const std::string& generation, const std::string& config, int count,
                     benchmark::State& state) {
    const fs::path build = BuildFolder();
    const std::string sim = (build / "tools/orbisk-sim").string();
    Scratch scratch;
    const std::string image = (scratch.folder / "old.rfw").string();
    RunCommand((build / "tools/orbisk-image").string() + " demo " + image +
               " --version 1050 --rev 0050 >/dev/null");
    std::string folders;
    for (int port = 1; port <= count; ++port) {
        const std::string camera = (scratch.folder / ("cam" + std::to_string(port))).string();
        RunCommand(sim + " create " + camera + " --ports " + std::to_string(port) +
                   " --generation " + generation + " --image " + image + " >/dev/null");
        folders += (folders.empty() ? "" : ":") + camera;
    }
    std::ofstream(scratch.folder / "home/config.ini") << "[Orbisk Config]\n" << config;
    const std::string command =
        "cd " + scratch.folder.string() + " && ORBISK_HOME=home ORBISK_SIM=" + folders + " " +
        (build / "src/orbisk").string() + (count == 1 ? " -s" : " -s --all") + " >/dev/null 2>&1";
    const auto start = std::chrono::steady_clock::now();
    const int exit_code = RunCommand(command);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (exit_code != 0) state.SkipWithError("the update failed");
    return took.count();
}

// Arg 0: second-generation vendor requests; 1: the extension unit with the default options
// (8-byte packets, the path that takes the device lock for every command); 2: the extension
// unit with the fast profile (1,024-byte packets).
void BM_AllCameras(benchmark::State& state) {
    const bool v2 = state.range(0) == 0;
    const std::string generation = v2 ? "v2" : "xu";
    const std::string config = state.range(0) == 2 ? "Fast Profile=1\n" : "";
    double one = 0, four = 0;
    for (auto _ : state) {
        one = UpdateSeconds(generation, config, 1, state);
        four = UpdateSeconds(generation, config, 4, state);
        state.SetIterationTime(one + four);
    }
    state.counters["one_camera_s"] = one;
    state.counters["four_cameras_s"] = four;
    state.counters["ratio"] = one > 0 ? four / one : 0;
}
BENCHMARK(BM_AllCameras)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
