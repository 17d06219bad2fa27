// Pedal backup files: read as Restore Pedal reads them, and written again.
#include "fuzz/FuzzSupport.h"
#include "library/PedalBackup.h"

namespace {

// Every setting of a backup read is one the pedal and the windows can take.
bool InRange(const PedalBackup& backup) {
    if (backup.footswitchCode > 3 || backup.tuning > 4) return false;
    for (int c = 0; c < AssignableControlCount; ++c) {
        const int entry = backup.assignments[static_cast<std::size_t>(c)];
        if (entry < 0 || entry >= kAssignmentEntryCounts[static_cast<std::size_t>(c)]) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::StartPlatform();
    const BackupReading reading = BackupFromFile(fuzz::Bytes(data, size));
    // Either a backup or the reason there is none, never both or neither.
    FUZZ_CHECK(reading.backup.has_value() == reading.problem.isEmpty());
    if (!reading.backup) return 0;
    FUZZ_CHECK(InRange(*reading.backup));
    // What Back Up Pedal would write of it reads back the same, well inside
    // the limit Restore Pedal reads up to.
    const QByteArray again = BackupFileBytes(*reading.backup);
    FUZZ_CHECK(again.size() < kMaxBackupFileBytes);
    const BackupReading second = BackupFromFile(again);
    FUZZ_CHECK(second.backup == reading.backup);
    return 0;
}
