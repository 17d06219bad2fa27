#pragma once
// A backup of the whole pedal: everything the settings model holds, as a
// small JSON document (described in the README), so that a pedal can be put
// back exactly as it was. The file is versioned twice: formatVersion says how
// the document is laid out, algorithmVersion which algorithm the values and
// assignments belong to (the addresses differ from one algorithm to the next).

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "effects/ParameterModel.h"

// The layout this editor writes and reads.
constexpr int kBackupFormatVersion = 1;
// What the "format" member says, so a JSON file of another kind is told apart.
inline constexpr char kBackupFormatName[] = "Quendle MK3 pedal backup";
// A backup is well under 2 KiB; anything beyond this is refused unread.
constexpr qint64 kMaxBackupFileBytes = 64 * 1024;
// The number of entries each control's assignment list has (CTRL I ...
// remote footswitch), which bounds the entries a backup may name.
constexpr std::array<int, AssignableControlCount> kAssignmentEntryCounts = {4, 4, 3, 3, 3};

struct PedalBackup {
    std::uint8_t firmwareVersion = 0;
    std::uint16_t algorithmVersion = 0;
    std::uint8_t effectNumber = 0;
    std::uint8_t footswitchCode = 0;  // short-press code * 2 + long-press code
    std::array<int, AssignableControlCount> assignments{};  // list entries, 0: Not Assigned
    std::uint8_t tuning = 0;
    std::array<std::uint32_t, ParameterSlotCount> values{};

    bool operator==(const PedalBackup&) const = default;
};

// The document, indented, ending with a line break.
QByteArray BackupFileBytes(const PedalBackup& backup);

// A backup read from a file, or why the file is not one.
struct BackupReading {
    std::optional<PedalBackup> backup;
    QString problem;  // for the user; empty when backup holds a value
};
// Reads a document as BackupFileBytes writes it. Anything else (not JSON, a
// document of another kind or a newer layout, a member missing, of the wrong
// type or out of range) gives a problem and no backup.
BackupReading BackupFromFile(const QByteArray& bytes);

// "0102": the algorithm version as the console and the catalogue write it.
QString AlgorithmVersionText(std::uint16_t version);
