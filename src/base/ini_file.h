#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orbisk {

// The one INI reader and writer of the program: config.ini, chip profiles and the other INI
// files. Names compare case-insensitively, values are kept verbatim, numbers are converted on
// every read, and the order of sections and keys is kept as read.
class CIniFile {
  public:
    explicit CIniFile(std::string path = {});
    virtual ~CIniFile() = default;

    void SetPath(std::string path) { path_ = std::move(path); }
    const std::string& Path() const { return path_; }

    // True when at least one section was read. A line that begins with a non-printable
    // character stops the load ("Failing on char %d\n"); what was read before stays loaded and
    // LoadStoppedEarly() tells the caller not to write the partial contents over the file.
    // A file that exists but cannot be read (a folder, no rights) loads nothing and
    // ReadError() says why; a missing file is no error.
    bool ReadFile();
    bool ReadMemory(std::string_view text);
    // Replaces the file as a whole (temporary file, then rename); on failure the old file is
    // left as it was and `error` says why.
    bool WriteFile(std::string* error = nullptr) const;
    // The text WriteFile would put on disk (CR LF line ends).
    std::string Serialize() const;
    bool LoadStoppedEarly() const { return load_stopped_early_; }
    // The line (from 1) at which the last load stopped; 0 when it did not stop early.
    int StoppedAtLine() const { return stopped_at_line_; }
    const std::string& ReadError() const { return read_error_; }

    int FindSection(std::string_view name) const;
    int FindKey(int section, std::string_view key) const;
    int SectionCount() const { return static_cast<int>(sections_.size()); }
    const std::string& SectionName(int section) const { return sections_[section].name; }
    int KeyCount(int section) const { return static_cast<int>(sections_[section].keys.size()); }
    const std::string& KeyName(int section, int key) const { return sections_[section].keys[key]; }

    std::string GetValue(std::string_view section, std::string_view key,
                         std::string_view def = {}) const;
    std::string GetValue(int section, std::string_view key, std::string_view def = {}) const;
    int32_t GetValueI(std::string_view section, std::string_view key, int32_t def = 0) const;
    int32_t GetValueI(int section, std::string_view key, int32_t def = 0) const;

    bool SetValue(std::string_view section, std::string_view key, std::string_view value,
                  bool create = true);
    bool SetValueI(std::string_view section, std::string_view key, int32_t value);
    int AddSection(std::string_view name);
    void AddHeaderComment(std::string_view text) { header_comments_.emplace_back(text); }
    bool AddSectionComment(std::string_view section, std::string_view text);
    void Clear();

    // Integer conversion of a stored value: automatic base ("0x" hexadecimal, leading "0"
    // octal), stops at the first character that does not fit, "-1" is all bits set.
    static int32_t ParseInteger(std::string_view text);

  private:
    struct Section {
        std::string name;
        std::vector<std::string> keys;
        std::vector<std::string> values;
        std::vector<std::string> comments;
    };
    bool Parse(std::string_view text);

    std::string path_;
    std::vector<Section> sections_;
    std::vector<std::string> header_comments_;
    bool load_stopped_early_ = false;
    int stopped_at_line_ = 0;
    std::string read_error_;
};

}  // namespace orbisk
