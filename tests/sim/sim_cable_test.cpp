// Cables of simulated cameras: pulled during a transfer, unplugged and plugged back through the
// camera folder's cable file, and the waits of a hot-plug watch.
#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <thread>

#include "sim/sim_fixture.h"
#include "sim/sim_store.h"
#include "support/temp_dir.h"

namespace orbisk::sim::test {
namespace {

using orbisk::test::ReadFile;
using orbisk::test::TempDir;
using orbisk::test::WriteFile;

// A folder watch the test drives: Touch hands a folder to the bus's thread and returns once the
// thread has followed it and waits again. Holds are counted per folder.
class ScriptedWatch final : public FolderWatch {
  public:
    bool Add(const std::string&) override { return true; }
    bool Wait(std::vector<std::string>* changed) override {
        std::unique_lock lock(mutex_);
        waiting_ = true;
        idle_.notify_all();
        ready_.wait(lock, [&] { return !queue_.empty() || interrupted_; });
        waiting_ = false;
        if (interrupted_) return false;
        changed->swap(queue_);
        queue_.clear();
        return true;
    }
    void Interrupt() override {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
        ready_.notify_all();
    }
    std::unique_ptr<FolderHold> Hold(const std::string& folder) override {
        std::lock_guard lock(mutex_);
        ++holds_[folder];
        return std::make_unique<CountedHold>(*this, folder);
    }

    void Touch(const std::string& folder) {
        std::unique_lock lock(mutex_);
        queue_.push_back(folder);
        ready_.notify_all();
        idle_.wait(lock, [&] { return waiting_ && queue_.empty(); });
    }
    int Holds(const std::string& folder) {
        std::lock_guard lock(mutex_);
        return holds_[folder];
    }

  private:
    class CountedHold final : public FolderHold {
      public:
        CountedHold(ScriptedWatch& watch, std::string folder)
            : watch_(watch), folder_(std::move(folder)) {}
        ~CountedHold() override {
            std::lock_guard lock(watch_.mutex_);
            --watch_.holds_[folder_];
        }

      private:
        ScriptedWatch& watch_;
        std::string folder_;
    };

    std::mutex mutex_;
    std::condition_variable ready_, idle_;
    std::vector<std::string> queue_;
    bool waiting_ = false;
    bool interrupted_ = false;
    std::map<std::string, int> holds_;
};

// A virtual clock that runs a hook at its next sleep: the middle of a transfer.
class HookClock final : public Clock {
  public:
    uint64_t now_ms() override { return inner_.now_ms(); }
    uint64_t now_us() override { return inner_.now_us(); }
    void sleep_ms(uint32_t ms) override { sleep_us(uint64_t{ms} * 1000); }
    void sleep_us(uint64_t us) override {
        ++sleeps;
        inner_.advance_us(us);
        if (auto hook = std::exchange(at_next_sleep, {})) hook();
    }
    std::function<void()> at_next_sleep;
    int sleeps = 0;

