#include <cstdio>
#include <string>
#include <vector>

#include "app/orbisk_app.h"
#include "app/usb_backend.h"

int main(int argc, char** argv) {
    auto clock = orbisk::MakeProcessClock();
    orbisk::COrbiskApp app(*clock);
    std::vector<std::string> args(argv + 1, argv + argc);
    // The dialog comes with the Qt front end; this build has only the command line.
    return app.Run(args, [](orbisk::COrbiskApp& self) {
        std::fputs("orbisk: this build has no update dialog; see orbisk --help\n", stderr);
        self.process().status.SetCode(41500);
    });
}
