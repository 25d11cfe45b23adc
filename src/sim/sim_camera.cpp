#include "sim/sim_camera.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orbisk::sim {

namespace {

int ErrnoNamed(const std::string& name) {
    if (name == "EIO") return EIO;
    if (name == "ETIMEDOUT") return ETIMEDOUT;
    return EPIPE;
}

// The kernel camera driver's own time-out for a control query.
constexpr uint32_t kDriverTimeoutMs = 5000;

// The memory bytes that are the flash; an OTP camera keeps them for its OTP instead.
std::vector<uint8_t> TakeFlashBytes(const SimSettings& settings, std::vector<uint8_t>& memory) {
    if (settings.memory == MemoryKind::kOtp || IsByteMemory(settings.memory)) return {};
    memory.resize(settings.MemorySize(), 0xFF);
    return std::move(memory);
}

}  // namespace

SimCamera::SimCamera(SimSettings settings, std::vector<uint8_t> memory, Clock& clock,
                     std::string path, std::vector<uint8_t> bridge_memory)
    : settings_(std::move(settings)),
      clock_(clock),
      path_(std::move(path)),
      profile_(settings_.Profile()),
      flash_(TakeFlashBytes(settings_, memory), settings_.flash_status,
             settings_.memory == MemoryKind::kSerialFlash, clock, settings_.timing,
             settings_.faults) {
    if (settings_.memory == MemoryKind::kOtp)
        otp_ =
            std::make_unique<SimOtp>(std::move(memory), settings_.faults, clock, settings_.timing);
    if (IsByteMemory(settings_.memory)) {
        memory.resize(settings_.MemorySize(), 0xFF);
        eeprom_ = std::make_unique<SimEeprom>(settings_.memory, std::move(memory), clock,
                                              settings_.timing, settings_.faults);
    }
    if (settings_.rom.vid == 0) settings_.rom = SimSettings::DefaultRomIdentity(profile_);
    if (settings_.bridge.present)
        bridge_ = std::make_unique<SimBridge>(settings_.bridge, std::move(bridge_memory));
    for (const SimSensor& sensor : settings_.sensors) sensors_.emplace_back(sensor);
    if (settings_.app_mode && settings_.running.vid == 0) {
        Boot(BootTarget::kCode);
    } else {
        PowerOnRegisters();
    }
}

// ---- Presence ---------------------------------------------------------------------------

void SimCamera::UpdatePresence() {
    if (cable_pulled_ && !unplugged_) {
        Unplug();
        return;
    }
    if (present_ || unplugged_ || !return_at_us_ || clock_.now_us() < *return_at_us_) return;
    Boot(pending_boot_);
    present_ = true;
    return_at_us_.reset();
    ++session_;
    ++change_count_;
}

void SimCamera::ApplyBoot(BootTarget target, SimSettings* settings) {
    settings->app_mode = false;
    if (target != BootTarget::kCode) return;
    if (otp_) {
        const OtpBoot boot = ReadOtpBoot(otp_->bytes());
        if (!boot.bootable) return;
        settings->app_mode = true;
        settings->running = boot.facts.identity;
        settings->running_version = boot.facts.version();
        return;
    }
    // The boot ROM starts the application only from a tagged image; the application then
    // enumerates with the identity of its configuration area.
    ImageFacts facts;
    if (eeprom_) {
        facts = ReadByteMemoryFacts(eeprom_->bytes());
    } else {
        facts = ReadImageFacts(flash_.bytes(), profile_.config_address, profile_.tag_address);
    }
    if (!Bootable(facts)) return;
    settings->app_mode = true;
    settings->running = facts.identity;
    settings->running_version = facts.version();
}

void SimCamera::Boot(BootTarget target) {
    PowerOnRegisters();
    PowerBridge();
    data_size_ = 8;
    phase_ = Phase::kIdle;
    status_ = kStsCmd;
    driver_length_ = {};
    ApplyBoot(target, &settings_);
}

