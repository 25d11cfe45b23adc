#include "platform/linux/i2c_dev_adapter.h"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace orbisk {

namespace {

// The kernel takes at most this many messages in one I2C_RDWR request.
constexpr size_t kMaxMessages = I2C_RDWR_IOCTL_MAX_MSGS;

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::string I2cDevNodeFor(const std::string& name) {
    if (AllDigits(name)) return "/dev/i2c-" + name;
    if (name.rfind("i2c-", 0) == 0 && AllDigits(name.substr(4))) return "/dev/" + name;
    if (name.rfind("/dev/i2c-", 0) == 0 && AllDigits(name.substr(9))) return name;
    return {};
}

std::unique_ptr<I2cAdapter> I2cDevAdapter::Open(const std::string& name, std::string* error) {
    const std::string node = I2cDevNodeFor(name);
    if (node.empty()) {
        *error = "\"" + name + "\" names no I2C adapter (expected /dev/i2c-N, i2c-N or N)";
        return nullptr;
    }
    const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        *error = node + ": " + std::strerror(errno);
        return nullptr;
    }
    unsigned long functions = 0;
    if (::ioctl(fd, I2C_FUNCS, &functions) < 0 || !(functions & I2C_FUNC_I2C)) {
        *error = node + ": the adapter cannot do combined I2C transfers";
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<I2cAdapter>(new I2cDevAdapter(fd));
}

I2cDevAdapter::~I2cDevAdapter() {
    ::close(fd_);
}

HResult I2cDevAdapter::Transfer(std::span<I2cMessage> messages) {
    if (messages.empty() || messages.size() > kMaxMessages) return kInvalidArg;
    std::vector<i2c_msg> raw(messages.size());
    for (size_t i = 0; i < messages.size(); ++i) {
        const I2cMessage& m = messages[i];
        if (m.address > 0x7F || (m.length != 0 && m.data == nullptr)) return kInvalidArg;
        raw[i].addr = m.address;
        raw[i].flags = m.read ? I2C_M_RD : 0;
        raw[i].len = m.length;
        raw[i].buf = m.data;
    }
    i2c_rdwr_ioctl_data request{raw.data(), static_cast<__u32>(raw.size())};
    const int done = ::ioctl(fd_, I2C_RDWR, &request);
    if (done < 0) return ResultFromErrno(errno);
    if (static_cast<size_t>(done) != messages.size()) return ResultFromErrno(EIO);
    return kOk;
}

}  // namespace orbisk
