#include "library/PresetFile.h"

#include <QDir>

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

void SavePresetWithDialog(const QString& text) {
    // A folder that cannot be created ends the command before the dialog opens.
    platform::CreateFolder(PresetFolder());
    const auto path =
        platform::dialogs().SaveFileName(PresetDialogOptions(QStringLiteral("Save Preset File")));
    if (!path) return;
    try {
        platform::WriteFileAtomically(*path, PresetFileBytes(text));
    } catch (const platform::EditorError& error) {
        platform::ShowMessage(QStringLiteral("Error saving file: ") + error.message());
        return;
    }
    platform::ShowMessage(QStringLiteral("File saved successfully: ") + *path);
}

QString LoadPresetWithDialog() {
    platform::CreateFolder(PresetFolder());
    const auto path =
        platform::dialogs().OpenFileName(PresetDialogOptions(QStringLiteral("Open Preset File")));
    if (!path) return {};
    QStringList lines;
    try {
        lines = TextFileLines(platform::ReadWholeFile(*path, kMaxPresetFileBytes));
    } catch (const platform::EditorError& error) {
        platform::ShowMessage(QStringLiteral("Error loading file: ") + error.message());
        return {};
    }
    QString text;
    for (const QString& line : lines) text += line + QStringLiteral("\r\n");
    platform::ShowMessage(QStringLiteral("File loaded successfully: ") + *path);
    return text;
}
