#include "transport/driver_requests.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/logger.h"

namespace orbisk {

int OsErrorOf(HResult result) {
    const auto bits = static_cast<uint32_t>(result);
    if ((bits & 0xFFFF0000u) == 0x80070000u) return static_cast<int>(bits & 0xFFFF);
    return result;
}

HResult ClassRequest(UsbDeviceHandle& device, uint8_t type_bits, uint8_t request, uint8_t selector,
                     uint8_t unit_id, uint8_t interface_number, uint8_t* data, uint16_t length,
                     uint32_t timeout_ms) {
    const auto value = static_cast<uint16_t>(selector << 8);
    const auto index = static_cast<uint16_t>((unit_id << 8) | interface_number);
    uint32_t got = 0;
    const HResult hr =
        device.ControlTransfer(type_bits, request, value, index, data, length, timeout_ms, &got);
    if (hr != kOk) return hr;
    if ((type_bits & 0x80) != 0 && got < length) return kFail;
    return kOk;
}

HResult VendorRequest(UsbDeviceHandle& device, uint8_t type_bits, uint8_t request, uint16_t value,
                      uint16_t index, uint8_t* data, uint16_t length, uint32_t timeout_ms) {
    uint32_t got = 0;
    const HResult hr =
        device.ControlTransfer(type_bits, request, value, index, data, length, timeout_ms, &got);
    if (hr != kOk) return hr;
    if ((type_bits & 0x80) != 0 && got < length) return kFail;
    return kOk;
}

HResult ReadDeviceDescriptor(UsbDeviceHandle& device, uint8_t* out) {
    uint32_t got = 0;
    const HResult hr = device.GetDescriptor(1, 0, 0, out, 18, &got, kRequestTimeoutMs);
    if (hr != kOk) return hr;
    return got == 18 ? kOk : kFail;
}

HResult ReadConfigDescriptor(UsbDeviceHandle& device, uint8_t* out, uint16_t length) {
    uint32_t got = 0;
    const HResult hr = device.GetDescriptor(2, 0, 0, out, length, &got, kRequestTimeoutMs);
    if (hr != kOk) return hr;
    return got == length ? kOk : kFail;
}

HResult ReadStringDescriptor(UsbDeviceHandle& device, uint8_t index, uint16_t language,
                             uint8_t* out, uint16_t length, uint32_t* transferred) {
    return device.GetDescriptor(3, index, language, out, length, transferred, kRequestTimeoutMs);
}

namespace {

constexpr uint8_t kCommandSelector = 10;
constexpr uint8_t kDataSelector = 11;
constexpr uint8_t kPacket = 8;

// The helpers' hold on the device lock: taken when it can be, released when it was taken.
class HelperLock {
  public:
    HelperLock(const DriverExtUnit& target, const char* label) : lock_(target.lock) {
        const LockWaitResult wait = lock_.Wait(target.lock_timeout_ms);
        owned_ = wait.kind == LockWait::kAcquired || wait.kind == LockWait::kAbandoned;
        if (!owned_) target.logger.DebugPrint("%s goes on without the device lock", label);
    }
    ~HelperLock() {
        if (owned_) lock_.Release();
    }
    HelperLock(const HelperLock&) = delete;
    HelperLock& operator=(const HelperLock&) = delete;

