// The controller's I2C master: long reads and writes to devices with 16-bit register addresses
// on its sensor bus, where the image sensors and a MIPI module's bridge sit. The bus time of each
// piece is charged to the transfer that carries it.
#include "sim/sim_camera.h"
#include "sim/sim_i2c.h"

namespace orbisk::sim {

namespace {

bool IsBridge(uint16_t slave) {
    // Either form of its address: the write address or the read address.
    return (slave & 0xFE) == SimBridge::kSlave;
}

}  // namespace

uint8_t SimCamera::I2cLongRead(uint16_t slave, uint16_t reg, uint8_t* out, uint16_t length) {
    if (length == 0 || length > kI2cPieceMax) return kStsErrLen;
    const uint32_t khz = settings_.bridge.timing.i2c_khz;
    charge_us_ += NsToUs(I2cReadNs(length, khz));
    for (const SensorRegisters& sensor : sensors_) {
        if (!sensor.Answers(slave)) continue;
        sensor.Read(reg, out, length);
        return kStsNoErr;
    }
    // A device that is not there, or does not answer, leaves the bus idle: no acknowledge.
    if (!bridge_ || !IsBridge(slave)) return kStsHwErr;
    return bridge_->Read(clock_.now_us() + charge_us_, reg, out, length) ? kStsNoErr : kStsHwErr;
}

uint8_t SimCamera::I2cLongWrite(uint16_t slave, uint16_t reg, const uint8_t* data,
                                uint16_t length) {
    if (length == 0 || length > kI2cPieceMax) return kStsErrLen;
    const uint32_t khz = settings_.bridge.timing.i2c_khz;
    charge_us_ += NsToUs(I2cWriteNs(length, khz));
    for (SensorRegisters& sensor : sensors_) {
        if (!sensor.Answers(slave)) continue;
        sensor.Write(reg, data, length);
        return kStsNoErr;
    }
    if (!bridge_ || !IsBridge(slave)) return kStsHwErr;
    return bridge_->Write(clock_.now_us() + charge_us_, reg, data, length) ? kStsNoErr : kStsHwErr;
}

void SimCamera::PowerBridge() {
    if (bridge_) bridge_->SetPowered(clock_.now_us() + charge_us_, power_mipi_ != 2);
}

std::vector<uint8_t> SimCamera::BridgeMemory() {
    std::lock_guard lock(mutex_);
    return bridge_ ? bridge_->Flash(clock_.now_us()) : std::vector<uint8_t>{};
}

int SimCamera::BridgeMode() {
    std::lock_guard lock(mutex_);
    return bridge_ ? bridge_->Mode(clock_.now_us()) : 0;
}

}  // namespace orbisk::sim
