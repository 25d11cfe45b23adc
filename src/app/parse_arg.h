#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/result_records.h"

namespace orbisk {

struct Process;

// The command line: parse, console set-up, prepare (find and identify the camera), execute.
class CParseArg {
public:
    explicit CParseArg(Process& process);

    // 1 when an operation was recognised ("-s" or "/s" in an argument), else 0 after writing
    // "fail" into Result.txt.
    int Parse_Arg(const std::vector<std::string>& args);
    void SetupConsole();
    int Prepare();
    int Excute_Arg();
    void CloseDevice();

    char operation() const { return operation_; }
    // Prints to the console when there is one (text as given).
    void ConsolePrint(const std::string& text);
    void ConsolePrompt();

private:
    Process& process_;
    char operation_ = static_cast<char>(0xFF);
    std::string image_path_;
    int start_index_ = 0;
    int result_mode_ = 0;
    int remove_manufacture_ = 0;
    int remove_write_back_ = 0;
    bool console_ = false;
    ResultFile result_file_;
};

}  // namespace orbisk
