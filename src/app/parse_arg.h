#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/result_records.h"

namespace orbisk {

struct Process;
class ConsoleProgress;

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
    // `orbisk --list [--json]`: the cameras found, without writing to any of them.
    void ListCameras(bool json);

    // Why no camera can be reached (no bus); shown on stderr when a camera is needed.
    void SetBusError(const std::string& error) { bus_error_ = error; }
    // The progress display to close before the result lines are printed.
    void SetProgress(ConsoleProgress* progress) { progress_ = progress; }

    char operation() const { return operation_; }
    // Prints to the console when there is one (text as given, at most 260 bytes).
    void ConsolePrint(const std::string& text);
    void ConsolePrompt();

  private:
    // The steps of prepare: open the camera, load the image meant for it, identify the chip.
    bool OpenCamera();
    // The failure code of a run whose reports left the status code at 0.
    void KeepFailureCode(uint32_t code);
    // The reason of a failed run on stderr, so an operator sees more than "fail".
    void ExplainFailure();
    void FinishProgress();

    Process& process_;
    char operation_ = static_cast<char>(0xFF);
    std::string image_path_;
    int start_index_ = 0;
    int result_mode_ = 0;
    int remove_manufacture_ = 0;
    int remove_write_back_ = 0;
    int burn_record_on_ = 0;
    bool console_ = false;
    std::string bus_error_;
    ConsoleProgress* progress_ = nullptr;
    ResultFile result_file_;
    BurnRecord burn_file_;
};

}  // namespace orbisk
