#include "app/parse_arg.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "base/process.h"

namespace orbisk {

CParseArg::CParseArg(Process& process) : process_(process) {}

int CParseArg::Parse_Arg(const std::vector<std::string>& args) {
    LogScope scope(process_.logger, "CParseArg::Parse_Arg");
    result_mode_ = process_.ConfigInt("SaveResultToFile", 0);
    remove_manufacture_ = process_.ConfigInt("Remove_Manufacture", 0);
    remove_write_back_ = process_.ConfigInt("Remove_PPWriteBack", 0);
    start_index_ = 0;
    // Only the arguments are searched, never the program's own path: a program stored under a
    // folder whose name holds "-s" must not write firmware when asked for something else.
    for (std::string arg : args) {
        std::transform(arg.begin(), arg.end(), arg.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (arg.find("/s") != std::string::npos || arg.find("-s") != std::string::npos) {
            operation_ = 'W';
            return 1;
        }
    }
    ResultFile result;
    if (result.Create(process_.ProgramFile("Result.txt"))) result.Write("fail");
    return 0;
}

void CParseArg::SetupConsole() {
    console_ = true;
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    ConsolePrint("\n");
}

void CParseArg::ConsolePrint(const std::string& text) {
    if (!console_) return;
    std::fwrite(text.data(), 1, std::min<size_t>(text.size(), 260), stdout);
}

void CParseArg::ConsolePrompt() { ConsolePrint(process_.program_folder + ">"); }

int CParseArg::Prepare() {
    if (result_mode_ != 0) result_file_.Create(process_.ProgramFile("Result.txt"));
    // No camera can be opened yet in this build.
    if (process_.status.Code() == 0) process_.status.SetCode(41511);
    if (result_mode_ == 1 || result_mode_ == 2)
        result_file_.Write(result_mode_ == 2 ? "TestResult = fail" : "fail");
    result_file_.Close();
    ConsolePrint("Get IC Info Fail\n");
    ConsolePrompt();
    return 0;
}

int CParseArg::Excute_Arg() { return 0; }

void CParseArg::CloseDevice() {}

}  // namespace orbisk