  private:
    DeviceLock& lock_;
    bool owned_ = false;
};

HResult SetCurCommand(const DriverExtUnit& t, const uint8_t* block) {
    uint8_t copy[kPacket];
    std::memcpy(copy, block, kPacket);
    return ClassRequest(t.device, kClassSetType, kSetCur, kCommandSelector, t.unit_id,
                        t.interface_number, copy, kPacket);
}

HResult GetCurData(const DriverExtUnit& t, uint8_t* out, uint16_t length) {
    return ClassRequest(t.device, kClassGetType, kGetCur, kDataSelector, t.unit_id,
                        t.interface_number, out, length);
}

HResult SetCurData(const DriverExtUnit& t, uint8_t* in, uint16_t length) {
    return ClassRequest(t.device, kClassSetType, kSetCur, kDataSelector, t.unit_id,
                        t.interface_number, in, length);
}

// Leaves the device ready for the next command after a failed exchange.
bool Fail(const DriverExtUnit& t, HResult hr, HResult* error) {
    uint8_t status[kPacket] = {};
    ClassRequest(t.device, kClassGetType, kGetCur, kCommandSelector, t.unit_id, t.interface_number,
                 status, kPacket);
    const uint8_t abort_block[kPacket] = {0xFF, 0, 0, 0, 0, 0, 0, 0};
    SetCurCommand(t, abort_block);
    if (error != nullptr) *error = hr;
    return false;
}

// Class requests need the video-control interface from the kernel camera driver.
bool Claim(const DriverExtUnit& t, HResult* error) {
    const HResult hr = t.device.ClaimInterface(t.interface_number);
    if (hr == kOk) return true;
    t.logger.DebugPrint("ClaimInterface %u failed %x", t.interface_number, uint32_t(hr));
    if (error != nullptr) *error = hr;
    return false;
}

bool Done(HResult* error) {
    if (error != nullptr) *error = kOk;
    return true;
}

}  // namespace

bool ExtUnit_DevQualify(const DriverExtUnit& t, HResult* error) {
    if (!Claim(t, error)) return false;
    HelperLock lock(t, "ExtUnit_DevQualify");
    const uint8_t cmd[kPacket] = {0x00, 0xD0, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00};
    HResult hr = SetCurCommand(t, cmd);
    if (hr != kOk) return Fail(t, hr, error);
    uint8_t reply[kPacket] = {};
    hr = GetCurData(t, reply, kPacket);
    if (hr != kOk) return Fail(t, hr, error);
    static constexpr uint8_t kSignature[kPacket] = {'Z', 'O', 'R', 'V', 'I', 'N', 'E', 0};
    Done(error);
    return std::memcmp(reply, kSignature, kPacket) == 0;
}

bool ExtUnit_GetDevStatus(const DriverExtUnit& t, uint32_t count, uint8_t* buffer, HResult* error) {
    if (!Claim(t, error)) return false;
    HelperLock lock(t, "ExtUnit_GetDevStatus");
    const uint32_t records = (count + kPacket - 1) / kPacket;
    for (uint32_t i = 0; i < records; ++i) {
        const uint8_t cmd[kPacket] = {0x00, 0xCD, uint8_t(i), uint8_t(i >> 8), 0x08, 0, 0, 0};
        HResult hr = SetCurCommand(t, cmd);
        if (hr != kOk) return Fail(t, hr, error);
        uint8_t packet[kPacket] = {};
        hr = GetCurData(t, packet, kPacket);
        if (hr != kOk) return Fail(t, hr, error);
        std::memcpy(buffer + i * kPacket, packet, std::min<uint32_t>(kPacket, count - i * kPacket));
    }
    return Done(error);
}

bool ExtUnit_Reset(const DriverExtUnit& t, uint16_t value, uint8_t opcode, HResult* error) {
    if (opcode != 7 && opcode != 8 && opcode != 9) {
        if (error != nullptr) *error = kInvalidArg;
        return false;
    }
    if (!Claim(t, error)) return false;
    HelperLock lock(t, "ExtUnit_Reset");
    const uint16_t p1 = opcode == 9 ? 0 : value;
    const uint8_t cmd[kPacket] = {0x00, opcode, uint8_t(p1), uint8_t(p1 >> 8), 0, 0, 0, 0};
    const HResult hr = SetCurCommand(t, cmd);
    if (hr != kOk) return Fail(t, hr, error);
    return Done(error);
}

bool ExtUnit_ReadMem(const DriverExtUnit& t, uint16_t addr, uint16_t len, uint8_t* buffer,
                     HResult* error) {
    if (!Claim(t, error)) return false;
    HelperLock lock(t, "ExtUnit_ReadMem");
    const uint8_t cmd[kPacket] = {
        0x00, 0xC2, uint8_t(addr), uint8_t(addr >> 8), uint8_t(len), uint8_t(len >> 8), 0, 0};
    HResult hr = SetCurCommand(t, cmd);
    if (hr != kOk) return Fail(t, hr, error);
    uint32_t done = 0;
    while (done < len) {
        const auto piece = uint16_t(std::min<uint32_t>(kPacket, len - done));
        hr = GetCurData(t, buffer + done, piece);
        if (hr != kOk) return Fail(t, hr, error);
        done += piece;
    }
    return Done(error);
}

bool ExtUnit_WriteMem(const DriverExtUnit& t, uint16_t addr, uint16_t len, const uint8_t* buffer,
                      HResult* error) {
    if (!Claim(t, error)) return false;
    HelperLock lock(t, "ExtUnit_WriteMem");
    const uint8_t cmd[kPacket] = {
        0x00, 0x82, uint8_t(addr), uint8_t(addr >> 8), uint8_t(len), uint8_t(len >> 8), 0, 0};
    HResult hr = SetCurCommand(t, cmd);
    if (hr != kOk) return Fail(t, hr, error);
    uint32_t done = 0;
    while (done < len) {
        const auto piece = uint16_t(std::min<uint32_t>(kPacket, len - done));
        uint8_t packet[kPacket] = {};
        std::memcpy(packet, buffer + done, piece);
        hr = SetCurData(t, packet, piece);
        if (hr != kOk) return Fail(t, hr, error);
        done += piece;
    }
    return Done(error);
}

HResult VendorProbeV1(UsbDeviceHandle& device, uint16_t arg, uint8_t* reply) {
    return VendorRequest(device, kVendorInType, 0x06, arg, 0, reply, 1);
}

HResult VendorReadStatusV2(UsbDeviceHandle& device, uint16_t record, uint32_t count, uint8_t* out) {
    const uint32_t records = (count + kPacket - 1) / kPacket;
    for (uint32_t i = 0; i < records; ++i) {
        uint8_t packet[kPacket] = {};
        const HResult hr =
            VendorRequest(device, kVendorInType, 0x07, uint16_t(record + i), 0, packet, kPacket);
        if (hr != kOk) return hr;
        std::memcpy(out + i * kPacket, packet, std::min<uint32_t>(kPacket, count - i * kPacket));
    }
    return kOk;
}

HResult VendorReadMemV2(UsbDeviceHandle& device, uint16_t addr, uint16_t len, uint8_t* out) {
    return VendorRequest(device, kVendorInType, 0x25, 0, addr, out, len);
}

HResult VendorWriteMemV2(UsbDeviceHandle& device, uint16_t addr, uint16_t len, const uint8_t* in) {
    std::vector<uint8_t> copy(in, in + len);
    return VendorRequest(device, kVendorOutType, 0x24, 0, addr, copy.data(), len);
}

HResult VendorResetV2(UsbDeviceHandle& device, uint16_t value, uint8_t opcode) {
    uint8_t request = 0;
    switch (opcode) {
        case 7:
            request = 0x20;
            break;
        case 8:
            request = 0x21;
            break;
        case 9:
            request = 0x22;
            break;
        default:
            return kInvalidArg;
    }
    return VendorRequest(device, kVendorOutType, request, value, 0, nullptr, 0);
}

HResult VendorResetV1(UsbDeviceHandle& device, uint16_t value, uint8_t opcode) {
    return VendorRequest(device, kVendorOutType, 0x01, value, opcode, nullptr, 0);
}

}  // namespace orbisk
