// The recovery record reader over any text (a file a user may have cut short or edited): it
// never reads past the text, and a record it takes is one it would write the same way again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "device/recovery_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orbisk;
    const std::string text(reinterpret_cast<const char*>(data), size);
    RecoveryRecord record;
    std::string problem;
    const RecordRead read = ParseRecoveryRecord(text, "1-1.4", &record, &problem);
    if (read == RecordRead::kDamaged && problem.empty()) std::abort();
    if (read != RecordRead::kValid) return 0;
    if (record.port != "1-1.4") std::abort();
    // A valid record survives its own round trip unchanged.
    RecoveryRecord again;
    if (ParseRecoveryRecord(FormatRecoveryRecord(record), "1-1.4", &again, &problem) !=
            RecordRead::kValid ||
        !(again == record))
        std::abort();
    return 0;
}