  private:
    VirtualClock inner_;
};

// The extension unit's "write one byte of flash at 0" command and its data packet.
HResult WriteFirstByte(UsbDeviceHandle& handle, uint8_t value) {
    uint8_t command[8] = {0x02, 0x82, 0x00, 0x00, 1, 0, 0, 0};
    uint32_t got = 0;
    HResult hr = handle.ControlTransfer(0x21, 0x01, 10 << 8, 4 << 8, command, 8, 5000, &got);
    if (hr != kOk) return hr;
    uint8_t packet[8] = {value};
    return handle.ControlTransfer(0x21, 0x01, 11 << 8, 4 << 8, packet, 8, 5000, &got);
}

std::string MakeFolder(const TempDir& temp, const std::string& name, uint8_t port,
                       uint16_t rom_pid) {
    SimSettings settings;
    settings.ports = {port};
    settings.rom = SimSettings::DefaultRomIdentity(settings.Profile());
    settings.rom.pid = rom_pid;
    std::string error;
    EXPECT_TRUE(WriteCameraFolder(temp.File(name), settings,
                                  std::vector<uint8_t>(settings.MemorySize(), 0xFF), &error))
        << error;
    return temp.File(name);
}

std::vector<uint16_t> ListedPids(UsbBus& bus) {
    std::vector<uint16_t> pids;
    for (const auto& device : bus.List()) pids.push_back(device.pid);
    return pids;
}

TEST(SimCable, PulledDuringATransferTheTransferFailsAndTheCameraStaysAway) {
    HookClock clock;
    SimUsbBus bus(clock);
    auto camera = std::make_shared<SimCamera>(SimSettings{}, std::vector<uint8_t>{}, clock);
    const size_t slot = bus.AddCamera(camera);
    auto handle = bus.Open(bus.List().at(0).node_handle);
    ASSERT_EQ(handle->ClaimInterface(0), kOk);
    const uint64_t changes = camera->ChangeCount();

    clock.at_next_sleep = [&] { camera->PullCable(); };
    uint8_t reset[8] = {0x00, 0x09, 0, 0, 0, 0, 0, 0};  // would restart the camera
    uint32_t got = 99;
    EXPECT_EQ(handle->ControlTransfer(0x21, 0x01, 10 << 8, 4 << 8, reset, 8, 5000, &got),
              kDeviceGone);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(camera->ChangeCount(), changes + 1);
    EXPECT_TRUE(bus.List().empty());
    EXPECT_EQ(WriteFirstByte(*handle, 0x5A), kDeviceGone);
    // However long one waits, a pulled camera does not come back by itself.
    EXPECT_TRUE(bus.WaitForChange(10000));
    EXPECT_FALSE(bus.WaitForChange(10000));
    EXPECT_TRUE(bus.List().empty());
    EXPECT_EQ(bus.Unplug(slot), camera);
    EXPECT_EQ(bus.CameraIn(slot), nullptr);
}

TEST(SimCable, UnplugWritesTheCameraBackAndPlugBringsBackWhatTheFolderHolds) {
    TempDir temp;
    const std::string a = MakeFolder(temp, "a", 1, 0xA001);
    const std::string b = MakeFolder(temp, "b", 2, 0xB001);
    VirtualClock clock;
    auto watch = std::make_unique<ScriptedWatch>();
    ScriptedWatch& cables = *watch;
    std::string error;
    auto bus = OpenSimBus(a + ":" + b, clock, &error, std::move(watch));
    ASSERT_NE(bus, nullptr) << error;
    auto watch_view = bus->WatchView();
    EXPECT_EQ(cables.Holds(b), 1);
    auto handle = bus->Open(bus->List().at(1).node_handle);
    ASSERT_EQ(handle->ClaimInterface(0), kOk);
    ASSERT_EQ(WriteFirstByte(*handle, 0x5A), kOk);

    ASSERT_TRUE(WriteCable(b, false, &error));
    cables.Touch(b);
    EXPECT_EQ(ListedPids(*bus), std::vector<uint16_t>{0xA001});
    EXPECT_TRUE(watch_view->WaitForChange(0));
    EXPECT_EQ(WriteFirstByte(*handle, 0x11), kDeviceGone);
    EXPECT_EQ(cables.Holds(b), 0);  // the folder is the user's now, with what the camera held
    EXPECT_EQ(static_cast<uint8_t>(ReadFile(b + "/flash.bin")[0]), 0x5A);

    // Changed while unplugged: the camera comes back as the folder says.
    MakeFolder(temp, "b", 2, 0xB002);
    ASSERT_TRUE(WriteCable(b, true, &error));
    cables.Touch(b);
    EXPECT_EQ(ListedPids(*bus), (std::vector<uint16_t>{0xA001, 0xB002}));
    EXPECT_TRUE(watch_view->WaitForChange(0));
    EXPECT_EQ(cables.Holds(b), 1);
    EXPECT_EQ(static_cast<uint8_t>(ReadFile(b + "/flash.bin")[0]), 0xFF);

    // Unplugged when the program ends: the folder is not written over.
    ASSERT_TRUE(WriteCable(b, false, &error));
    cables.Touch(b);
    const std::string settings = ReadFile(b + "/camera.ini");
    WriteFile(b + "/camera.ini", settings + "; the user's note\n");
    bus.reset();
    EXPECT_EQ(ReadFile(b + "/camera.ini"), settings + "; the user's note\n");
}

TEST(SimCable, AFolderThatCannotComeBackStaysOutUntilItCan) {
    TempDir temp;
    const std::string a = MakeFolder(temp, "a", 1, 0xA001);
    const std::string b = MakeFolder(temp, "b", 2, 0xB001);
    std::string error;
    ASSERT_TRUE(WriteCable(b, false, &error));
    VirtualClock clock;
    auto watch = std::make_unique<ScriptedWatch>();
    ScriptedWatch& cables = *watch;
    auto bus = OpenSimBus(a + ":" + b, clock, &error, std::move(watch));
    ASSERT_NE(bus, nullptr) << error;
    EXPECT_EQ(ListedPids(*bus), std::vector<uint16_t>{0xA001});  // unplugged from the start
    EXPECT_EQ(cables.Holds(b), 0);

    const std::vector<std::pair<std::string, std::string>> refused = {
        {"a cable file that says neither", "maybe\n"},
        {"a port another camera sits on", "port"},
        {"settings that do not load", "settings"},
    };
    for (const auto& [what, how] : refused) {
        SCOPED_TRACE(what);
        MakeFolder(temp, "b", how == "port" ? 1 : 2, 0xB001);
        if (how == "settings") WriteFile(b + "/camera.ini", "[Camera]\nProfile=NOPE\n");
        if (how.back() == '\n') {
            WriteFile(b + "/cable", how);
        } else {
            ASSERT_TRUE(WriteCable(b, true, &error));
        }
        cables.Touch(b);
        EXPECT_EQ(ListedPids(*bus), std::vector<uint16_t>{0xA001});
        EXPECT_EQ(cables.Holds(b), 0);
    }
    MakeFolder(temp, "b", 2, 0xB001);
    cables.Touch(b);
    EXPECT_EQ(ListedPids(*bus), (std::vector<uint16_t>{0xA001, 0xB001}));
}

// A hot-plug watch waits for the bus's events in real time and never makes virtual time pass:
// the dialog's watch thread would otherwise spin through the virtual clock.
TEST(SimCable, AWatchViewBlocksOnTheBusAndLeavesAVirtualClockAlone) {
    HookClock clock;
    SimUsbBus bus(clock);
    const size_t slot =
        bus.AddCamera(std::make_shared<SimCamera>(SimSettings{}, std::vector<uint8_t>{}, clock));
    auto view = bus.WatchView();
    const uint64_t start = clock.now_us();
    EXPECT_FALSE(view->WaitForChange(1));
    bool changed = false;
    std::thread watcher([&] { changed = view->WaitForChange(60000); });
    bus.Unplug(slot);
    watcher.join();
    EXPECT_TRUE(changed);
    EXPECT_EQ(clock.sleeps, 0);
    EXPECT_EQ(clock.now_us(), start);
}

}  // namespace
}  // namespace orbisk::sim::test
