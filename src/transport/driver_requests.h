#pragma once
// Requests to a camera through its USB device handle, for the code that runs before a camera
// object (and its transports) exists: enumeration, probing and reset. The transports use the
// same request helpers.
#include <cstdint>

#include "platform/device_lock.h"
#include "platform/result.h"
#include "platform/usb.h"

namespace orbisk {

class Logger;

inline constexpr uint32_t kRequestTimeoutMs = 5000;

// UVC class requests (USB Video Class 1.1, table A-8) as the extension unit receives them.
inline constexpr uint8_t kClassSetType = 0x21;  // host-to-device, class, interface
inline constexpr uint8_t kClassGetType = 0xA1;  // device-to-host, class, interface
inline constexpr uint8_t kSetCur = 0x01;
inline constexpr uint8_t kGetCur = 0x81;
inline constexpr uint8_t kGetLen = 0x85;
// Vendor requests to the device.
inline constexpr uint8_t kVendorOutType = 0x40;
inline constexpr uint8_t kVendorInType = 0xC0;

// Operating-system error number carried by a result (its low 16 bits for 0x8007nnnn).
int OsErrorOf(HResult result);

// A class request to an extension-unit control: wValue = selector << 8, wIndex = unit << 8 |
// interface. A device-to-host request succeeds only when every requested byte arrived.
HResult ClassRequest(UsbDeviceHandle& device, uint8_t type_bits, uint8_t request, uint8_t selector,
                     uint8_t unit_id, uint8_t interface_number, uint8_t* data, uint16_t length,
                     uint32_t timeout_ms = kRequestTimeoutMs);

// A vendor request to the device; bit 7 of type_bits gives the direction. A device-to-host
// request succeeds only when every requested byte arrived.
HResult VendorRequest(UsbDeviceHandle& device, uint8_t type_bits, uint8_t request, uint16_t value,
                      uint16_t index, uint8_t* data, uint16_t length,
                      uint32_t timeout_ms = kRequestTimeoutMs);

// Descriptors: the device descriptor (exactly 18 bytes), the configuration descriptor (exactly
// `length` bytes), a string descriptor (whatever the device sends, *transferred bytes).
HResult ReadDeviceDescriptor(UsbDeviceHandle& device, uint8_t* out /* 18 bytes */);
HResult ReadConfigDescriptor(UsbDeviceHandle& device, uint8_t* out, uint16_t length);
HResult ReadStringDescriptor(UsbDeviceHandle& device, uint8_t index, uint16_t language,
                             uint8_t* out, uint16_t length, uint32_t* transferred);

// The camera's extension unit as the driver-level helpers reach it.
struct DriverExtUnit {
    UsbDeviceHandle& device;
    uint8_t unit_id;
    uint8_t interface_number;
    DeviceLock& lock;
    Logger& logger;
    uint32_t lock_timeout_ms = kDeviceLockTimeoutMs;
};

// Extension-unit exchanges with 8-byte packets, whatever data-control size the device uses.
// Each waits for the device lock (and goes on without it when the wait fails, so that a wedged
// tool cannot keep cameras from being found). On a failure they read the status block and send
// the abort block. They claim the video-control interface of the handle first (the kernel
// camera driver gives it up until the handle closes). They return true on success; *error
// (when given) receives the failing result, kOk otherwise.
bool ExtUnit_DevQualify(const DriverExtUnit& target, HResult* error = nullptr);
// Reads `count` bytes of the device status, records 0, 1, ... of 8 bytes.
bool ExtUnit_GetDevStatus(const DriverExtUnit& target, uint32_t count, uint8_t* buffer,
                          HResult* error = nullptr);
// Opcode 7 (update firmware) and 8 (new code) carry value; 9 resets into the ROM. Any other
// opcode sends nothing and fails with kInvalidArg.
bool ExtUnit_Reset(const DriverExtUnit& target, uint16_t value, uint8_t opcode,
                   HResult* error = nullptr);
bool ExtUnit_ReadMem(const DriverExtUnit& target, uint16_t addr, uint16_t len, uint8_t* buffer,
                     HResult* error = nullptr);
bool ExtUnit_WriteMem(const DriverExtUnit& target, uint16_t addr, uint16_t len,
                      const uint8_t* buffer, HResult* error = nullptr);

// Vendor probes of the two request generations (results as every device operation).
// First generation: one byte of request 6 answers when the device speaks it.
HResult VendorProbeV1(UsbDeviceHandle& device, uint16_t arg, uint8_t* reply);
// Second generation: status records from `record` on, 8 bytes each; count bytes copied.
HResult VendorReadStatusV2(UsbDeviceHandle& device, uint16_t record, uint32_t count, uint8_t* out);
HResult VendorReadMemV2(UsbDeviceHandle& device, uint16_t addr, uint16_t len, uint8_t* out);
HResult VendorWriteMemV2(UsbDeviceHandle& device, uint16_t addr, uint16_t len, const uint8_t* in);
// Opcode 7, 8 or 9 as the extension unit numbers them; others give kInvalidArg.
HResult VendorResetV2(UsbDeviceHandle& device, uint16_t value, uint8_t opcode);
HResult VendorResetV1(UsbDeviceHandle& device, uint16_t value, uint8_t opcode);

}  // namespace orbisk
