#include "sim/sim_sensor.h"

#include <cstdio>
#include <sstream>

#include "sim/sim_ini_reader.h"

namespace orbisk::sim {

namespace {

const char* kSensors = "Sensors";

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

bool ParseWords(const std::string& text, std::map<uint16_t, uint16_t>* out) {
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        const size_t colon = item.find(':');
        if (colon == std::string::npos) return false;
        const auto reg = ParseWholeNumber(item.substr(0, colon));
        const auto value = ParseWholeNumber(item.substr(colon + 1));
        // The low byte goes to the next register, which must exist.
        if (!reg || *reg >= 0xFFFF || !value || *value > 0xFFFF) return false;
        (*out)[static_cast<uint16_t>(*reg)] = static_cast<uint16_t>(*value);
    }
    return !out->empty();
}

}  // namespace

std::map<uint16_t, uint8_t> SimSensor::Bytes() const {
    std::map<uint16_t, uint8_t> bytes;
    for (const auto& [reg, value] : words) {
        bytes[reg] = static_cast<uint8_t>(value >> 8);
        bytes[static_cast<uint16_t>(reg + 1)] = static_cast<uint8_t>(value);
    }
    return bytes;
}

bool LoadSensors(const CIniFile& ini, std::vector<SimSensor>* out, std::string* error) {
    out->clear();
    const int section = ini.FindSection(kSensors);
    if (section < 0) return true;
    for (int key = 0; key < ini.KeyCount(section); ++key) {
        const std::string& name = ini.KeyName(section, key);
        const std::string value = ini.GetValue(section, name);
        if (value.empty()) continue;  // no sensor there
        SimSensor sensor;
        const auto address = ParseWholeNumber(name);
        // A 7-bit device in the write form: bit 0 is the bus's read flag.
        if (!address || *address > 0xFE || (*address & 0x01) != 0) {
            *error = std::string("[Sensors] ") + name +
                     " must be a bus address in its write form, an even number up to 0xFE";
            return false;
        }
        sensor.address = static_cast<uint8_t>(*address);
        if (!ParseWords(value, &sensor.words)) {
            *error = std::string("[Sensors] ") + name +
                     " must be REGISTER:VALUE items (16 bits each, register below 0xFFFF) "
                     "separated by commas, not \"" +
                     value + "\"";
            return false;
        }
        for (const SimSensor& other : *out) {
            if (other.address == sensor.address) {
                *error = std::string("[Sensors] ") + name + " names a bus address twice";
                return false;
            }
        }
        out->push_back(std::move(sensor));
    }
    return true;
}

void SaveSensors(const std::vector<SimSensor>& sensors, CIniFile* ini) {
    for (const SimSensor& sensor : sensors) {
        std::string text;
        for (const auto& [reg, value] : sensor.words) {
            if (!text.empty()) text += ',';
            text += Hex(reg, 4) + ":" + Hex(value, 4);
        }
        ini->SetValue(kSensors, Hex(sensor.address, 2), text);
    }
}

void SensorRegisters::Read(uint16_t reg, uint8_t* out, uint16_t length) const {
    for (uint16_t i = 0; i < length; ++i) {
        const auto at = bytes_.find(static_cast<uint16_t>(reg + i));
        out[i] = at == bytes_.end() ? 0x00 : at->second;
    }
}

void SensorRegisters::Write(uint16_t reg, const uint8_t* data, uint16_t length) {
    for (uint16_t i = 0; i < length; ++i) bytes_[static_cast<uint16_t>(reg + i)] = data[i];
}

}  // namespace orbisk::sim
