#pragma once
#include <cstdint>

namespace orbisk {

// Result convention of every device operation: 0 success, 1 device lock not taken, negative
// values (as 32-bit HRESULT-style codes) for failures.
using HResult = int32_t;

inline constexpr HResult kOk = 0;
inline constexpr HResult kLockFailed = 1;
inline constexpr HResult kNotImpl = static_cast<HResult>(0x80004001u);
inline constexpr HResult kInvalidArg = static_cast<HResult>(0x80070057u);
inline constexpr HResult kFail = static_cast<HResult>(0x80004005u);
inline constexpr HResult kDeviceGone = static_cast<HResult>(0x8007048Fu);
// The operating-system code of "device not connected", as the result carries it.
inline constexpr int kErrorDeviceNotConnected = 1167;

// Maps an operating-system error to a result: e > 0 gives 0x8007xxxx, e < 0 is returned
// unchanged, 0 (a failure without a reason) gives E_FAIL.
inline HResult ResultFromOsError(int error) {
    if (error > 0)
        return static_cast<HResult>(0x80070000u | (static_cast<uint32_t>(error) & 0xFFFF));
    if (error < 0) return error;
    return kFail;
}

// Linux errno to the operating-system code the results carry: a vanished device (ENODEV,
// ENXIO, ESHUTDOWN) becomes "device not connected", everything else keeps its number.
int OsErrorFromErrno(int err);
inline HResult ResultFromErrno(int err) {
    return ResultFromOsError(OsErrorFromErrno(err));
}

}  // namespace orbisk
