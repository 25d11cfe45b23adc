#include "transport/intel_mipi_host.h"

#include "base/logger.h"
#include "transport/i2c_pieces.h"

namespace orbisk {

namespace {

constexpr HResult kNoAdapter = 1;

uint16_t AdapterAddress(uint16_t slave) {
    return static_cast<uint16_t>((slave & 0xFF) >> 1);
}

}  // namespace

CIntelMipiHost::CIntelMipiHost(std::unique_ptr<I2cAdapter> adapter, Logger& logger)
    : CMipiVendorCmd(nullptr, nullptr, logger), adapter_(std::move(adapter)) {}

HResult CIntelMipiHost::I2CLongRead(uint16_t slave, uint16_t reg, uint32_t len, uint8_t* buf,
                                    ProgressCallback progress, void* context) {
    logger_.DebugPrint("IntelMipiHost I2CLongRead \n");
    if (!adapter_) return kNoAdapter;
    for (uint32_t done = 0; done < len;) {
        const uint32_t n = std::min(len - done, kI2cLongPiece);
        const HResult hr = I2cReadRegister(*adapter_, AdapterAddress(slave), uint16_t(reg + done),
                                           buf + done, uint16_t(n));
        if (hr != kOk) return hr;
        done += n;
        if (progress != nullptr) progress(context, n);
    }
    return kOk;
}

HResult CIntelMipiHost::I2CLongWrite(uint16_t slave, uint16_t reg, uint32_t, uint32_t len,
                                     const uint8_t* buf, ProgressCallback progress, void* context) {
    logger_.DebugPrint("IntelMipiHost I2CLongWrite \n");
    if (!adapter_) return kNoAdapter;
    return ForEachLongWritePiece(reg, len, [&](uint16_t at, uint32_t offset, uint32_t n) {
        const HResult hr =
            I2cWriteRegister(*adapter_, AdapterAddress(slave), at, buf + offset, uint16_t(n));
        if (hr == kOk && progress != nullptr) progress(context, n);
        return hr;
    });
}

}  // namespace orbisk
