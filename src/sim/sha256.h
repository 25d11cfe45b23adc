#pragma once
#include "base/sha256.h"

namespace orbisk::sim {

// The camera tools show the memories' digests with the program's own SHA-256.
using orbisk::Sha256Hex;

}  // namespace orbisk::sim
