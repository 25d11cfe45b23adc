#include <string>
#include <vector>

#include "app/orbisk_app.h"
#include "base/clock.h"
#include "ui/dialog_runner.h"

int main(int argc, char** argv) {
    orbisk::SystemClock clock;
    orbisk::COrbiskApp app(clock);
    std::vector<std::string> args(argv + 1, argv + argc);
    // Qt is only started when the dialog runs: the command line works without a display.
    return app.Run(args, [&](orbisk::COrbiskApp& a) { orbisk::RunDialog(a, argc, argv); });
}
