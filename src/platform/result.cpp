#include "platform/result.h"

#include <cerrno>

namespace orbisk {

int OsErrorFromErrno(int err) {
    switch (err) {
        case ENODEV:
        case ENXIO:
        case ESHUTDOWN:
            return kErrorDeviceNotConnected;
        default:
            return err;
    }
}

}  // namespace orbisk
