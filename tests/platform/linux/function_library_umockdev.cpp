// The function library on the real Linux bus: simulated cameras behind the emulated kernel are
// listed, opened, read and reset through "Lib Type" 0 and 1, and direct access falls back to
// the kernel driver when the USB node may not be opened.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "base/logger.h"
#include "base/process.h"
#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"
#include "platform/device_lock.h"
#include "platform/linux/emulated_sim_bus.h"
#include "sim/sim_fixture.h"
#include "support/busy_wait.h"
#include "support/recorders.h"

namespace orbisk::test {
namespace {

const uint64_t kCamera = NodeHandleFor(1, {1});

class FunctionLibraryTest : public ::testing::Test {
  protected:
    FunctionLibraryTest()
        : lock_name_("orbisk-test-lib-" + std::to_string(::getpid())),
          logger_(clock_, &log_),
          process_(clock_, logger_),
          bus_(kernel_, clock_),
          factory_(bus_, logger_, OpenDeviceLock(lock_name_)) {}
    ~FunctionLibraryTest() override { RemoveDeviceLock(lock_name_); }

    void Plug() {
        camera_ =
            std::make_shared<sim::SimCamera>(sim::SimSettings{}, sim::test::BuildImage(), clock_);
        bus_.AddCamera(camera_);
        ASSERT_TRUE(bus_.Start());
    }

    // Opens the first camera and reads the start of its memory through the library.
    void OpenAndRead(CamLib& lib) {
        ASSERT_EQ(lib.CamLib_GetDeviceCount(), 1);
        const uint64_t handle = lib.CamLib_OpenDevice(0);
        ASSERT_EQ(handle, kCamera);
        EXPECT_EQ(lib.CamLib_DevQualify(handle), 1);
        std::vector<uint8_t> code(0x400);
        ASSERT_EQ(lib.CamLib_SPI_SF_Read(handle, 0, code.size(), code.data(), nullptr, nullptr, 0),
                  1);
        const std::vector<uint8_t> memory = camera_->Memory();
        EXPECT_TRUE(std::equal(code.begin(), code.end(), memory.begin()));
    }

