#pragma once
// Test helpers for the simulated camera: a small image builder and a host that speaks the
// extension-unit protocol through the USB seam with plain control transfers.
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "sim/sim_bus.h"
#include "sim/sim_camera.h"
#include "sim/sim_settings.h"

namespace orbisk::sim::test {

struct ImageRecipe {
    uint16_t vid = 0x1234;
    uint16_t pid = 0x5678;
    uint16_t rev = 0x0102;
    std::string manufacturer = "Fixture Maker";
    std::string product = "Fixture Camera";
    std::string serial = "SN0001";
    uint16_t config_version = 0x1060;
    std::optional<uint32_t> marker_version = 0x00032A07;  // none: no version marker
    bool tag = true;
    uint32_t size = 0x20000;
    uint32_t config_address = 0xAE00;
    uint32_t tag_address = 0x0FFE;
    uint8_t chip_model_index = 22;
};

inline void AppendString(std::vector<uint8_t>* area, uint8_t type, const std::string& text) {
    const uint8_t b = static_cast<uint8_t>(text.size() + 2);
    area->push_back(static_cast<uint8_t>(b + 2));
    area->push_back(type);
    area->push_back(b);
    area->push_back(0x03);
    area->insert(area->end(), text.begin(), text.end());
}

// An image as the demo images are laid out: code, a configuration area (header 0x55 0xA5,
// records 0x2F, 0x08, strings, 0x04) and the tag.
inline std::vector<uint8_t> BuildImage(const ImageRecipe& recipe = {}) {
    std::vector<uint8_t> image(recipe.size, 0xFF);
    for (uint32_t i = 0; i < 0x800; ++i) image[i] = static_cast<uint8_t>(i * 7);
    if (recipe.marker_version) {
        uint8_t* marker = image.data() + kVersionMarkerOffset;
        std::memcpy(marker, kVersionMarker, 8);
        for (int i = 0; i < 4; ++i)
            marker[8 + i] = static_cast<uint8_t>(*recipe.marker_version >> (8 * i));
    }
    std::vector<uint8_t> area = {0x55, 0xA5, static_cast<uint8_t>(recipe.chip_model_index << 3),
                                 0,    0,    0};
    const uint8_t version_record[] = {6,
                                      0x2F,
                                      0x63,
                                      0x63,
                                      static_cast<uint8_t>(recipe.config_version),
                                      static_cast<uint8_t>(recipe.config_version >> 8)};
    area.insert(area.end(), version_record, version_record + 6);
    const uint8_t info_record[] = {3, 0x08, 0x01};
    area.insert(area.end(), info_record, info_record + 3);
    AppendString(&area, 0x01, recipe.manufacturer);
    AppendString(&area, 0x02, recipe.product);
    AppendString(&area, 0x03, recipe.serial);
    const uint8_t vidpid[] = {8,
                              0x04,
                              static_cast<uint8_t>(recipe.vid),
                              static_cast<uint8_t>(recipe.vid >> 8),
                              static_cast<uint8_t>(recipe.pid),
                              static_cast<uint8_t>(recipe.pid >> 8),
                              static_cast<uint8_t>(recipe.rev),
                              static_cast<uint8_t>(recipe.rev >> 8)};
    area.insert(area.end(), vidpid, vidpid + 8);
    area[3] = static_cast<uint8_t>(area.size());
    area[4] = static_cast<uint8_t>(area.size() >> 8);
    area[5] = 6;  // 0x2F, 0x08, three strings, 0x04
    std::memcpy(image.data() + recipe.config_address, area.data(), area.size());
    if (recipe.tag) {
        image[recipe.tag_address] = 0x55;
        image[recipe.tag_address + 1] = 0xAA;
    }
    return image;
}

// A camera on a bus of its own, with a handle that holds the video-control interface.
struct Rig {
    explicit Rig(SimSettings settings = {}, std::vector<uint8_t> memory = {}) : bus(clock) {
        camera = std::make_shared<SimCamera>(std::move(settings), std::move(memory), clock);
        bus.AddCamera(camera);
        Reopen();
    }
    // Waits for the camera (after a reset) and opens it again; false when it does not come.
    bool Reopen() {
        handle.reset();
        for (int i = 0; i < 100; ++i) {
            const auto list = bus.List();
            if (!list.empty()) {
                info = list.front();
                handle = bus.Open(info.node_handle);
                return handle && handle->ClaimInterface(0) == kOk;
            }
            bus.WaitForChange(100);
        }
        return false;
    }

    uint8_t unit = 4;
    VirtualClock clock;
    SimUsbBus bus;
    std::shared_ptr<SimCamera> camera;
    UsbDeviceInfo info;
    std::unique_ptr<UsbDeviceHandle> handle;

