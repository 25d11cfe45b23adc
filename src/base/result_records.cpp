#include "base/result_records.h"

#include <sys/stat.h>

namespace orbisk {

bool ResultFile::Create(const std::string& path) {
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    return file_ != nullptr;
}

void ResultFile::Write(const std::string& verdict) {
    if (file_ != nullptr) std::fwrite(verdict.data(), 1, verdict.size(), file_);
}

void ResultFile::Close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

std::string CommandLineVerdict(int mode, bool pass) {
    if (mode == 2) return pass ? "TestResult = pass" : "TestResult = fail";
    return pass ? "pass" : "fail";
}

std::string DialogVerdict(int mode, bool pass, uint16_t vid, uint16_t pid, uint16_t rev) {
    if (mode != 2) return pass ? "pass" : "fail";
    char text[160];
    std::snprintf(text, sizeof text,
                  pass ? "After Download,TestResult = pass, VID is 0x%04x, PID is 0x%04x, Rev is "
                         "0x%04x\r\n"
                       : "TestResult = fail, VID is 0x%04x, PID is 0x%04x, Rev is 0x%04x\r\n",
                  vid, pid, rev);
    return text;
}

bool BurnRecord::Open(const std::string& path) {
    Close();
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    file_ = std::fopen(path.c_str(), exists ? "ab" : "wb");
    if (file_ == nullptr) return false;
    if (!exists) {
        std::fputs(kHeader1, file_);
        std::fputs(kHeader2, file_);
    }
    return true;
}

std::string BurnRecord::FormatRow(std::time_t when, const std::string& serial, bool pass,
                                  uint32_t err_code) {
    std::tm local{};
    localtime_r(&when, &local);
    char time_field[64];
    std::strftime(time_field, sizeof time_field, "%Y-%m-%d,       %H:%M:%S,         ", &local);
    std::string serial_field = serial + ",";
    if (serial_field.size() < 27) serial_field.resize(27, ' ');
    std::string result_field = pass ? "Pass," : "Fail,";
    result_field.resize(9, ' ');
    char code_field[16];
    std::snprintf(code_field, sizeof code_field, "%d:", static_cast<int>(err_code));
    // One CR LF per row (the old text-mode translation doubled the carriage return).
    return std::string(time_field) + serial_field + result_field + code_field + "\r\n";
}

void BurnRecord::AppendRow(std::time_t when, const std::string& serial, bool pass,
                           uint32_t err_code) {
    if (file_ == nullptr) return;
    const std::string row = FormatRow(when, serial, pass, err_code);
    std::fwrite(row.data(), 1, row.size(), file_);
    std::fflush(file_);
}

void BurnRecord::Close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

}  // namespace orbisk
