// USB vendor requests of both generations, answered from the device side. A request the
// camera does not know, a wrong direction or a wrong length stalls.
#include <cstring>

#include "sim/sim_camera.h"

namespace orbisk::sim {

namespace {

// Largest data stage the controller buffers for one vendor request.
constexpr uint32_t kVendorMaxData = 4096;

// Address and length packing of both generations: wValue bits 8-11 = address bits 16-19,
// bits 12-15 = length bits 16-19, wIndex = address bits 0-15, wLength = length bits 0-15.
bool Unpack(uint16_t value, uint16_t index, uint16_t length, uint32_t* address) {
    if ((value >> 12) != 0) return false;  // a data stage never exceeds wLength
    *address = (uint32_t{(value >> 8) & 0x0Fu} << 16) | index;
    return length <= kVendorMaxData;
}

}  // namespace

HResult SimCamera::VendorV1(bool in, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                            uint16_t length, uint32_t* transferred) {
    const bool nor = settings_.memory == MemoryKind::kNorFlash;
    auto done = [&](uint8_t status, uint32_t moved) {
        if (status != kStsNoErr) return Stall();
        *transferred = moved;
        return kOk;
    };
    uint32_t address = 0;
    switch (request) {
        case 0x01:  // reset: wIndex = 7 update mode, 8 or 9 the code in memory
            // wValue: the 8-bit argument of targets 7 and 8; target 9 takes none.
            if (in || length || value > 0xFF || (index == 9 && value != 0)) return Stall();
            if (index == 7)
                ScheduleUpdateReset(value);
            else if (index == 8 || index == 9)
                ScheduleReset(BootTarget::kCode);
            else
                return Stall();
            return kOk;
        case 0x02:  // erase: wValue 1 NOR, 0 serial flash
        case 0x03:  // tag
            if (in || length || index || value > 1 || (value == 1) != nor || !StorageAllowed())
                return Stall();
            return done(request == 0x02 ? EraseChip() : WriteTag(nor), 0);
        case 0x04:
        case 0x05: {
            const bool write = request == 0x04;
            const uint8_t selector = static_cast<uint8_t>(value & 0xFF);
            // Selector 1 is NOR, 0 serial flash; a NOR camera also answers the serial-flash
            // read (selector 0) from its program memory.
            const bool nor_read = nor && !write && selector == 0;
            if (in == write || selector > 1 || ((selector == 1) != nor && !nor_read))
                return Stall();
            if (!Unpack(static_cast<uint16_t>(value & 0xFF00), index, length, &address))
                return Stall();
            const Space space = nor ? Space::kNorFlash : Space::kSerialFlash;
            if (write) {
                if (!StorageAllowed()) return Stall();
                return done(WriteSpace(space, address, data, length), length);
            }
            return done(ReadSpace(space, address, length, data), length);
        }
        case 0x4D:  // read with the full 32-bit address: wValue = bits 16-31
            if (!in || nor || length > kVendorMaxData) return Stall();
            address = (uint32_t{value} << 16) | index;
            return done(ReadSpace(Space::kSerialFlash, address, length, data), length);
        case 0x4F:
            if (in || length || value || index) return Stall();
            return kOk;
        case 0x44:  // I2C long read: wValue slave, wIndex register
        case 0x45:  // I2C long write
            if (in != (request == 0x44)) return Stall();
            return done(in ? I2cLongRead(value, index, data, length)
                           : I2cLongWrite(value, index, data, length),
                        length);
        case 0x06:  // generation probe
            if (!in || length != 1 || index) return Stall();
            data[0] = 1;
            *transferred = 1;
            return kOk;
        case 0x10:
            if (in || length || index || value > 0xFF) return Stall();
            vendor_byte_ = static_cast<uint8_t>(value);
            return kOk;
        default:
            return Stall();
    }
}

HResult SimCamera::VendorV2(bool in, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                            uint16_t length, uint32_t* transferred) {
    const bool nor = settings_.memory == MemoryKind::kNorFlash;
    auto done = [&](uint8_t status, uint32_t moved) {
        if (status != kStsNoErr) return Stall();
        *transferred = moved;
        return kOk;
    };
    auto no_data_out = [&]() { return !in && length == 0; };
    // A request without address: wValue and wIndex carry nothing else.
    auto bare = [&]() { return value == 0 && index == 0; };
    uint32_t address = 0;
    // Memory requests: direction, space, whether it writes.
    struct Access {
        uint8_t request;
        bool in;
        Space space;
    };
    static constexpr Access kAccess[] = {
        {0x23, true, Space::kIram},        {0x25, true, Space::kXdata},
        {0x24, false, Space::kXdata},      {0x26, true, Space::kCode},
        {0x27, true, Space::kPhy},         {0x28, false, Space::kPhy},
        {0x2B, true, Space::kNorFlash},    {0x2A, false, Space::kNorFlash},
        {0x2E, true, Space::kSerialFlash}, {0x2F, false, Space::kSerialFlash},
    };
    for (const Access& access : kAccess) {
        if (access.request != request) continue;
        const bool flash = access.space == Space::kNorFlash || access.space == Space::kSerialFlash;
        if (in != access.in) return Stall();
        // A NOR camera also answers the plain serial-flash read (mode 0) from its program
        // memory; the fast-read modes and serial-flash writes stay serial-flash only.
        const bool nor_read = nor && access.request == 0x2E && (value & 0xFF) == 0;
        if (flash && (access.space == Space::kNorFlash) != nor && !nor_read) return Stall();
        // The serial-flash read carries its read mode in the selector byte.
        const uint16_t packed =
            access.request == 0x2E ? static_cast<uint16_t>(value & 0xFF00) : value;
        if (access.request != 0x2E && (value & 0xFF)) return Stall();
        if (!Unpack(packed, index, length, &address)) return Stall();
        if (access.in) return done(ReadSpace(access.space, address, length, data), length);
        if (flash && !StorageAllowed()) return Stall();
        return done(WriteSpace(access.space, address, data, length), length);
    }
    if (request >= 0x35 && request <= 0x3A)
        return VendorByteMemory(in, request, value, index, data, length, transferred);
    switch (request) {
        case 0x06:
            if (!in || length != 1 || index) return Stall();
            data[0] = 2;
            *transferred = 1;
            return kOk;
        case 0x10:
            if (!no_data_out() || index || value > 0xFF) return Stall();
            vendor_byte_ = static_cast<uint8_t>(value);
            return kOk;
        case 0x07:  // one 8-byte record of the status block
            if (!in || length != 8 || index || value * 8u >= kStatusBlockSize) return Stall();
            StatusRecord(value, data);
            *transferred = 8;
            return kOk;
        case 0x20:
        case 0x21:  // wValue: the 8-bit argument
            if (!no_data_out() || index || value > 0xFF) return Stall();
            if (request == 0x20)
                ScheduleUpdateReset(value);
            else
                ScheduleReset(BootTarget::kCode);
            return kOk;
        case 0x22:
            if (!no_data_out() || !bare()) return Stall();
            ScheduleReset(BootTarget::kCode);
            return kOk;
        case 0x29:
        case 0x2C:
        case 0x32:
        case 0x34: {
            const bool nor_request = request == 0x29 || request == 0x2C;
            if (!no_data_out() || !bare() || nor_request != nor || !StorageAllowed())
                return Stall();
            const bool erase = request == 0x29 || request == 0x32;
            return done(erase ? EraseChip() : WriteTag(nor), 0);
        }
        case 0x33:
            if (!no_data_out() || nor || !StorageAllowed() || (value & 0xFF)) return Stall();
            if (!Unpack(value, index, 0, &address)) return Stall();
            return done(EraseSector(address), 0);
        case 0x2D:
            if (!in || length != 8 || !bare() || nor) return Stall();
            FlashId(data);
            *transferred = 8;
            return kOk;
        case 0x30:
            if (!in || length != 1 || !bare() || nor) return Stall();
            data[0] = flash_.ReadStatus();
            *transferred = 1;
            return kOk;
        case 0x31:
            if (in || length != 1 || !bare() || nor || !StorageAllowed()) return Stall();
            return done(WriteFlashStatus(data[0]), 1);
        default:
            return Stall();
    }
}

}  // namespace orbisk::sim
