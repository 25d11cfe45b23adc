#pragma once
#include "platform/result.h"

namespace orbisk {

// The errno that a libusb error code stands for, so libusb results follow the same
// convention as every other system call (a vanished device becomes 0x8007048F).
int ErrnoFromLibusbError(int libusb_error);
inline HResult ResultFromLibusbError(int libusb_error) {
    return ResultFromErrno(ErrnoFromLibusbError(libusb_error));
}

}  // namespace orbisk
