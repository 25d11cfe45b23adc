#include "platform/sysinfo.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace orbisk {

namespace {

// A decimal number at *pos, at most 9 digits so it fits; advances pos past it.
std::optional<uint32_t> Number(std::string_view text, size_t* pos) {
    uint32_t value = 0;
    size_t digits = 0;
    while (*pos < text.size() && text[*pos] >= '0' && text[*pos] <= '9') {
        if (++digits > 9) return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(text[*pos] - '0');
        ++*pos;
    }
    if (digits == 0) return std::nullopt;
    return value;
}

}  // namespace

std::optional<OsVersion> ParseKernelRelease(std::string_view release) {
    size_t pos = 0;
    const auto major = Number(release, &pos);
    if (!major || pos >= release.size() || release[pos] != '.') return std::nullopt;
    ++pos;
    const auto minor = Number(release, &pos);
    if (!minor) return std::nullopt;
    return OsVersion{*major, *minor};
}

CSystemInfo::CSystemInfo(std::unique_ptr<SystemInfoBackend> backend)
    : backend_(std::move(backend)) {}

void CSystemInfo::Initialize() {
    Release();
    if (!backend_) return;
    const auto version = backend_->ReadOsVersion();
    if (!version) return;
    version_ = *version;
    wow64_ = backend_->Is32BitProcessOn64BitSystem().value_or(false);
}

void CSystemInfo::Release() {
    version_ = {};
    wow64_ = false;
}

std::optional<std::string> CSystemInfo::BaseBoardProduct() {
    if (!backend_) return std::nullopt;
    const SmbiosTable table = backend_->ReadSmbiosTable();
    if (table.data.empty()) return backend_->BoardProductWithoutTable();
    const auto board = FindBaseBoard(table.data);
    if (!board) return std::nullopt;
    return board->product;
}

int CSystemInfo::GetBaseBoardProduct(uint32_t* length, char* text, size_t capacity) {
    if (length == nullptr || text == nullptr || capacity == 0) return 0;
    const auto product = BaseBoardProduct();
    if (!product) return 1;
    const size_t n = std::min(
        {product->size(), capacity - 1, static_cast<size_t>(std::numeric_limits<uint32_t>::max())});
    std::memcpy(text, product->data(), n);
    text[n] = '\0';
    *length = static_cast<uint32_t>(n);
    return 1;
}

}  // namespace orbisk
