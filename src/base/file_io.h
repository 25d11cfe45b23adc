#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace orbisk {

// Whole-file reads and writes that report what went wrong instead of throwing or failing
// silently: a folder where a file is expected, missing rights, a full disk.

enum class FileRead { kOk, kMissing, kFailed };

// Reads a regular file whole. kMissing when nothing is there; kFailed (with `error` naming
// the file and the reason) for a folder, a FIFO or device (never waited on), missing rights, a
// read error or, with `max_bytes`, a file longer than that.
FileRead ReadWholeFile(const std::string& path, std::string* bytes, std::string* error,
                       size_t max_bytes = SIZE_MAX);

// Replaces a file: the bytes go to a temporary file in the same folder, are flushed to the
// disk and then renamed over the file, so a failure at any point leaves the old file whole.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error);

// Creates a folder (one level) unless it exists; false with `error` when a file is in the way
// or it cannot be created.
bool EnsureFolder(const std::string& path, std::string* error);

// Removes a file; one that is not there counts as removed.
bool RemoveFile(const std::string& path, std::string* error);

// "path: reason" for the current errno.
std::string DescribeError(const std::string& path, int error_number);

}  // namespace orbisk
