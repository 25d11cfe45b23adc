#pragma once
// Image sensors on the controller's sensor bus: devices with 16-bit register addresses and 8-bit
// registers, read and written in sequence from a start register, as the controller's I2C long
// read and write reach them.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/ini_file.h"

namespace orbisk::sim {

struct SimSensor {
    uint8_t address = 0;  // bus address, write form (the read form sets bit 0)
    // 16-bit values as the settings give them: the high byte at the register, the low byte at
    // the next one. Registers not named read 0.
    std::map<uint16_t, uint16_t> words;

    // The sensor's register bytes: what the words put where.
    std::map<uint16_t, uint8_t> Bytes() const;
};

// "[Sensors]": one key per sensor, its bus address, with "REGISTER:VALUE" items separated by
// commas, for example 0x6C=0x300A:0x2722,0x0000:0x5640. False with the reason for a key or
// value that cannot be used.
bool LoadSensors(const CIniFile& ini, std::vector<SimSensor>* out, std::string* error);
void SaveSensors(const std::vector<SimSensor>& sensors, CIniFile* ini);

// A sensor's registers, kept as the camera runs: reads and writes move through consecutive
// registers from the start register.
class SensorRegisters {
  public:
    explicit SensorRegisters(const SimSensor& sensor)
        : address_(sensor.address), bytes_(sensor.Bytes()) {}
    bool Answers(uint16_t slave) const { return (slave & 0xFE) == address_; }
    void Read(uint16_t reg, uint8_t* out, uint16_t length) const;
    void Write(uint16_t reg, const uint8_t* data, uint16_t length);

  private:
    uint8_t address_;
    std::map<uint16_t, uint8_t> bytes_;
};

}  // namespace orbisk::sim
