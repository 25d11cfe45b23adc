#include <string>
#include <vector>

#include "image_tool.h"

int main(int argc, char** argv) {
    return orbisk::image_tool::Run(std::vector<std::string>(argv + 1, argv + argc));
}
