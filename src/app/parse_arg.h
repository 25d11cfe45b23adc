#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/result_records.h"
#include "device/device_state.h"

namespace orbisk {

struct Process;
class CamLib;
class CDevFlow;
class CICTypeIni;
class ConsoleProgress;

// How the update of one camera ended: its verdict, the code its burn row carries, the serial
// number the row names.
struct UpdateOutcome {
    bool pass = false;
    uint32_t code = 0;
    std::string serial;
};

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
    // The device object, the function library and the chip profiles it works with; the
    // command line reports its remembered port and console lines to the device flow's peer.
    void SetDevice(CDevFlow* device, CamLib* camlib, CICTypeIni* profiles);
    // Runs the device factory again after the chip was identified; returns the device object.
    void SetDeviceMaker(std::function<CDevFlow*()> maker) { device_maker_ = std::move(maker); }
    // The progress display to close before the result lines are printed.
    void SetProgress(ConsoleProgress* progress) { progress_ = progress; }
    // One camera among several updated at once: the run's shared records (Result.txt, the burn
    // record, the autostart entry) are left to the caller, who writes them once from the
    // outcomes of all.
    void SetOneOfMany(bool on) { one_of_many_ = on; }
    const UpdateOutcome& outcome() const { return outcome_; }
    // What begins the lines that explain a failure: "orbisk", or "orbisk [1-2]" for one camera
    // among several.
    void SetLabel(std::string label) { label_ = std::move(label); }

    char operation() const { return operation_; }
    // Prints to the console when there is one (text as given, at most 260 bytes).
    void ConsolePrint(const std::string& text);
    void ConsolePrompt();

    // Start-up's load of the program's update image into the device object's front slot.
    bool LoadUpdateImage();

  private:
    // Prepare's open: by the VID/PID list, the MIPI camera, or the chip profiles on three
    // enumeration indices.
    bool OpenCamera();
    // The image for the found camera and the chip profile that fits both; false when the
    // image is not for this camera.
    bool IdentifyAndCheck();
    // A camera found in its boot ROM: what happens to it and why, on stderr.
    void ExplainRomCamera();
    // Which image brings a camera in its boot ROM back, when that is not the carried one.
    void ExplainRecordedImage(const RecoveryState& state);
    // Why an image file was refused for the camera, on stderr; its status code (0: none).
    uint32_t ExplainImageProblem();
    int Excute_Arg_Normal();
    // The failure code of a run whose reports left the status code at 0.
    void KeepFailureCode(uint32_t code);
    // The reason of a failed run on stderr, so an operator sees more than "fail".
    void ExplainFailure();
    void FinishProgress();
    // The outcome of this camera's run, from the status code and the last failure report.
    void KeepOutcome(bool pass);

    Process& process_;
    char operation_ = static_cast<char>(0xFF);
    // "--recover": a camera in its boot ROM without a recovery record may be written.
    bool recover_ = false;
    std::string image_path_;
    int start_index_ = 0;
    int result_mode_ = 0;
    int remove_manufacture_ = 0;
    int remove_write_back_ = 0;
    int burn_record_on_ = 0;
    bool one_of_many_ = false;
    std::string label_ = "orbisk";
    UpdateOutcome outcome_;
    bool console_ = false;
    std::string bus_error_;
    CDevFlow* device_ = nullptr;
    CamLib* camlib_ = nullptr;
    CICTypeIni* profiles_ = nullptr;
    DeviceFlowPeer peer_;
    std::function<CDevFlow*()> device_maker_;
    ConsoleProgress* progress_ = nullptr;
    ResultFile result_file_;
    BurnRecord burn_file_;
};

}  // namespace orbisk
