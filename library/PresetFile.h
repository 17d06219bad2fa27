#pragma once
// Preset files: the thirteen saved parameter values as 8-digit hex fields,
// UTF-8 with a byte-order mark, one CR between fields and none at the end
// (always 119 bytes). Loading shows the file's lines; the File menu's handler
// then applies the values.

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

// "Preset 1", "Preset 2", ...: the first name no file in PresetFolder has.
QString ProposedPresetName();
// The file names of the presets in PresetFolder (".txt" in any letter case),
// sorted by their names (without the extension) as a person would sort them.
QStringList PresetFileNames();
// A preset's name as the list shows it: its file name without the extension.
QString PresetNameOf(const QString& fileName);

// Asks where to save (creating PresetFolder first, proposing a new name) and
// writes the text there in one step, so a failed write leaves an existing
// file as it was. Reports success or the failure in a message box.
void SavePresetWithDialog(const QString& text);
// Asks for a preset file (creating PresetFolder first); nothing on a cancel.
std::optional<QString> AskForPresetToOpen();

// A preset file as Load Preset reads it.
struct PresetReading {
    QString text;                        // its lines, each followed by CR LF
    std::optional<PresetValues> values;  // nothing when the file is not a preset
};
// Reads the file; a failed read throws EditorError, and a file larger than
// kMaxPresetFileBytes throws FileTooLarge before it is read.
PresetReading ReadPresetFile(const QString& path);