void SimCamera::PowerOnRegisters() {
    xdata_.fill(0);
    iram_.fill(0);
    phy_.fill(0);
    mode_bytes_ = {};
    power_mipi_ = 0;
    sw_write_protect_ = 0;
    xdata_[0xFE21] = settings_.ChipIdFE21();
    xdata_[0xFE22] = settings_.ChipIdFE22();
    if (otp_ && otp_->Locked()) xdata_[kOtpLockRegister] = kOtpLockBit;
    // USB speed registers: 0xFC02 = 1 at super speed; 0xFA01 bit 0 at high speed.
    xdata_[0xFC02] = settings_.speed >= 4 ? 1 : 0;
    xdata_[0xFA01] = settings_.speed == 3 ? 1 : 0;
}

void SimCamera::ScheduleReset(BootTarget target) {
    pending_boot_ = target;
    reset_requested_ = true;
}

void SimCamera::ScheduleUpdateReset(uint16_t sub_mode) {
    bool known = FlashUpdateSubModeKnown(sub_mode);
    if (settings_.memory == MemoryKind::kOtp) known = OtpUpdateSubModeKnown(sub_mode);
    // The ORV6099's boot ROM knows its chip's reset kinds whatever memory it has.
    if (eeprom_)
        known = ByteMemoryUpdateSubModeKnown(settings_.memory, sub_mode) ||
                (std::string(profile_.name) == "ORV6099" && OtpUpdateSubModeKnown(sub_mode));
    ScheduleReset(StaysInRomForUpdate(profile_.reset, known, xdata_.data()) ? BootTarget::kRom
                                                                            : BootTarget::kCode);
}

void SimCamera::Unplug() {
    present_ = false;
    unplugged_ = true;
    return_at_us_.reset();
    ++session_;
    ++change_count_;
    claimed_by_ = 0;
}

void SimCamera::PullCable() {
    cable_pulled_ = true;
    // A transfer under way holds the lock: it ends with "device gone" and unplugs the camera
    // itself; otherwise the camera leaves now.
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (lock.owns_lock()) UpdatePresence();
}

bool SimCamera::Present() {
    std::lock_guard lock(mutex_);
    UpdatePresence();
    return present_;
}

uint64_t SimCamera::Session() {
    std::lock_guard lock(mutex_);
    UpdatePresence();
    return session_;
}

std::optional<uint64_t> SimCamera::ReturnTimeUs() {
    std::lock_guard lock(mutex_);
    UpdatePresence();
    return present_ ? std::nullopt : return_at_us_;
}

uint64_t SimCamera::ChangeCount() {
    std::lock_guard lock(mutex_);
    UpdatePresence();
    return change_count_;
}

uint64_t SimCamera::NodeHandle() const {
    return NodeHandleFor(settings_.bus, settings_.ports);
}

std::vector<UsbDeviceInfo> SimCamera::ListEntries() {
    std::lock_guard lock(mutex_);
    UpdatePresence();
    if (!present_) return {};
    const UsbIdentity& id = Identity();
    UsbDeviceInfo info;
    info.vid = id.vid;
    info.pid = id.pid;
    info.rev = id.rev;
    info.bus = settings_.bus;
    info.port_chain = settings_.ports;
    info.speed = settings_.speed;
    info.device_descriptor = DeviceDescriptor();
    info.config_descriptor = ConfigDescriptor();
    info.manufacturer = id.manufacturer;
    info.product = id.product;
    info.serial = id.serial;
    info.node_handle = NodeHandle();
    info.path = path_;
    info.has_camera_driver = claimed_by_ == 0;
    std::vector<UsbDeviceInfo> entries(settings_.entries, info);
    for (size_t i = 1; i < entries.size(); ++i) entries[i].path += "#" + std::to_string(i + 1);
    return entries;
}

// ---- Transfers ----------------------------------------------------------------------------

HResult SimCamera::Stall() {
    return ResultFromErrno(EPIPE);
}

HResult SimCamera::CheckFaults() {
    const Faults& f = settings_.faults;
    ++transfer_count_;
    if (f.disconnect_at && transfer_count_ == f.disconnect_at) {
        Unplug();
        return kDeviceGone;
    }
    if ((f.fail_transfer && transfer_count_ == f.fail_transfer) ||
        (f.fail_from && transfer_count_ >= f.fail_from))
        return ResultFromErrno(ErrnoNamed(f.fail_errno));
    return kOk;
}

