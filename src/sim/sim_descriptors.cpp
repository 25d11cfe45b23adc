// The camera's USB descriptors: a composite UVC device whose video-control interface carries
// the vendor extension unit (and, when configured, the second vendor unit).
#include <algorithm>
#include <cstring>

#include "sim/sim_camera.h"

namespace orbisk::sim {

namespace {

// Extension codes as they appear in the descriptor (GUID in its little-endian layout).
constexpr uint8_t kVendorUnitGuid[16] = {0xA1, 0x27, 0x0C, 0x5E, 0xD4, 0x93, 0x6F, 0x4B,
                                         0x8C, 0x21, 0x7A, 0x4D, 0x0E, 0x6B, 0x3F, 0x95};
constexpr uint8_t kSecondUnitGuid[16] = {0xC4, 0xA9, 0xE2, 0xB7, 0x6D, 0x1F, 0x83, 0x4E,
                                         0x9A, 0x05, 0xC3, 0xD8, 0xF2, 0x71, 0x6E, 0x4A};

void Put16(std::vector<uint8_t>* out, uint16_t value) {
    out->push_back(static_cast<uint8_t>(value));
    out->push_back(static_cast<uint8_t>(value >> 8));
}

void ExtensionUnit(std::vector<uint8_t>* out, uint8_t unit_id, const uint8_t* guid,
                   uint8_t source) {
    const uint8_t start[] = {27, 0x24, 0x06, unit_id};
    out->insert(out->end(), start, start + 4);
    out->insert(out->end(), guid, guid + 16);
    // bNumControls, bNrInPins, baSourceID, bControlSize, bmControls (controls 10 and 11:
    // bits 1 and 2 of the second byte), iExtension.
    const uint8_t rest[] = {2, 1, source, 2, 0x00, 0x06, 0};
    out->insert(out->end(), rest, rest + sizeof rest);
}

}  // namespace

std::vector<uint8_t> SimCamera::DeviceDescriptor() const {
    const UsbIdentity& id = Identity();
    const uint16_t bcd_usb = settings_.speed >= 4 ? 0x0300 : 0x0200;
    std::vector<uint8_t> d = {18, 0x01};
    Put16(&d, bcd_usb);
    // Miscellaneous class with interface association descriptors, as UVC devices are.
    const uint8_t middle[] = {0xEF, 0x02, 0x01,
                              static_cast<uint8_t>(settings_.speed >= 4 ? 9 : 64)};
    d.insert(d.end(), middle, middle + 4);
    Put16(&d, id.vid);
    Put16(&d, id.pid);
    Put16(&d, id.rev);
    d.push_back(id.manufacturer.empty() ? 0 : 1);
    d.push_back(id.product.empty() ? 0 : 2);
    d.push_back(id.serial.empty() ? 0 : 3);
    d.push_back(1);
    return d;
}

std::vector<uint8_t> SimCamera::ConfigDescriptor() const {
    const uint8_t vc = settings_.vc_interface;
    const uint8_t vs = static_cast<uint8_t>(vc + 1);
    const uint8_t xu = settings_.unit_id;
    std::vector<uint8_t> units;
    // Camera terminal (id 1), processing unit (id 2), vendor unit(s), output terminal.
    const uint8_t camera_terminal[] = {18, 0x24, 0x02, 1, 0x01, 0x02, 0,    0,    0,
                                       0,  0,    0,    0, 0,    3,    0x00, 0x00, 0x00};
    units.insert(units.end(), camera_terminal, camera_terminal + sizeof camera_terminal);
    const uint8_t processing[] = {11, 0x24, 0x05, 2, 1, 0, 0, 2, 0x00, 0x00, 0};
    units.insert(units.end(), processing, processing + sizeof processing);
    ExtensionUnit(&units, xu, kVendorUnitGuid, 2);
    uint8_t last = xu;
    if (settings_.second_unit) {
        const uint8_t second = static_cast<uint8_t>(xu + 1);
        ExtensionUnit(&units, second, kSecondUnitGuid, xu);
        last = second;
    }
    const uint8_t output[] = {9, 0x24, 0x03, 7, 0x01, 0x01, 0, last, 0};
    units.insert(units.end(), output, output + sizeof output);

    std::vector<uint8_t> body;
    const uint8_t iad[] = {8, 0x0B, vc, 2, 0x0E, 0x03, 0x00, 2};
    body.insert(body.end(), iad, iad + sizeof iad);
    const uint8_t vc_interface[] = {9, 0x04, vc, 0, 1, 0x0E, 0x01, 0x00, 2};
    body.insert(body.end(), vc_interface, vc_interface + sizeof vc_interface);
    std::vector<uint8_t> header = {13, 0x24, 0x01, 0x10, 0x01};
    Put16(&header, static_cast<uint16_t>(13 + units.size()));
    const uint8_t clock_and_links[] = {0x80, 0x8D, 0x5B, 0x00, 1, vs};  // 6 MHz, one VS interface
    header.insert(header.end(), clock_and_links, clock_and_links + sizeof clock_and_links);
    body.insert(body.end(), header.begin(), header.end());
    body.insert(body.end(), units.begin(), units.end());
    const uint8_t interrupt_ep[] = {7, 0x05, 0x83, 0x03, 0x10, 0x00, 0x08};
    body.insert(body.end(), interrupt_ep, interrupt_ep + sizeof interrupt_ep);
    const uint8_t cs_ep[] = {5, 0x25, 0x03, 0x10, 0x00};
    body.insert(body.end(), cs_ep, cs_ep + sizeof cs_ep);
    // Video streaming: alternate 0 without bandwidth, alternate 1 with an isochronous endpoint.
    const uint8_t vs0[] = {9, 0x04, vs, 0, 0, 0x0E, 0x02, 0x00, 0};
    body.insert(body.end(), vs0, vs0 + sizeof vs0);
    const uint8_t input_header[] = {13, 0x24, 0x01, 0, 13, 0, 0x81, 0, 7, 0, 0, 0, 1};
    body.insert(body.end(), input_header, input_header + sizeof input_header);
    const uint8_t vs1[] = {9, 0x04, vs, 1, 1, 0x0E, 0x02, 0x00, 0};
    body.insert(body.end(), vs1, vs1 + sizeof vs1);
    const uint8_t iso_ep[] = {7, 0x05, 0x81, 0x05, 0x00, 0x14, 0x01};
    body.insert(body.end(), iso_ep, iso_ep + sizeof iso_ep);

    std::vector<uint8_t> config = {9, 0x02};
    Put16(&config, static_cast<uint16_t>(9 + body.size()));
    const uint8_t rest[] = {2, 1, 0, 0x80, 250};
    config.insert(config.end(), rest, rest + sizeof rest);
    config.insert(config.end(), body.begin(), body.end());
    return config;
}

bool SimCamera::StringDescriptor(uint8_t index, std::vector<uint8_t>* out) const {
    if (index == 0) {
        *out = {4, 0x03, 0x09, 0x04};
        return true;
    }
    const UsbIdentity& id = Identity();
    const std::string* text = index == 1   ? &id.manufacturer
                              : index == 2 ? &id.product
                              : index == 3 ? &id.serial
                                           : nullptr;
    if (!text || text->empty()) return false;
    // 8-bit characters widened to UTF-16; a string descriptor holds at most 126 of them.
    const size_t count = std::min<size_t>(text->size(), 126);
    out->assign(2 + 2 * count, 0);
    (*out)[0] = static_cast<uint8_t>(out->size());
    (*out)[1] = 0x03;
    for (size_t i = 0; i < count; ++i) (*out)[2 + 2 * i] = static_cast<uint8_t>((*text)[i]);
    return true;
}

}  // namespace orbisk::sim
