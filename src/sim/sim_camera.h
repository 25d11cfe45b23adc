#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "platform/usb.h"
#include "sim/sim_bridge.h"
#include "sim/sim_commands.h"
#include "sim/sim_eeprom.h"
#include "sim/sim_flash.h"
#include "sim/sim_image.h"
#include "sim/sim_otp.h"
#include "sim/sim_sensor.h"
#include "sim/sim_settings.h"

namespace orbisk::sim {

// Control selectors of the vendor extension unit.
inline constexpr uint8_t kCommandControl = 10;
inline constexpr uint8_t kDataControl = 11;
inline constexpr size_t kStatusBlockSize = 104;

// The simulated camera: a controller with boot ROM and application mode, its registers, its
// program memory and its USB face. Every entry point is thread-safe; time is charged on the
// injected clock.
class SimCamera {
  public:
    // With settings.bridge.present the module carries a MIPI bridge whose flash starts as
    // `bridge_memory` (blank when empty).
    SimCamera(SimSettings settings, std::vector<uint8_t> memory, Clock& clock,
              std::string path = {}, std::vector<uint8_t> bridge_memory = {});
    SimCamera(const SimCamera&) = delete;
    SimCamera& operator=(const SimCamera&) = delete;

    // Bus face. A session is one enumeration: a reset or an unplug ends it, and every handle
    // opened in it then answers "device gone".
    bool Present();
    uint64_t Session();
    uint64_t NodeHandle() const;
    std::vector<UsbDeviceInfo> ListEntries();
    // Microseconds of the clock at which the camera comes back, when it is away and will.
    std::optional<uint64_t> ReturnTimeUs();
    uint64_t ChangeCount();
    // The cable is pulled: the camera leaves the bus for good, and a transfer under way fails
    // with "device gone". Never blocks, so it may come from inside a transfer's wait.
    void PullCable();

    HResult ControlTransfer(uint64_t session, uint32_t handle_id, uint8_t request_type,
                            uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                            uint16_t length, uint32_t timeout_ms, uint32_t* transferred);
    HResult ClaimInterface(uint64_t session, uint32_t handle_id, uint8_t interface_number);
    uint32_t NewHandleId();
    void CloseHandle(uint32_t handle_id);

    // Kernel camera-driver face (UVC_SET_CUR, UVC_GET_CUR, UVC_GET_LEN of one control).
    enum class DriverQuery { kSetCur, kGetCur, kGetLen };
    HResult Driver(uint64_t session, DriverQuery query, uint8_t unit, uint8_t selector,
                   uint8_t* data, uint16_t length);
    bool DriverBound();

    // The controller's registers (XDATA) as the network face reaches them; a VcmdStatus
    // (kStsNoErr, or kStsErrOutRange past the register space).
    uint8_t ReadRegisters(uint32_t address, uint32_t length, uint8_t* out);
    uint8_t WriteRegisters(uint32_t address, const uint8_t* data, uint32_t length);

    // Inspection and persistence.
    SimSettings Settings();
    // The settings as the camera folder keeps them, with the flash's work finished (read the
    // memory to save after them).
    SimSettings SettingsToSave();
    std::vector<uint8_t> Memory();
    std::vector<uint8_t> StatusBlock();
    UsbIdentity CurrentIdentity();
    bool AppMode();
    // The MIPI bridge, when the module has one (null otherwise); it locks itself.
    SimBridge* bridge() { return bridge_.get(); }
    std::vector<uint8_t> BridgeMemory();
    int BridgeMode();
    const std::string& path() const { return path_; }
    // Called (without the camera's lock) after every reset, to write the folder back; a
    // listener that returns false fails the transfer that caused the reset (EIO), so a camera
    // whose state could not be kept never looks as if all went well.
    void SetResetListener(std::function<bool(SimCamera&)> listener);
    // Control transfers that reached the camera since it was made (or loaded from its folder).
    uint32_t TransferCount();
    void SetFaults(const Faults& faults);

  private:
    struct Command {
        uint8_t group = 0, opcode = 0;
        uint16_t p1 = 0, p2 = 0, p3 = 0;
        uint32_t address() const { return p1 | (uint32_t{p3} << 16); }
    };
    enum class Phase { kIdle, kDataIn, kDataOut };
    enum class Space { kXdata, kIram, kCode, kPhy, kSerialFlash, kNorFlash };
    enum class BootTarget { kRom, kCode };

    // Presence and resets (lock held).
    void UpdatePresence();
    void Boot(BootTarget target);
    void ApplyBoot(BootTarget target, SimSettings* settings);
    void PowerOnRegisters();
    void ScheduleReset(BootTarget target);
    // A reset into update mode: where it leads depends on the sub-mode and the registers now.
    void ScheduleUpdateReset(uint16_t sub_mode);
    void Unplug();
    HResult Stall();
    HResult CheckFaults();
    void Charge(uint16_t length);

    // Request dispatch.
    HResult Standard(uint8_t type, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                     uint16_t length, uint32_t* transferred);
    HResult Class(uint8_t type, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                  uint16_t length, uint32_t* transferred);
    HResult Vendor(uint8_t type, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                   uint16_t length, uint32_t* transferred);
    HResult VendorV1(bool in, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                     uint16_t length, uint32_t* transferred);
    HResult VendorV2(bool in, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                     uint16_t length, uint32_t* transferred);

