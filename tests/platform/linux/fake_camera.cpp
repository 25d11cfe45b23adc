#include "platform/linux/fake_camera.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orbisk::test {

FakeCamera::FakeCamera(std::vector<uint8_t> device_descriptor,
                       std::vector<uint8_t> config_descriptor, uint8_t unit_id)
    : device_descriptor_(std::move(device_descriptor)),
      config_descriptor_(std::move(config_descriptor)),
      unit_id_(unit_id) {}

namespace {

int Reply(const std::vector<uint8_t>& bytes, const ControlSetup& setup, uint8_t* out,
          uint32_t* actual) {
    *actual = static_cast<uint32_t>(std::min<size_t>(bytes.size(), setup.length));
    std::copy_n(bytes.begin(), *actual, out);
    return 0;
}

}  // namespace

int FakeCamera::Descriptor(const ControlSetup& setup, uint8_t* out, uint32_t* actual) {
    const uint8_t type = setup.value >> 8, index = setup.value & 0xFF;
    if (type == 1) return Reply(device_descriptor_, setup, out, actual);
    if (type == 2 && index == 0) return Reply(config_descriptor_, setup, out, actual);
    if (type == 3 && index == 0) return Reply({4, 3, 0x09, 0x04}, setup, out, actual);
    if (type == 3 && index < strings.size()) {
        std::vector<uint8_t> text = {static_cast<uint8_t>(2 + 2 * strings[index].size()), 3};
        for (char c : strings[index]) text.insert(text.end(), {static_cast<uint8_t>(c), 0});
        return Reply(text, setup, out, actual);
    }
    return -EPIPE;
}

int FakeCamera::ExtensionUnit(const ControlSetup& setup, uint8_t* buffer, uint32_t* actual) {
    const uint8_t selector = setup.value >> 8;
    if ((setup.index >> 8) != unit_id_ || (selector != 10 && selector != 11)) return -EPIPE;
    const uint16_t size = selector == 10 ? 8 : data_size;
    switch (setup.request) {
        case 0x85:  // GET_LEN
            return Reply({static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8)}, setup,
                         buffer, actual);
        case 0x86:  // GET_INFO: get and set supported
            return Reply({0x03}, setup, buffer, actual);
        case 0x81:  // GET_CUR
            if (setup.length != size) return -EPIPE;
            return Reply(selector == 10 ? command : data, setup, buffer, actual);
        case 0x01:  // SET_CUR
            if (setup.length != size) return -EPIPE;
            (selector == 10 ? command : data).assign(buffer, buffer + size);
            // Command 00 16 with a size in bytes 4-5 sets the data control's size.
            if (selector == 10 && command[1] == 0x16) {
                data_size = static_cast<uint16_t>(command[4] | (command[5] << 8));
                data.assign(data_size, 0);
            }
            *actual = size;
            return 0;
        default:
            return -EPIPE;
    }
}

int FakeCamera::Control(UsbfsFile, const ControlSetup& setup, uint8_t* buffer, uint32_t* actual) {
    requests.push_back(setup);
    *actual = 0;
    if (setup.request_type == 0x80 && setup.request == 0x06)
        return Descriptor(setup, buffer, actual);
    if ((setup.request_type & 0x7F) == 0x21) return ExtensionUnit(setup, buffer, actual);
    if ((setup.request_type & 0x60) == 0x40) {
        if (setup.request == kNeverAnswered) return kNoAnswer;
        const size_t address = setup.index;
        if (address + setup.length > memory.size()) return -EPIPE;
        if (setup.request_type == 0xC0 && setup.request == kVendorRead) {
            std::copy_n(memory.begin() + address, setup.length, buffer);
            *actual = setup.length;
            return 0;
        }
        if (setup.request_type == 0x40 && setup.request == kVendorWrite) {
            std::copy_n(buffer, setup.length, memory.begin() + address);
            *actual = setup.length;
            return 0;
        }
    }
    return -EPIPE;
}

}  // namespace orbisk::test
