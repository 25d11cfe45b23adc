#pragma once
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "catalogue/user_ini.h"

namespace orbisk {

struct Process;

// One row of the built-in chip table: the chip name and the number of its "ICINI" resource.
struct ChipTableRow {
    const char* name;
    int resource;
};
std::span<const ChipTableRow> ChipTable();
inline constexpr int kDefaultProfileResource = 2000;
// The embedded default configuration area named by a profile's "Def Bin" value; 0 if none.
int DefBinResource(std::string_view def_bin);

// The chip profiles: built in (kind "ICINI") or, with "Ini Type" = 1, the *.INI files of the
// program folder. The INI contents held by the base are those of the selected profile.
class CICTypeIni : public CUserIni {
  public:
    explicit CICTypeIni(Process& process);

    bool file_mode() const;
    void BuildProfileList();
    void SelectDefaultProfile();
    // Loads profile `index` of the list (file mode) or of the chip table (built-in mode);
    // false when there is none.
    bool SelectProfile(int index);
    // Looks for the two register bytes among the selected profile's sixteen register sections.
    bool MatchChip(uint8_t reg1, uint8_t reg2);
    bool MatchProfileByIndex(int index, uint8_t reg1, uint8_t reg2);
    bool MatchAnyProfile(uint8_t reg1, uint8_t reg2);
    void ApplyProfile();
    int ProfileCount() const;
    // The largest "FlashSize" a profile of the list declares, read without changing the
    // selected profile: no image for any of these chips can be longer. 128 KB when none
    // declares one.
    size_t LargestMemory() const;

    uint8_t chip_info = 0;
    uint8_t register1 = 0;
    uint8_t register2 = 0;
    uint8_t selection_flag = 0;
    std::string profile_name = "FFU_ORV7771/7507.INI";
    std::vector<std::string> profile_files;
    std::string chip_name;
    const std::map<std::string, int32_t> bus_type_names{{"USB", 0}, {"PCIE", 1}, {"MIPI", 2}};

  private:
    void BeginSelection();
    bool LoadResource(int resource);
    bool LoadFile(const std::string& name);

    Process& process_;
};

}  // namespace orbisk