void SimCamera::Charge(uint16_t length) {
    charge_us_ += settings_.timing.transfer_us +
                  (uint64_t{length} * settings_.timing.wire_ns_per_byte + 999) / 1000;
}

void SimCamera::SleepCharge(uint64_t us) {
    if (!clock_.passes_by_itself()) {
        clock_.sleep_us(us);
        return;
    }
    // A gap longer than this is the host's own time, not a sleep's overshoot: it is not owed.
    constexpr uint64_t kCarryUs = 2000;
    const uint64_t now = clock_.now_us();
    const uint64_t base = now <= paced_until_us_ + kCarryUs ? paced_until_us_ : now;
    paced_until_us_ = base + us;
    if (paced_until_us_ > now) clock_.sleep_us(paced_until_us_ - now);
}

uint32_t SimCamera::NewHandleId() {
    std::lock_guard lock(mutex_);
    return next_handle_id_++;
}

void SimCamera::CloseHandle(uint32_t handle_id) {
    std::lock_guard lock(mutex_);
    // The kernel driver binds again: it will learn the control lengths anew.
    if (claimed_by_ == handle_id) {
        claimed_by_ = 0;
        driver_length_ = {};
    }
}

HResult SimCamera::ClaimInterface(uint64_t session, uint32_t handle_id, uint8_t interface_number) {
    std::lock_guard lock(mutex_);
    UpdatePresence();
    if (!present_ || session != session_) return kDeviceGone;
    if (interface_number > settings_.vc_interface + 1) return ResultFromErrno(ENOENT);
    if (interface_number != settings_.vc_interface) return kOk;
    if (claimed_by_ != 0 && claimed_by_ != handle_id) return ResultFromErrno(EBUSY);
    claimed_by_ = handle_id;
    return kOk;
}

HResult SimCamera::ControlTransfer(uint64_t session, uint32_t handle_id, uint8_t request_type,
                                   uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                                   uint16_t length, uint32_t timeout_ms, uint32_t* transferred) {
    uint32_t dummy = 0;
    if (!transferred) transferred = &dummy;
    *transferred = 0;
    if (length && !data) return kInvalidArg;
    bool notify = false;
    HResult result;
    {
        std::lock_guard lock(mutex_);
        UpdatePresence();
        if (!present_ || session != session_) return kDeviceGone;
        const uint8_t kind = request_type & 0x60;
        // usbfs refuses requests to an interface another driver holds, before the device
        // sees them.
        if (kind == 0x20 && (request_type & 0x1F) == 1 &&
            (index & 0xFF) == settings_.vc_interface && claimed_by_ != handle_id)
            return ResultFromErrno(EBUSY);
        result = CheckFaults();
        if (result != kOk) return result;
        const uint64_t start = clock_.now_us();
        charge_us_ = 0;
        Charge(length);
        if (kind == 0x00) {
            result = Standard(request_type, request, value, index, data, length, transferred);
        } else if (kind == 0x20) {
            result = Class(request_type, request, value, index, data, length, transferred);
        } else if (kind == 0x40) {
            result = Vendor(request_type, request, value, index, data, length, transferred);
        } else {
            result = Stall();
        }
        SleepCharge(charge_us_);
        if (cable_pulled_) {
            // The cable came out while the transfer ran.
            reset_requested_ = false;
            UpdatePresence();
            *transferred = 0;
            return kDeviceGone;
        }
        if (clock_.now_us() - start > uint64_t{timeout_ms} * 1000) {
            result = ResultFromErrno(ETIMEDOUT);
            *transferred = 0;
        }
        if (reset_requested_) {
            // The camera acknowledges the reset, then drops off the bus.
            reset_requested_ = false;
            present_ = false;
            ++session_;
            ++change_count_;
            claimed_by_ = 0;
            driver_length_ = {};
            if (settings_.faults.no_return) {
                return_at_us_.reset();
            } else {
                return_at_us_ = clock_.now_us() + uint64_t{settings_.timing.reenumerate_ms} * 1000;
            }
            notify = true;
        }
    }
    if (notify && reset_listener_ && !reset_listener_(*this)) {
        *transferred = 0;
        return ResultFromErrno(EIO);
    }
    return result;
}