    // Extension unit.
    HResult XuSetCommand(const uint8_t* data, uint16_t length);
    HResult XuData(bool in, uint8_t* data, uint16_t length, uint32_t* transferred);
    HResult XuFail(uint8_t status);
    uint8_t XuStart(const Command& command);
    uint8_t XuFinishOut();
    bool StorageAllowed() const;
    bool FlashWriteOpen() const;
    // The OTP commands of the storage group (sim_otp_xu.cpp).
    uint8_t OtpStart(const Command& command);
    uint8_t OtpFinishOut();
    // The EEPROM commands of the storage group and the EEPROM and MTP vendor requests of the
    // second generation (sim_eeprom_commands.cpp).
    uint8_t EepromStart(const Command& command);
    uint8_t EepromFinishOut();
    bool EepromWriteOpen() const;
    uint8_t EepromBuffered(bool final);
    HResult VendorByteMemory(bool in, uint8_t request, uint16_t value, uint16_t index,
                             uint8_t* data, uint16_t length, uint32_t* transferred);
    bool EepromPinReleased() const;
    static uint8_t ByteMemoryStatus(SimEeprom::Outcome outcome);

    // Device operations shared by the extension unit and the vendor requests; each returns a
    // VcmdStatus (kStsNoErr on success).
    bool InRange(Space space, uint32_t address, uint32_t length) const;
    uint8_t ReadSpace(Space space, uint32_t address, uint32_t length, uint8_t* out);
    uint8_t WriteSpace(Space space, uint32_t address, const uint8_t* data, uint32_t length);
    uint8_t ProgramPages(uint32_t address, const uint8_t* data, uint32_t length);
    uint8_t ProgramBuffered(bool final);
    uint8_t EraseChip();
    uint8_t EraseSector(uint32_t address);
    uint8_t WriteTag(bool nor);
    uint8_t WriteFlashStatus(uint8_t value);
    uint8_t ChangeDataSize(uint16_t requested);
    void StatusRecord(uint16_t index, uint8_t* out);
    std::vector<uint8_t> BuildStatusBlock();
    void FlashId(uint8_t* out);
    bool WpPinHigh() const;
    void WriteRegister(uint16_t address, uint8_t value);

    // The controller's I2C long read and write (16-bit register addresses), in pieces of at
    // most kI2cPieceMax bytes; a device that does not acknowledge gives kStsHwErr.
    static constexpr uint16_t kI2cPieceMax = 64;
    uint8_t I2cLongRead(uint16_t slave, uint16_t reg, uint8_t* out, uint16_t length);
    uint8_t I2cLongWrite(uint16_t slave, uint16_t reg, const uint8_t* data, uint16_t length);
    // The power-control register drives the bridge's power: 2 holds it off.
    void PowerBridge();

    // Descriptors.
    std::vector<uint8_t> DeviceDescriptor() const;
    std::vector<uint8_t> ConfigDescriptor() const;
    bool StringDescriptor(uint8_t index, std::vector<uint8_t>* out) const;
    const UsbIdentity& Identity() const;

    std::mutex mutex_;
    SimSettings settings_;
    Clock& clock_;
    std::string path_;
    const ChipProfile& profile_;
    SimFlash flash_;
    std::unique_ptr<SimOtp> otp_;        // an OTP camera has no flash
    std::unique_ptr<SimEeprom> eeprom_;  // nor has an EEPROM or MTP camera
    std::array<uint8_t, 0x10000> xdata_{};
    std::array<uint8_t, 0x100> iram_{};
    std::array<uint8_t, 0x10000> phy_{};
    std::unique_ptr<SimBridge> bridge_;
    std::vector<SensorRegisters> sensors_;
    std::array<uint8_t, 2> mode_bytes_{};
    uint8_t power_mipi_ = 0;
    uint8_t vendor_byte_ = 0;
    uint8_t sw_write_protect_ = 0;

    // Presence.
    bool present_ = true;
    bool unplugged_ = false;
    std::atomic<bool> cable_pulled_{false};
    std::optional<uint64_t> return_at_us_;
    BootTarget pending_boot_ = BootTarget::kRom;
    bool reset_requested_ = false;
    uint64_t session_ = 1;
    uint64_t change_count_ = 0;
    uint32_t transfer_count_ = 0;
    uint64_t charge_us_ = 0;
    // On a clock that passes by itself, the end of the last transfer's charge: each charge
    // sleeps to an absolute deadline, so the overshoot of one sleep is taken from the next
    // and wall-clock time follows the timing model.
    uint64_t paced_until_us_ = 0;
    void SleepCharge(uint64_t us);
    std::function<bool(SimCamera&)> reset_listener_;

    // USB interface ownership: the kernel camera driver holds the video-control interface
    // until a handle claims it.
    uint32_t next_handle_id_ = 1;
    uint32_t claimed_by_ = 0;
    std::array<std::optional<uint16_t>, 2> driver_length_;  // cached per selector 10, 11

    // Extension-unit state machine.
    Phase phase_ = Phase::kIdle;
    uint8_t status_ = kStsCmd;
    Command command_;
    std::vector<uint8_t> buffer_;
    size_t expected_ = 0;
    size_t done_ = 0;
    size_t programmed_ = 0;  // bytes of a flash write's data phase already programmed
    uint16_t data_size_ = 8;
};

}  // namespace orbisk::sim
