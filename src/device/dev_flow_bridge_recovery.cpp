// A camera behind a MIPI bridge that an update left with its bridge in the boot ROM: the record
// of that update, and beside it the data of the bridge's flash that "MIPI Reserve" keeps, so
// that the next update restores them rather than what the half-written flash holds now.
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "base/logger.h"
#include "base/process.h"
#include "camera/cam_lib.h"
#include "device/dev_flow.h"

namespace orbisk {

namespace {

constexpr int32_t kBridgeMemoryType = 5;

// "<record>.reserved": the reserved data, then their CRC-32 (little-endian), so that a file cut
// short is never taken for them.
std::string ReservedPath(const std::string& record_path) {
    return record_path + ".reserved";
}

uint32_t Crc(const std::vector<uint8_t>& data) {
    return static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
}

}  // namespace

void CDevFlow::CheckBridgeRecovery() {
    BridgeRecovery& state = texts_.bridge_recovery;
    state = BridgeRecovery{};
    if (conn_.camera_handle == 0) return;
    const std::string port = PortChainText(conn_.camera_handle);
    state.record_path = RecoveryRecordPath(process_.program_folder, port);
    state.in_rom = camlib_.CamLib_Bridge_GetMode(conn_.camera_handle, 0) == 1;
    if (!state.in_rom) return;
    RecoveryRecord record;
    std::string problem;
    state.record =
        ReadRecoveryRecord(state.record_path, port, &record, &problem) == RecordRead::kValid &&
        record.memory_type == kBridgeMemoryType;
    process_.logger.DebugPrint("MIPI bridge in its boot ROM, %s\n",
                               state.record ? "with a recovery record" : "without a record");
}

bool CDevFlow::ReservedDataFromRecord(std::vector<uint8_t>* data) {
    std::ifstream in(ReservedPath(texts_.bridge_recovery.record_path), std::ios::binary);
    if (!in) return false;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (in.bad() || bytes.size() < 4) return false;
    const size_t n = bytes.size() - 4;
    const uint32_t stored = uint32_t{bytes[n]} | uint32_t{bytes[n + 1]} << 8 |
                            uint32_t{bytes[n + 2]} << 16 | uint32_t{bytes[n + 3]} << 24;
    bytes.resize(n);
    if (Crc(bytes) != stored) return false;
    *data = std::move(bytes);
    return true;
}

bool CDevFlow::RecordBridgeBeforeUpdate(std::span<const uint8_t> image, LogScope& scope,
                                        uint32_t& code) {
    if (texts_.bridge_recovery.record) return true;
    if (!RecordBeforeUpdate(image, scope, code)) return false;
    const std::string path = ReservedPath(
        RecoveryRecordPath(process_.program_folder, PortChainText(conn_.camera_handle)));
    std::remove(path.c_str());
    if (mipi_reserved_.empty()) return true;
    std::vector<uint8_t> bytes = mipi_reserved_;
    const uint32_t crc = Crc(bytes);
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    const std::string temporary = path + ".tmp";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        scope.Section("Write Recovery Record Fail\n");
        code = kStatusRecoveryRecordFail;
        return false;
    }
    return true;
}

void CDevFlow::ForgetBridgeRecovery(LogScope& scope) {
    ForgetRecovery(scope);
    const std::string path = ReservedPath(
        RecoveryRecordPath(process_.program_folder, PortChainText(conn_.camera_handle)));
    std::remove(path.c_str());
    texts_.bridge_recovery = BridgeRecovery{};
}

}  // namespace orbisk
