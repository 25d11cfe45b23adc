#include <string>
#include <vector>

#include "app/orbisk_app.h"
#include "app/usb_backend.h"

int main(int argc, char** argv) {
    auto clock = orbisk::MakeProcessClock();
    orbisk::COrbiskApp app(*clock);
    std::vector<std::string> args(argv + 1, argv + argc);
    return app.Run(args);
}
