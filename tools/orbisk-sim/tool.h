#pragma once
#include <string>

namespace orbisk::sim::tool {

// Prints "orbisk-sim: message" on stderr; exit code 1 (refused).
int Fail(const std::string& message);
// The message and the usage of `command` (every command when empty) on stderr; exit code 2.
int Usage(const std::string& message, const std::string& command = {});

// orbisk-sim unplug DIR, orbisk-sim plug DIR.
int Unplug(const std::string& dir);
int Plug(const std::string& dir);
// orbisk-sim serve DIR --listen ADDRESS [options] (the arguments from argv[3] on).
int Serve(const std::string& dir, int argc, char** argv);

}  // namespace orbisk::sim::tool