HResult SimCamera::Standard(uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                            uint8_t* data, uint16_t length, uint32_t* transferred) {
    (void)index;
    if (type == 0x80 && request == 0x06) {
        std::vector<uint8_t> descriptor;
        switch (value >> 8) {
            case 1:
                descriptor = DeviceDescriptor();
                break;
            case 2:
                if ((value & 0xFF) != 0) return Stall();
                descriptor = ConfigDescriptor();
                break;
            case 3:
                if (!StringDescriptor(value & 0xFF, &descriptor)) return Stall();
                break;
            default:
                return Stall();
        }
        *transferred = std::min<uint32_t>(length, static_cast<uint32_t>(descriptor.size()));
        std::memcpy(data, descriptor.data(), *transferred);
        return kOk;
    }
    if (type == 0x80 && request == 0x00 && length >= 2) {
        data[0] = data[1] = 0;
        *transferred = 2;
        return kOk;
    }
    if (type == 0x80 && request == 0x08 && length >= 1) {
        data[0] = 1;
        *transferred = 1;
        return kOk;
    }
    // SET_CONFIGURATION, SET_INTERFACE, CLEAR_FEATURE and SET_FEATURE without data.
    if (length == 0 && ((type == 0x00 && (request == 0x09 || request == 0x01 || request == 0x03)) ||
                        (type == 0x01 && request == 0x0B) || (type == 0x02 && request == 0x01)))
        return kOk;
    return Stall();
}

HResult SimCamera::Class(uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                         uint8_t* data, uint16_t length, uint32_t* transferred) {
    if ((type & 0x1F) != 1 || (index & 0xFF) != settings_.vc_interface) return Stall();
    if ((index >> 8) != settings_.unit_id || (value & 0xFF) != 0) return Stall();
    const uint8_t selector = static_cast<uint8_t>(value >> 8);
    if (selector != kCommandControl && selector != kDataControl) return Stall();
    const bool in = (type & 0x80) != 0;
    if (!in && request == 0x01) {  // SET_CUR
        if (selector == kCommandControl) return XuSetCommand(data, length);
        *transferred = length;
        return XuData(false, data, length, transferred);
    }
    if (!in) return Stall();
    switch (request) {
        case 0x81:  // GET_CUR
            if (selector == kDataControl) return XuData(true, data, length, transferred);
            if (length != 8) return Stall();
            std::memset(data, 0, 8);
            data[0] = status_;
            data[1] = command_.group;
            data[2] = command_.opcode;
            *transferred = 8;
            return kOk;
        case 0x85: {  // GET_LEN
            if (length != 2) return Stall();
            const uint16_t size = selector == kCommandControl ? 8 : data_size_;
            data[0] = static_cast<uint8_t>(size);
            data[1] = static_cast<uint8_t>(size >> 8);
            *transferred = 2;
            return kOk;
        }
        case 0x86:  // GET_INFO: supports GET and SET
            if (length != 1) return Stall();
            data[0] = 0x03;
            *transferred = 1;
            return kOk;
        default:
            return Stall();
    }
}

HResult SimCamera::Vendor(uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                          uint8_t* data, uint16_t length, uint32_t* transferred) {
    if ((type & 0x1F) != 0) return Stall();
    const bool in = (type & 0x80) != 0;
    switch (settings_.generation) {
        case Generation::kVendorV1:
            return VendorV1(in, request, value, index, data, length, transferred);
        case Generation::kVendorV2:
            return VendorV2(in, request, value, index, data, length, transferred);
        default:
            return Stall();
    }
}

// ---- Kernel camera-driver face --------------------------------------------------------------

bool SimCamera::DriverBound() {
    std::lock_guard lock(mutex_);
    UpdatePresence();
    return present_ && claimed_by_ == 0;
}

