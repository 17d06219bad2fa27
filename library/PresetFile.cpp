#include "library/PresetFile.h"

#include <QCollator>
#include <QDir>
#include <algorithm>

#include "device/Communication.h"
#include "library/Catalogue.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

platform::FileDialogOptions PresetDialogOptions(const QString& title) {
    platform::FileDialogOptions options;
    options.title = title;
    options.filter = QStringLiteral("Preset files (*.txt)|*.txt");
    options.defaultExtension = QStringLiteral("txt");
    options.initialFolder = PresetFolder();
    return options;
}

}  // namespace

QString PresetFolder() {
    return QDir(platform::ProductFolder()).filePath(QStringLiteral("Preset"));
}

QString PresetText(const PresetValues& values) {
    QStringList fields;
    for (std::uint32_t value : values)
        fields << QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
    return fields.join(QLatin1Char('\r'));
}

QByteArray PresetFileBytes(const QString& text) {
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}

QStringList TextFileLines(const QByteArray& bytes) {
    return SplitResourceLines(platform::DecodeText(bytes));
}

std::optional<PresetValues> PresetValuesFromFile(const QByteArray& bytes) {
    const QStringList lines = TextFileLines(bytes);
    if (lines.size() != static_cast<qsizetype>(PresetFieldCount)) return std::nullopt;
    PresetValues values{};
    for (std::size_t k = 0; k < PresetFieldCount; ++k) {
        const QString& line = lines[static_cast<qsizetype>(k)];
        if (line.size() != 8) return std::nullopt;
        std::uint32_t value = 0;
        for (QChar c : line) {
            const int digit = HexDigitValue(c);
            if (digit < 0) return std::nullopt;
            value = value << 4 | static_cast<std::uint32_t>(digit);
        }
        values[k] = value;
    }
    return values;
}

QString ProposedPresetName() {
    const QDir folder(PresetFolder());
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("Preset %1").arg(n);
        if (!folder.exists(name + QStringLiteral(".txt"))) return name;
    }
}

QString PresetNameOf(const QString& fileName) {
    return fileName.chopped(4);
}

QStringList PresetFileNames() {
    QDir folder(PresetFolder());
    // The filter takes ".TXT" too, so the name alone cannot say which file it is.
    folder.setNameFilters({QStringLiteral("*.txt")});
    folder.setFilter(QDir::Files | QDir::Readable);
    QStringList files = folder.entryList();
    // "Preset 2" before "Preset 10", and case aside.
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(files.begin(), files.end(), [&collator](const QString& a, const QString& b) {
        return collator.compare(PresetNameOf(a), PresetNameOf(b)) < 0;
    });
    return files;
}

void SavePresetWithDialog(const QString& text) {
    // A folder that cannot be created ends the command before the dialog opens.
    platform::CreateFolder(PresetFolder());
    auto options = PresetDialogOptions(QStringLiteral("Save Preset File"));
    options.proposedName = ProposedPresetName() + QStringLiteral(".txt");
    const auto path = platform::dialogs().SaveFileName(options);
    if (!path) return;
    try {
        platform::WriteFileAtomically(*path, PresetFileBytes(text));
    } catch (const platform::EditorError& error) {
        platform::ShowMessage(QStringLiteral("Error saving file: ") + error.message());
        return;
    }
    platform::ShowMessage(QStringLiteral("File saved successfully: ") + *path);
}

std::optional<QString> AskForPresetToOpen() {
    platform::CreateFolder(PresetFolder());
    return platform::dialogs().OpenFileName(
        PresetDialogOptions(QStringLiteral("Open Preset File")));
}

PresetReading ReadPresetFile(const QString& path) {
    const QByteArray bytes = platform::ReadWholeFile(path, kMaxPresetFileBytes);
    PresetReading reading;
    for (const QString& line : TextFileLines(bytes)) reading.text += line + QStringLiteral("\r\n");
    reading.values = PresetValuesFromFile(bytes);
    return reading;
}
