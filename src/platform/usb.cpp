#include "platform/usb.h"

#include <algorithm>

namespace orbisk {

uint64_t NodeHandleFor(uint8_t bus, const std::vector<uint8_t>& port_chain) {
    // Bus in the top byte, then up to seven port numbers: unique per physical port.
    uint64_t handle = uint64_t{bus} << 56;
    for (size_t i = 0; i < port_chain.size() && i < 7; ++i)
        handle |= uint64_t{port_chain[i]} << (48 - 8 * i);
    return handle;
}

std::string PortChainText(uint64_t node_handle) {
    // The inverse of NodeHandleFor: "bus-port.port..." as sysfs names the device.
    std::string text = std::to_string(node_handle >> 56) + "-";
    for (int i = 0; i < 7; ++i) {
        const uint8_t port = static_cast<uint8_t>(node_handle >> (48 - 8 * i));
        if (port == 0) break;
        if (i > 0) text += ".";
        text += std::to_string(port);
    }
    return text;
}

HResult UsbDeviceHandle::GetDescriptor(uint8_t type, uint8_t index, uint16_t language,
                                       uint8_t* data, uint16_t length, uint32_t* transferred,
                                       uint32_t timeout_ms) {
    return ControlTransfer(0x80, 0x06, static_cast<uint16_t>((type << 8) | index), language, data,
                           length, timeout_ms, transferred);
}

HResult UsbDeviceHandle::GetStringDescriptor(uint8_t index, std::string* text,
                                             uint32_t timeout_ms) {
    text->clear();
    if (index == 0) return kInvalidArg;
    uint8_t buffer[255] = {};
    uint32_t got = 0;
    HResult hr = GetDescriptor(3, index, 0x0409, buffer, sizeof buffer, &got, timeout_ms);
    if (hr != kOk) return hr;
    // A reply shorter than the descriptor says it is, or not a string descriptor at all, is a
    // failed read: a cut serial number must never pass for the whole one.
    if (got < 2 || buffer[1] != 3 || buffer[0] < 2 || (buffer[0] & 1) != 0 || got < buffer[0])
        return kFail;
    const uint32_t length = buffer[0];
    for (uint32_t i = 2; i + 1 < length; i += 2) {
        const uint16_t unit = static_cast<uint16_t>(buffer[i] | (buffer[i + 1] << 8));
        if (unit < 0x80) {
            text->push_back(static_cast<char>(unit));
        } else if (unit < 0x800) {
            text->push_back(static_cast<char>(0xC0 | (unit >> 6)));
            text->push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        } else {
            text->push_back(static_cast<char>(0xE0 | (unit >> 12)));
            text->push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
            text->push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        }
    }
    return kOk;
}

}  // namespace orbisk