HResult SimCamera::Driver(uint64_t session, DriverQuery query, uint8_t unit, uint8_t selector,
                          uint8_t* data, uint16_t length) {
    std::unique_lock lock(mutex_);
    UpdatePresence();
    // The video node goes away while a program holds the interface or the camera is away.
    if (!present_ || session != session_ || claimed_by_ != 0) return kDeviceGone;
    if (unit != settings_.unit_id || (selector != kCommandControl && selector != kDataControl))
        return ResultFromErrno(ENOENT);
    const uint16_t vc = settings_.vc_interface;
    const uint16_t index = static_cast<uint16_t>((unit << 8) | vc);
    const uint16_t value = static_cast<uint16_t>(selector << 8);
    // Stands in for the kernel's own handle: it always holds the interface.
    const uint32_t kernel = 0;
    std::optional<uint16_t>& cached = driver_length_[selector - kCommandControl];
    auto device = [&](uint8_t type, uint8_t request, uint8_t* buffer, uint16_t size) {
        lock.unlock();
        uint32_t got = 0;
        const HResult hr = ControlTransfer(session, kernel, type, request, value, index, buffer,
                                           size, kDriverTimeoutMs, &got);
        lock.lock();
        return hr;
    };
    if (!cached || query == DriverQuery::kGetLen) {
        uint8_t reply[2] = {};
        const HResult hr = device(0xA1, 0x85, reply, 2);
        if (hr != kOk) return hr;
        const uint16_t reported = static_cast<uint16_t>(reply[0] | (reply[1] << 8));
        // The driver learns a control's length once, when it first meets the control.
        if (!cached) cached = reported;
        if (query == DriverQuery::kGetLen) {
            if (length < 2) return ResultFromErrno(EINVAL);
            data[0] = reply[0];
            data[1] = reply[1];
            return kOk;
        }
    }
    if (length != *cached) return ResultFromErrno(ENOBUFS);
    if (query == DriverQuery::kSetCur) return device(0x21, 0x01, data, length);
    return device(0xA1, 0x81, data, length);
}

// ---- Inspection -----------------------------------------------------------------------------

SimSettings SimCamera::Settings() {
    std::lock_guard lock(mutex_);
    UpdatePresence();
    SimSettings copy = settings_;
    copy.flash_status = flash_.StoredStatus();
    if (bridge_) copy.bridge = bridge_->Snapshot(clock_.now_us());
    return copy;
}

SimSettings SimCamera::SettingsToSave() {
    std::lock_guard lock(mutex_);
    UpdatePresence();
    // The folder holds the camera as it will be: the flash finishes what it is working on.
    flash_.FinishWork();
    if (eeprom_) eeprom_->FinishWork();
    SimSettings copy = settings_;
    copy.flash_status = flash_.StoredStatus();
    if (bridge_) copy.bridge = bridge_->Snapshot(clock_.now_us());
    // A camera on its way back is saved as it will come back; one that never returns as it
    // starts when it is plugged in again.
    if (!present_) ApplyBoot(return_at_us_ ? pending_boot_ : BootTarget::kCode, &copy);
    return copy;
}

std::vector<uint8_t> SimCamera::Memory() {
    std::lock_guard lock(mutex_);
    if (eeprom_) return eeprom_->bytes();
    return otp_ ? otp_->bytes() : flash_.bytes();
}

std::vector<uint8_t> SimCamera::StatusBlock() {
    std::lock_guard lock(mutex_);
    UpdatePresence();
    return BuildStatusBlock();
}

UsbIdentity SimCamera::CurrentIdentity() {
    std::lock_guard lock(mutex_);
    UpdatePresence();
    return Identity();
}

bool SimCamera::AppMode() {
    std::lock_guard lock(mutex_);
    UpdatePresence();
    return settings_.app_mode;
}

void SimCamera::SetResetListener(std::function<bool(SimCamera&)> listener) {
    std::lock_guard lock(mutex_);
    reset_listener_ = std::move(listener);
}

uint32_t SimCamera::TransferCount() {
    std::lock_guard lock(mutex_);
    return transfer_count_;
}

void SimCamera::SetFaults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    settings_.faults = faults;
}

const UsbIdentity& SimCamera::Identity() const {
    return settings_.app_mode ? settings_.running : settings_.rom;
}

}  // namespace orbisk::sim
