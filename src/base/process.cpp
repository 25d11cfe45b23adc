#include "base/process.h"

#include "base/program_folder.h"

namespace orbisk {

std::string Process::ProgramFile(const std::string& name) const {
    return JoinPath(program_folder, name);
}

}  // namespace orbisk
