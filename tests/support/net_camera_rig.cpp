#include "support/net_camera_rig.h"

#include <gtest/gtest.h>

#include <random>

#include "sim/sim_store.h"

namespace orbisk::test {
namespace {

std::string RandomLoopbackHost() {
    static std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> byte(1, 254);
    return "127." + std::to_string(byte(random)) + "." + std::to_string(byte(random)) + "." +
           std::to_string(byte(random));
}

}  // namespace

std::string StartOnFreeLoopback(sim::SimNetServer& server) {
    std::string error;
    for (int attempt = 0; attempt < 64; ++attempt) {
        const std::string host = RandomLoopbackHost();
        if (server.Start(host, &error)) return host;
    }
    ADD_FAILURE() << "no free loopback address: " << error;
    return "";
}

std::string UnusedLoopbackHost() {
    return RandomLoopbackHost();
}

NetCameraRig::NetCameraRig(sim::SimSettings settings)
    : folder_(dir_.path() + "/camera"), network_(CreateNativeTcpNetwork()) {
    std::string error;
    std::vector<uint8_t> memory(settings.MemorySize(), 0xFF);
    EXPECT_TRUE(sim::WriteCameraFolder(folder_, settings, memory, &error)) << error;
    Serve();
}

NetCameraRig::NetCameraRig(const std::string& folder)
    : folder_(folder), network_(CreateNativeTcpNetwork()) {
    Serve();
}

void NetCameraRig::Serve() {
    std::string error;
    camera_ = sim::LoadCameraFolder(folder_, clock_, &error);
    EXPECT_TRUE(camera_) << error;
    net_ = std::make_unique<sim::SimNetCamera>(camera_);
    net_->SetRecording(true);
    server_ = std::make_unique<sim::SimNetServer>(*net_, *network_);
    host_ = StartOnFreeLoopback(*server_);
}

NetCameraRig::~NetCameraRig() {
    server_->Stop();
}

}  // namespace orbisk::test
