#pragma once
#include <cstdint>
#include <string>

namespace orbisk {

// What an update was about to overwrite in the camera on one port, kept in the program folder
// from before the camera leaves its code until the update has passed. A camera found in its
// boot ROM on that port is brought back with the image and the serial number it names.
struct RecoveryRecord {
    // Where the serial number came from.
    enum class SerialSource { kNone, kManufacturerString };

    std::string port;  // port chain, "1-1.4"
    uint16_t vid = 0;  // the camera's identity while it ran its code
    uint16_t pid = 0;
    uint16_t rev = 0;
    uint16_t chip_identity = 0;  // identity bytes 0xFE21 (low) and 0xFE22 (high), as read
    std::string serial;          // empty with kNone
    SerialSource serial_source = SerialSource::kNone;
    std::string version;      // firmware version text of the code that ran
    int32_t memory_type = 0;  // project type: 0 serial flash ... 6 OTP
    int32_t chip_model = 0;   // "ChipInfo" of the chip profile
    std::string image;        // path of the image file, or "built-in N"
    std::string image_sha256;
    std::string time;  // local time of writing, "YYYY-MM-DD HH:MM:SS"

    bool operator==(const RecoveryRecord&) const = default;
};

inline constexpr const char* kRecoveryFolder = "Recovery";

// "<program folder>/Recovery/<port>.ini".
std::string RecoveryRecordPath(const std::string& program_folder, const std::string& port);

// The file's text. The last line carries a CRC-32 of the others, so that a file cut short or
// changed by hand is never taken for a record.
std::string FormatRecoveryRecord(const RecoveryRecord& record);

enum class RecordRead { kValid, kMissing, kDamaged };
// Reads and checks a record: every key once, every value within its bounds, the check line
// right, the port the one the file is named for. kDamaged with the reason in `problem`.
RecordRead ParseRecoveryRecord(const std::string& text, const std::string& expected_port,
                               RecoveryRecord* record, std::string* problem);
RecordRead ReadRecoveryRecord(const std::string& path, const std::string& expected_port,
                              RecoveryRecord* record, std::string* problem);

// Creates the Recovery folder when needed and replaces the record as a whole (temporary file,
// flushed, renamed). False with the reason when it cannot.
bool WriteRecoveryRecord(const std::string& path, const RecoveryRecord& record, std::string* error);
bool RemoveRecoveryRecord(const std::string& path, std::string* error);

}  // namespace orbisk