    std::string lock_name_;
    VirtualClock clock_;
    RecordingLogSink log_;
    Logger logger_;
    Process process_;
    std::shared_ptr<sim::SimCamera> camera_;
    EmulatedKernel kernel_;
    EmulatedSimBus bus_;
    UsbTransportFactory factory_;
};

TEST_F(FunctionLibraryTest, DirectUsbOpensReadsAndReconnectsAfterAReset) {
    Plug();
    CamLib lib(process_, bus_, factory_);
    ASSERT_EQ(lib.CamLib_Init(0), 1);
    EXPECT_EQ(lib.CamLib_GetLibType(), 0);
    OpenAndRead(lib);
    uint32_t port = 0;
    uint64_t hub = 0;
    ASSERT_EQ(lib.CamLib_GetPortLocation(kCamera, &port, &hub), 1);
    EXPECT_EQ(port, 1u);

    uint64_t handle = lib.handle();
    ASSERT_EQ(lib.CamLib_ResetToRomAndReconnect(&handle, 0, 5000), 1);
    EXPECT_EQ(handle, kCamera);
    uint16_t vid = 0, pid = 0, rev = 0;
    ASSERT_EQ(lib.CamLib_GetVidPidRev(&vid, &pid, &rev), 1);
    EXPECT_EQ(vid, 0x1234);  // the boot ROM started the tagged code in memory
    EXPECT_EQ(pid, 0x5678);
    EXPECT_EQ(lib.CamLib_DevQualify(handle), 1);
}

TEST_F(FunctionLibraryTest, KernelDriverOpensAndReads) {
    Plug();
    CamLib lib(process_, bus_, factory_);
    ASSERT_EQ(lib.CamLib_Init(1), 1);
    OpenAndRead(lib);
}

TEST_F(FunctionLibraryTest, DirectAccessFallsBackToTheKernelDriverWithoutRights) {
    Plug();
    kernel_.SetUsbfsMode(bus_.kernel_id(0), 0600);
    CamLib lib(process_, bus_, factory_);
    // Root may open anything: start the library as an ordinary user.
    const bool as_root = ::geteuid() == 0;
    if (as_root) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    const int init = lib.CamLib_Init(0);
    if (as_root) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    ASSERT_EQ(init, 1);
    EXPECT_EQ(lib.CamLib_GetLibType(), 1);
    EXPECT_TRUE(log_.Contains("Lib Type 0: no access to the USB device of"));
    OpenAndRead(lib);
}

// An image programmed with the library's own calls as the update flow makes them (write
// protection released, chip erased, the image written with its tag held back and read back,
// the tag written last, the camera restarted): afterwards the camera runs the new code and
// enumerates with its identity.
void ProgramAndRestart(CamLib& lib, sim::SimCamera& camera, Clock& clock) {
    sim::test::ImageRecipe shape;
    shape.pid = 0x5679;
    shape.marker_version = 0x00040001;
    const std::vector<uint8_t> image = sim::test::BuildImage(shape);
    std::vector<uint8_t> untagged = image;
    untagged[shape.tag_address] = untagged[shape.tag_address + 1] = 0xFF;
    // The parts of the demo layout that hold anything: code, tag and configuration area.
    const std::pair<uint32_t, uint32_t> regions[] = {{0, 0x1000}, {0xA000, 0xB000}};

    ASSERT_EQ(lib.CamLib_GetDeviceCount(), 1);
    uint64_t handle = lib.CamLib_OpenDevice(0);
    ASSERT_EQ(handle, kCamera);
    const uint8_t one = 1;
    ASSERT_EQ(lib.CamLib_WriteMem(handle, 0xFEA0, 1, &one, 0), 1);  // write-protect pin
    ASSERT_EQ(lib.CamLib_WriteMem(handle, 0xFEA6, 1, &one, 0), 1);
    ASSERT_EQ(lib.CamLib_SPI_SF_EraseChip(handle, 0), 1);
    ASSERT_TRUE(test::WaitWhileBusy(
        clock, [&](uint8_t* status) { return lib.CamLib_SPI_SF_ReadSr(handle, status, 0) == 1; }));
    for (const auto& [begin, end] : regions) {
        ASSERT_EQ(lib.CamLib_SPI_SF_Write(handle, begin, end - begin, untagged.data() + begin,
                                          nullptr, nullptr, 0),
                  1);
        std::vector<uint8_t> back(end - begin);
        ASSERT_EQ(
            lib.CamLib_SPI_SF_Read(handle, begin, back.size(), back.data(), nullptr, nullptr, 0),
            1);
        ASSERT_TRUE(std::equal(back.begin(), back.end(), untagged.begin() + begin));
    }
    ASSERT_EQ(lib.CamLib_SPI_SF_WriteTag(handle, 0), 1);

    ASSERT_EQ(lib.CamLib_ResetToRomAndReconnect(&handle, 0, 5000), 1);
    EXPECT_EQ(handle, kCamera);
    uint16_t vid = 0, pid = 0, rev = 0;
    ASSERT_EQ(lib.CamLib_GetVidPidRev(&vid, &pid, &rev), 1);
    EXPECT_EQ(pid, 0x5679);
    EXPECT_TRUE(camera.AppMode());
    EXPECT_EQ(camera.Memory(), image);
}

TEST_F(FunctionLibraryTest, ImageProgrammedThroughDirectUsbRunsAfterTheReset) {
    Plug();
    CamLib lib(process_, bus_, factory_);
    ASSERT_EQ(lib.CamLib_Init(0), 1);
    ProgramAndRestart(lib, *camera_, clock_);
}

TEST_F(FunctionLibraryTest, ImageProgrammedThroughTheKernelDriverRunsAfterTheReset) {
    Plug();
    CamLib lib(process_, bus_, factory_);
    ASSERT_EQ(lib.CamLib_Init(1), 1);
    ProgramAndRestart(lib, *camera_, clock_);
}

}  // namespace
}  // namespace orbisk::test
