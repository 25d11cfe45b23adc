#include "device/flash_rig.h"

#include "transport/ext_unit.h"

namespace orbisk::test {

namespace {

class CountingHandle : public UsbDeviceHandle {
  public:
    CountingHandle(std::unique_ptr<UsbDeviceHandle> inner, uint32_t& count)
        : inner_(std::move(inner)), count_(count) {}
    HResult ControlTransfer(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index,
                            uint8_t* data, uint16_t length, uint32_t timeout_ms,
                            uint32_t* transferred) override {
        ++count_;
        return inner_->ControlTransfer(request_type, request, value, index, data, length,
                                       timeout_ms, transferred);
    }
    HResult ClaimInterface(uint8_t interface_number) override {
        return inner_->ClaimInterface(interface_number);
    }

  private:
    std::unique_ptr<UsbDeviceHandle> inner_;
    uint32_t& count_;
};

// The extension unit with a hook in front of its serial-flash writes.
class HookedExtUnit : public CExtUnit {
  public:
    HookedExtUnit(UsbDeviceHandle& device, uint8_t unit, uint8_t interface_number, Logger& logger,
                  std::shared_ptr<DeviceLock> lock, const WriteHook& hook)
        : CExtUnit(device, unit, interface_number, logger, std::move(lock)), hook_(hook) {}
    HResult SPI_SF_Write(uint32_t addr, uint32_t len, const uint8_t* buf, ProgressCallback progress,
                         void* context) override {
        if (hook_) {
            const HResult injected = hook_(addr, len);
            if (injected != kOk) return injected;
        }
        return CExtUnit::SPI_SF_Write(addr, len, buf, progress, context);
    }

  private:
    const WriteHook& hook_;
};

}  // namespace

std::unique_ptr<UsbDeviceHandle> CountingBus::Open(uint64_t node_handle) {
    auto inner = inner_.Open(node_handle);
    if (!inner) return nullptr;
    return std::make_unique<CountingHandle>(std::move(inner), transfers_);
}

std::unique_ptr<CVendorCmdCommon> HookedTransportFactory::CreateExtUnit(CameraDeviceRecord& record,
                                                                        uint8_t unit_id) {
    if (!record.usb) return nullptr;
    return std::make_unique<HookedExtUnit>(*record.usb, unit_id,
                                           static_cast<uint8_t>(record.interface_number), logger_,
                                           lock_, write_hook);
}

std::string ChipCaseName(const ChipCase& c) {
    return std::string(c.profile) + (c.locked ? "_Locked" : "_Unlocked");
}

sim::SimSettings ChipSettings(const ChipCase& c) {
    sim::SimSettings settings;
    settings.profile = c.profile;
    settings.app_mode = true;
    settings.flash_status = c.locked ? sim::kProtectedFlashStatus : 0x00;
    return settings;
}

std::vector<uint8_t> ChipImage(const char* profile, const DemoImageRecipe& recipe) {
    const sim::ChipProfile& chip = *sim::FindProfile(profile);
    std::vector<uint8_t> image = MakeDemoImage(recipe);
    // Move the configuration area and the tag to where this chip keeps them.
    std::vector<uint8_t> area(image.begin() + DemoLayout::kConfigAddress,
                              image.begin() + DemoLayout::kConfigAddress + DemoLayout::kConfigSize);
    std::fill_n(image.begin() + DemoLayout::kConfigAddress, DemoLayout::kConfigSize, 0xFF);
    area[2] = static_cast<uint8_t>((chip.chip_model_index << 3) | (area[2] & 0x07));
    image[DemoLayout::kTagAddress] = image[DemoLayout::kTagAddress + 1] = 0xFF;
    image.resize(chip.memory_size, 0xFF);
    std::copy(area.begin(), area.end(), image.begin() + chip.config_address);
    image[chip.tag_address] = 0x55;
    image[chip.tag_address + 1] = 0xAA;
    return image;
}

sim::SimSettings FlashRig::DefaultSettings() {
    sim::SimSettings settings;
    settings.app_mode = true;
    settings.flash_status = sim::kProtectedFlashStatus;  // as the last update left it
    return settings;
}

FlashRig::FlashRig(sim::SimSettings settings, std::vector<uint8_t> memory) {
    camera = std::make_shared<sim::SimCamera>(std::move(settings), std::move(memory), camera_clock);
    sim_bus.AddCamera(camera);
    camlib.CamLib_Init(0);
    profiles.BuildProfileList();
    profiles.SelectDefaultProfile();
    device = std::make_unique<CSPIFlashInfo_USB>(process, camlib, profiles);
}

FlashRig::~FlashRig() {
    device.reset();
    RemoveDeviceLock(kRigLockName);
}

bool FlashRig::OpenAndLoad(const std::vector<uint8_t>& image) {
    return OpenForUpdate(*device, profiles, image);
}

}  // namespace orbisk::test
