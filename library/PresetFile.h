#pragma once
// Preset files: the thirteen saved parameter values as 8-digit hex fields,
// UTF-8 with a byte-order mark, one CR between fields and none at the end
// (always 119 bytes). Loading only shows the file's lines; it applies nothing.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

// Parameter slots 0 to 12; the two note-cut parameters are not saved.
constexpr std::size_t PresetFieldCount = 13;
using PresetValues = std::array<std::uint32_t, PresetFieldCount>;

// A preset file is 119 bytes; anything beyond this is refused unread.
constexpr qint64 kMaxPresetFileBytes = 64 * 1024;

// Documents/VORKEL/Quendle MK3/Preset.
QString PresetFolder();

// The fields joined by single CRs, in slot order.
QString PresetText(const PresetValues& values);
// The file's bytes: the byte-order mark and the UTF-8 of the text.
QByteArray PresetFileBytes(const QString& text);
// The lines of a text file of any line ends (CR, LF or CR LF); a mark at the
// start is skipped and a line break at the end makes no empty last line.
QStringList TextFileLines(const QByteArray& bytes);

// The values of a preset file: exactly thirteen lines (any line ends, as
// TextFileLines reads them) of exactly eight hex digits of either case;
// nothing for any other file.
std::optional<PresetValues> PresetValuesFromFile(const QByteArray& bytes);

// Asks where to save (creating PresetFolder first) and writes the text there
// in one step, so a failed write leaves an existing file as it was. Reports
// success or the failure in a message box.
void SavePresetWithDialog(const QString& text);
// Asks for a preset file and returns its lines, each followed by CR LF; empty
// after a cancel or a failed read (the failure is shown in a message box). A
// file larger than kMaxPresetFileBytes is such a failure, found before it is read.
QString LoadPresetWithDialog();
