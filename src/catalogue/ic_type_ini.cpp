#include "catalogue/ic_type_ini.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "base/process.h"
#include "image/resources.h"

namespace orbisk {

namespace {

constexpr ChipTableRow kChipTable[] = {
    {"ORV7771/7507", 2000},      {"ORV7391D", 2001},
    {"ORV7476", 2002},           {"ORV7350", 2003},
    {"ORV6375/7936", 2004},      {"ORV6644", 2005},
    {"ORV7937/6783/6924", 2006}, {"ORV7464/6783B/6924B", 2007},
    {"ORV7339", 2008},           {"ORV6521/6477C", 2009},
    {"ORV6475", 2010},           {"ORV6987", 2011},
    {"ORV7054/6011", 2012},      {"ORV7608", 2013},
    {"ORV6099", 2014},           {"ORV7192", 2015},
    {"ORV6363", 2016},           {"ORV7365", 2017},
    {"ORV7971", 2018},
};

struct DefBinRow {
    const char* name;
    int resource;
};
constexpr DefBinRow kDefBin[] = {
    {"EEU_6987", 3003}, {"FFU_7391D", 3004}, {"FFU_7476", 3005},  {"FFU_7350", 3000},
    {"FFU_7936", 3006}, {"FFU_6644", 3002},  {"FFU_6783", 3010},  {"FFU_7507", 3001},
    {"FFU_7464", 3007}, {"FFU_7339", 3008},  {"FFU_6477C", 3009}, {"FFU_6475", 3011},
    {"FFU_7054", 3013}, {"FFM_7608", 3014},  {"EEU_6099", 3015},  {"FFU_7192", 3016},
    {"FFU_6363", 3017}, {"FFU_7365", 3019},  {"FFU_7971", 3021},
};

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool HasIniExtension(const std::string& name) {
    return name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".ini") == 0;
}

}  // namespace

std::span<const ChipTableRow> ChipTable() {
    return kChipTable;
}

int DefBinResource(std::string_view def_bin) {
    for (const DefBinRow& r : kDefBin)
        if (def_bin == r.name) return r.resource;
    return 0;
}

CICTypeIni::CICTypeIni(Process& process) : process_(process) {}

bool CICTypeIni::file_mode() const {
    return process_.profile_source == 1;
}

void CICTypeIni::BuildProfileList() {
    profile_files.clear();
    if (!file_mode()) {
        for (const ChipTableRow& row : kChipTable)
            profile_files.push_back(std::string(row.name) + ".ini");
        return;
    }
    DIR* dir = opendir(process_.program_folder.c_str());
    if (!dir) return;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." || !HasIniExtension(name)) continue;
        if (strcasecmp(name.c_str(), "config.ini") == 0) continue;
        struct stat st {};
        if (stat(process_.ProgramFile(name).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        profile_files.push_back(name);
    }
    closedir(dir);
}

void CICTypeIni::BeginSelection() {
    Clear();
    chip_name.clear();
    selection_flag = 0;
}

bool CICTypeIni::LoadResource(int resource) {
    const auto bytes = FindResource(kResourceIcIni, resource);
    if (bytes.empty()) return false;
    return ReadMemory(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool CICTypeIni::LoadFile(const std::string& name) {
    SetPath(process_.ProgramFile(name));
    return ReadFile();
}

void CICTypeIni::SelectDefaultProfile() {
    BeginSelection();
    if (!file_mode()) {
        for (const ChipTableRow& row : kChipTable) {
            if (Upper(std::string(row.name) + ".ini") == profile_name) {
                LoadResource(row.resource);
                return;
            }
        }
        LoadResource(kDefaultProfileResource);
        return;
    }
    if (profile_files.empty()) {
        profile_name.clear();
        return;
    }
    if (std::find(profile_files.begin(), profile_files.end(), profile_name) == profile_files.end())
        profile_name = profile_files.front();
    LoadFile(profile_name);
}

int CICTypeIni::ProfileCount() const {
    return file_mode() ? static_cast<int>(profile_files.size())
                       : static_cast<int>(std::size(kChipTable));
}

size_t CICTypeIni::LargestMemory() const {
    constexpr size_t kWithoutSizes = 0x20000;
    size_t largest = 0;
    for (int i = 0; i < ProfileCount(); ++i) {
        CUserIni profile;
        if (file_mode()) {
            profile.SetPath(process_.ProgramFile(profile_files[static_cast<size_t>(i)]));
            profile.ReadFile();
        } else if (const auto bytes = FindResource(kResourceIcIni, kChipTable[i].resource);
                   !bytes.empty()) {
            profile.ReadMemory(
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        }
        const int32_t size = profile.ReadVendorValue("FlashSize");
        if (size > 0) largest = std::max(largest, static_cast<size_t>(size));
    }
    return largest != 0 ? largest : kWithoutSizes;
}

bool CICTypeIni::SelectProfile(int index) {
    BeginSelection();
    if (index < 0 || index >= ProfileCount()) return false;
    if (file_mode()) return LoadFile(profile_files[index]);
    return LoadResource(kChipTable[index].resource);
}

bool CICTypeIni::MatchChip(uint8_t reg1, uint8_t reg2) {
    for (int i = 0; i < 0x10; ++i) {
        char section[32];
        std::snprintf(section, sizeof section, "Camera_%s_%02X", "Register", i);
        const int s = FindSection(section);
        if (s < 0) continue;
        const auto r1 = static_cast<uint8_t>(GetValueI(s, "ICRegister1", 0));
        const auto r2 = static_cast<uint8_t>(GetValueI(s, "ICRegister2", 0));
        if (r1 == reg1 && r2 == reg2) {
            register1 = r1;
            register2 = r2;
            chip_info = static_cast<uint8_t>(GetValueI(s, "ChipInfo", 0));
            return true;
        }
    }
    return false;
}

bool CICTypeIni::MatchProfileByIndex(int index, uint8_t reg1, uint8_t reg2) {
    SelectProfile(index);
    return MatchChip(reg1, reg2);
}

bool CICTypeIni::MatchAnyProfile(uint8_t reg1, uint8_t reg2) {
    for (int i = 0; i < ProfileCount(); ++i) {
        if (MatchProfileByIndex(i, reg1, reg2)) return true;
        Clear();
    }
    return false;
}

void CICTypeIni::ApplyProfile() {
    const std::string bus = GetValue(kConfigSection, "Bus Type", "");
    // Names compare exactly: "usb" is not a bus type.
    if (auto it = bus_type_names.find(bus); it != bus_type_names.end())
        process_.bus_type = it->second;
    chip_name = GetValue(kConfigSection, "Ic Name", "");
}

}  // namespace orbisk
