#pragma once
#include <string>
#include <vector>

namespace orbisk::image_tool {

// Runs one orbisk-image command; returns the exit code (0 done, 1 file refused, 2 usage).
int Run(const std::vector<std::string>& args);

}  // namespace orbisk::image_tool
