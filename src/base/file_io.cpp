#include "base/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orbisk {
namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string DescribeError(const std::string& path, int error_number) {
    return path + ": " + std::strerror(error_number);
}

FileRead ReadWholeFile(const std::string& path, std::string* bytes, std::string* error,
                       size_t max_bytes) {
    bytes->clear();
    // Non-blocking: opening a FIFO without a writer would otherwise wait for one for good. The
    // type is checked on what was opened, so a name swapped in between cannot slip through.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return FileRead::kMissing;
        *error = DescribeError(path, errno);
        return FileRead::kFailed;
    }
    const auto fail = [&](const std::string& reason) {
        ::close(fd);
        bytes->clear();
        *error = path + ": " + reason;
        return FileRead::kFailed;
    };
    struct stat info {};
    if (::fstat(fd, &info) != 0) return fail(std::strerror(errno));
    if (S_ISDIR(info.st_mode)) return fail(std::strerror(EISDIR));
    if (!S_ISREG(info.st_mode)) return fail("not a regular file");
    if (static_cast<uint64_t>(info.st_size) > max_bytes)
        return fail(std::to_string(info.st_size) + " bytes, more than " +
                    std::to_string(max_bytes) + " bytes");
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(std::strerror(errno));
        if (n == 0) break;
        // A file that grows while it is read is held to the same bound.
        if (bytes->size() + static_cast<size_t>(n) > max_bytes)
            return fail("more than " + std::to_string(max_bytes) + " bytes");
        bytes->append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return FileRead::kOk;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = DescribeError(temporary, errno);
        return false;
    }
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    int reason = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        reason = errno;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        reason = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        *error = DescribeError(path, reason);
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

bool EnsureFolder(const std::string& path, std::string* error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return true;
        *error = DescribeError(path, ENOTDIR);
        return false;
    }
    if (::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) return true;
    *error = DescribeError(path, errno);
    return false;
}

bool RemoveFile(const std::string& path, std::string* error) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    *error = DescribeError(path, errno);
    return false;
}

}  // namespace orbisk