    // Raw class requests to the extension unit.
    HResult SetCur(uint8_t selector, const uint8_t* data, uint16_t length) {
        uint32_t got = 0;
        return handle->ControlTransfer(0x21, 0x01, static_cast<uint16_t>(selector << 8),
                                       static_cast<uint16_t>(unit << 8), const_cast<uint8_t*>(data),
                                       length, 5000, &got);
    }
    HResult GetCur(uint8_t selector, uint8_t* data, uint16_t length) {
        uint32_t got = 0;
        return handle->ControlTransfer(0xA1, 0x81, static_cast<uint16_t>(selector << 8),
                                       static_cast<uint16_t>(unit << 8), data, length, 5000, &got);
    }
    HResult Command(uint8_t group, uint8_t opcode, uint16_t p1 = 0, uint16_t p2 = 0,
                    uint16_t p3 = 0) {
        const uint8_t block[8] = {group,
                                  opcode,
                                  static_cast<uint8_t>(p1),
                                  static_cast<uint8_t>(p1 >> 8),
                                  static_cast<uint8_t>(p2),
                                  static_cast<uint8_t>(p2 >> 8),
                                  static_cast<uint8_t>(p3),
                                  static_cast<uint8_t>(p3 >> 8)};
        return SetCur(kCommandControl, block, 8);
    }
    uint8_t Status() {
        uint8_t block[8] = {};
        return GetCur(kCommandControl, block, 8) == kOk ? block[0] : 0xEE;
    }
    uint16_t DataSize() {
        uint8_t reply[2] = {};
        uint32_t got = 0;
        handle->ControlTransfer(0xA1, 0x85, kDataControl << 8, static_cast<uint16_t>(unit << 8),
                                reply, 2, 5000, &got);
        return static_cast<uint16_t>(reply[0] | (reply[1] << 8));
    }
    // The packet loop of the host: full packets, the last one zero-padded.
    HResult ReadData(uint8_t* out, size_t n) {
        const uint16_t size = DataSize();
        std::vector<uint8_t> packet(size);
        for (size_t done = 0; done < n; done += size) {
            const HResult hr = GetCur(kDataControl, packet.data(), size);
            if (hr != kOk) return hr;
            std::memcpy(out + done, packet.data(), std::min<size_t>(size, n - done));
        }
        return kOk;
    }
    HResult WriteData(const uint8_t* in, size_t n) {
        const uint16_t size = DataSize();
        std::vector<uint8_t> packet(size);
        for (size_t done = 0; done < n; done += size) {
            std::fill(packet.begin(), packet.end(), 0);
            std::memcpy(packet.data(), in + done, std::min<size_t>(size, n - done));
            const HResult hr = SetCur(kDataControl, packet.data(), size);
            if (hr != kOk) return hr;
        }
        return kOk;
    }
    // Whole operations as the transports frame them.
    HResult In(uint8_t group, uint8_t opcode, uint16_t p1, uint16_t p2, uint16_t p3, uint8_t* out,
               size_t n) {
        const HResult hr = Command(group, opcode, p1, p2, p3);
        return hr != kOk ? hr : ReadData(out, n);
    }
    HResult Out(uint8_t group, uint8_t opcode, uint16_t p1, uint16_t p2, uint16_t p3,
                const uint8_t* in, size_t n) {
        const HResult hr = Command(group, opcode, p1, p2, p3);
        return hr != kOk ? hr : WriteData(in, n);
    }
    HResult ReadMem(uint32_t address, uint16_t n, uint8_t* out) {
        return In(0x00, 0xC2, static_cast<uint16_t>(address), n,
                  static_cast<uint16_t>(address >> 16), out, n);
    }
    HResult WriteMem(uint32_t address, std::vector<uint8_t> bytes) {
        return Out(0x00, 0x82, static_cast<uint16_t>(address), static_cast<uint16_t>(bytes.size()),
                   static_cast<uint16_t>(address >> 16), bytes.data(), bytes.size());
    }
    HResult FlashRead(uint32_t address, uint16_t n, uint8_t* out) {
        return In(0x02, 0xC2, static_cast<uint16_t>(address), n,
                  static_cast<uint16_t>(address >> 16), out, n);
    }
    HResult FlashWrite(uint32_t address, const std::vector<uint8_t>& bytes) {
        return Out(0x02, 0x82, static_cast<uint16_t>(address), static_cast<uint16_t>(bytes.size()),
                   static_cast<uint16_t>(address >> 16), bytes.data(), bytes.size());
    }
    uint8_t ReadSr() {
        uint8_t value = 0;
        return In(0x02, 0xC3, 0, 1, 0, &value, 1) == kOk ? value : 0xEE;
    }
    HResult WriteSr(uint8_t value) { return Out(0x02, 0x83, 0, 1, 0, &value, 1); }
    // Polls the busy bit as a host does between flash operations; false when it never clears.
    bool WaitWhileBusy(uint32_t limit_ms = 10000) {
        for (uint32_t waited = 0; waited <= limit_ms; ++waited) {
            const uint8_t status = ReadSr();
            if (status == 0xEE) return false;
            if (!(status & 1)) return true;
            clock.sleep_ms(1);
        }
        return false;
    }
    std::vector<uint8_t> StatusBlock() {
        std::vector<uint8_t> block(kStatusBlockSize, 0);
        for (uint16_t i = 0; i < kStatusBlockSize / 8; ++i)
            if (In(0x00, 0xCD, i, 8, 0, block.data() + i * 8, 8) != kOk) return {};
        return block;
    }
    // Drives the write-protect pin of the default profile high (released).
    HResult ReleaseWpPin() {
        HResult hr = WriteMem(0xFEA0, {0x01});
        return hr != kOk ? hr : WriteMem(0xFEA6, {0x01});
    }
    HResult Vendor(uint8_t type, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                   uint16_t length, uint32_t* got = nullptr) {
        uint32_t dummy = 0;
        return handle->ControlTransfer(type, request, value, index, data, length, 5000,
                                       got ? got : &dummy);
    }
};

// A camera in the field: it runs its application, and its flash is locked as the last update
// left it.
inline SimSettings AppSettings() {
    SimSettings settings;
    settings.app_mode = true;
    settings.flash_status = kProtectedFlashStatus;
    return settings;
}

}  // namespace orbisk::sim::test
