#include <string>
#include <vector>

#include "app/orbisk_app.h"
#include "base/clock.h"

int main(int argc, char** argv) {
    orbisk::SystemClock clock;
    orbisk::COrbiskApp app(clock);
    std::vector<std::string> args(argv + 1, argv + argc);
    return app.Run(args);
}
