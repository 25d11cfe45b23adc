#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "sim/sim_bridge_settings.h"

namespace orbisk::sim {

// The MIPI bridge of a camera module: a chip on the controller's I2C bus (slave 0x78, 16-bit
// register addresses) that keeps its own firmware in a 128 KB serial flash only it can reach.
//
// Registers (bit 15 of a write's register address says "more pieces of this write follow";
// reads ignore it):
//   0x000C          mode: low nibble 1 boot ROM, 2 application (high nibble 3, a revision)
//   0x0200, 0x0201  status of mailbox 1 and 2: bit 0 busy, bit 1 error, bits 2-7 error code
//   0x1D00..0x1E07  mailbox 1: command block at +0, short reply at +4, data and long reply at +8
//   0x1E08..0x1F0F  mailbox 2, laid out alike
// A command runs when the piece that ends its block (bit 15 clear) arrives; the pieces of a
// block must come in order. Its mailbox stays busy until the command is done: the bridge
// ignores (does not acknowledge) writes into a busy mailbox, and a reply lands only when the
// command is done, so a host that does not wait reads what the mailbox held before. Two
// mailboxes let a host write the next program command while the flash programs the last one;
// the flash does one thing at a time, so the second waits for the first.
//
// Time: every entry point takes the moment its I2C transfer ends (`at_us`, on the camera's
// clock). Work lands when its time has passed.
class SimBridge {
  public:
    // The bridge's address as the controller's I2C commands name it (write address, 8 bits).
    static constexpr uint16_t kSlave = 0x78;
    static constexpr uint16_t kModeRegister = 0x000C;
    static constexpr uint16_t kStatusRegister = 0x0200;
    static constexpr size_t kMailboxSize = 264;
    static constexpr uint16_t kMailboxBase[2] = {0x1D00, 0x1E08};

    // One command as the bridge received it, for tests and inspection.
    struct CommandRecord {
        int mailbox;  // 0 or 1
        uint8_t group, sub;
        uint32_t address, length;
        bool failed;
    };

    // `flash` is resized to 128 KB.
    SimBridge(BridgeSettings settings, std::vector<uint8_t> flash);

    // I2C face; false: the bridge did not acknowledge.
    bool Write(uint64_t at_us, uint16_t reg, const uint8_t* data, size_t length);
    bool Read(uint64_t at_us, uint16_t reg, uint8_t* out, size_t length);

    // The controller's power control: off holds the bridge in reset, on starts it again.
    void SetPowered(uint64_t at_us, bool on);

    // Inspection. Mode 0 while the bridge restarts or is off.
    int Mode(uint64_t at_us);
    // The flash with every finished piece of work landed.
    std::vector<uint8_t> Flash(uint64_t at_us);
    // The 32-byte information block the bridge answers 05 84 with.
    std::array<uint8_t, 32> Info(uint64_t at_us);
    // Lands all unfinished work as if its time had passed (for a camera written back to its
    // folder); the settings then hold what the bridge keeps.
    void FinishWork();
    // The settings as the bridge keeps them now (completion mark, flash status).
    BridgeSettings Snapshot(uint64_t at_us);
    void SetFaults(const BridgeFaults& faults);
    std::vector<CommandRecord> History();
    void ClearHistory();

  private:
    struct Mailbox {
        std::array<uint8_t, kMailboxSize> buffer{};
        size_t filled = 0;  // bytes of the block received since the last command
        bool busy = false;
        uint64_t done_at = 0;
        uint8_t status = 0;               // error bit and code of the last finished command
        std::function<uint8_t()> finish;  // lands the command's effect; returns its status
    };

    void Settle(uint64_t at_us);
    bool Answering(uint64_t at_us);
    // Everything but the flash and what it keeps goes back to its power-on state.
    void Reset();
    // The boot ROM starts the code in the flash only once it was completed (01 09).
    bool CodeStarts() const;
    void Commit(int index, uint64_t at_us);
    // Schedules a command: it is done at `done_at`, when `finish` lands its effect.
    void Schedule(int index, uint64_t done_at, std::function<uint8_t()> finish);
    // Flash work: starts when the flash is free (not before `earliest`), takes `duration`.
    uint64_t FlashSlot(uint64_t earliest, uint64_t duration_us);
    uint8_t ReadByte(uint16_t address);
    bool WpPinHigh() const;
    bool Protected() const { return (settings_.flash_status & 0x1C) != 0; }
    void Program(uint32_t address, const uint8_t* data, uint32_t length);
    // The version words of the code in the flash: those of its version marker, else 0.
    uint32_t RunningVersion(uint32_t* second_word) const;
    std::array<uint8_t, 32> BuildInfo() const;
    void Record(int mailbox, uint8_t group, uint8_t sub, uint32_t address, uint32_t length,
                bool failed);

    // Command handlers: each returns the error code to finish with at once (0: scheduled).
    uint8_t FlashCommand(int index, uint64_t at_us, const uint8_t* block, size_t size);
    uint8_t ModeCommand(int index, uint64_t at_us, const uint8_t* block, size_t size);
    uint8_t RegisterCommand(int index, uint64_t at_us, const uint8_t* block, size_t size);

    std::mutex mutex_;
    BridgeSettings settings_;
    std::vector<uint8_t> flash_;
    std::array<Mailbox, 2> mailboxes_;
    std::array<uint8_t, 0x10000> xdata_{};
    std::map<uint16_t, uint16_t> sensor_;  // the sensor's registers behind the bridge
    uint64_t flash_free_at_ = 0;
    bool powered_ = true;
    int mode_ = 1;                      // what runs once the bridge answers
    uint64_t restart_at_ = UINT64_MAX;  // a restart is pending from then on
    bool restart_into_code_ = false;
    uint64_t ready_at_ = 0;  // restarting until then
    std::deque<CommandRecord> history_;
    uint32_t fail_matches_ = 0;  // commands the fail_command fault has met
};

}  // namespace orbisk::sim
