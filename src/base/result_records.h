#pragma once
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace orbisk {

// Result.txt: created (truncated) when a run starts, one verdict written at its end, closed.
class ResultFile {
  public:
    ResultFile() = default;
    ~ResultFile() { Close(); }
    ResultFile(const ResultFile&) = delete;
    ResultFile& operator=(const ResultFile&) = delete;

    bool Create(const std::string& path);
    bool IsOpen() const { return file_ != nullptr; }
    // Written as given: no line end is added.
    void Write(const std::string& verdict);
    void Close();

  private:
    std::FILE* file_ = nullptr;
};

// The verdicts of the command line and the dialog, by result-file mode.
std::string CommandLineVerdict(int mode, bool pass);
std::string DialogVerdict(int mode, bool pass, uint16_t vid, uint16_t pid, uint16_t rev);

// burn_result.txt: one row per update, appended; the two header lines when it is new.
class BurnRecord {
  public:
    BurnRecord() = default;
    ~BurnRecord() { Close(); }
    BurnRecord(const BurnRecord&) = delete;
    BurnRecord& operator=(const BurnRecord&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return file_ != nullptr; }
    void AppendRow(std::time_t when, const std::string& serial, bool pass, uint32_t err_code);
    void Close();

    static std::string FormatRow(std::time_t when, const std::string& serial, bool pass,
                                 uint32_t err_code);
    static constexpr const char* kHeader1 =
        "Update date       Update Time       Serial number              Result   ErrCode\r\n";
    static constexpr const char* kHeader2 =
        "================  ================  =========================  =======  =======\r\n";

  private:
    std::FILE* file_ = nullptr;
};

}  // namespace orbisk
