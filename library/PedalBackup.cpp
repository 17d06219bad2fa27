#include "library/PedalBackup.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace {

QString HexText(std::uint32_t value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

// A fixed number of hex digits, either case; nothing for anything else.
std::optional<std::uint32_t> HexField(const QJsonValue& value, int digits) {
    if (!value.isString()) return std::nullopt;
    const QString text = value.toString();
    if (text.size() != digits) return std::nullopt;
    std::uint32_t result = 0;
    for (QChar c : text) {
        // ASCII only: other scripts' digits are not hex digits here.
        const char16_t u = c.unicode();
        const int digit = (u >= u'0' && u <= u'9')   ? u - u'0'
                          : (u >= u'A' && u <= u'F') ? u - u'A' + 10
                          : (u >= u'a' && u <= u'f') ? u - u'a' + 10
                                                     : -1;
        if (digit < 0) return std::nullopt;
        result = result << 4 | static_cast<std::uint32_t>(digit);
    }
    return result;
}

// A whole number from 0 to max; JSON numbers are doubles, so 2.5 and 1e300
// are refused here rather than cut.
std::optional<int> SmallNumber(const QJsonValue& value, int max) {
    if (!value.isDouble()) return std::nullopt;
    const double d = value.toDouble();
    if (!(d >= 0 && d <= max) || d != static_cast<double>(static_cast<int>(d))) return std::nullopt;
    return static_cast<int>(d);
}

BackupReading Problem(const QString& text) {
    return {std::nullopt, text};
}

}  // namespace

QString AlgorithmVersionText(std::uint16_t version) {
    return HexText(version, 4);
}

QByteArray BackupFileBytes(const PedalBackup& backup) {
    QJsonArray assignments;
    for (int entry : backup.assignments) assignments.append(entry);
    QJsonArray values;
    for (std::uint32_t value : backup.values) values.append(HexText(value, 8));
    QJsonObject document{
        {QStringLiteral("format"), QLatin1String(kBackupFormatName)},
        {QStringLiteral("formatVersion"), kBackupFormatVersion},
        {QStringLiteral("firmwareVersion"), HexText(backup.firmwareVersion, 2)},
        {QStringLiteral("algorithmVersion"), AlgorithmVersionText(backup.algorithmVersion)},
        {QStringLiteral("effectNumber"), backup.effectNumber},
        {QStringLiteral("footswitch"), backup.footswitchCode},
        {QStringLiteral("assignments"), assignments},
        {QStringLiteral("tuning"), backup.tuning},
        {QStringLiteral("values"), values},
    };
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

BackupReading BackupFromFile(const QByteArray& bytes) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return Problem(QStringLiteral("The file is not a pedal backup: it is not a JSON document "
                                      "(%1).")
                           .arg(error.error != QJsonParseError::NoError
                                    ? error.errorString()
                                    : QStringLiteral("no object at its top")));
    const QJsonObject o = document.object();
    if (o.value(QStringLiteral("format")).toString() != QLatin1String(kBackupFormatName))
        return Problem(QStringLiteral("The file is not a pedal backup of this editor."));
    const auto layout = SmallNumber(o.value(QStringLiteral("formatVersion")), 1 << 20);
    if (!layout || *layout < 1)
        return Problem(QStringLiteral("The backup is damaged: its format version is missing."));
    if (*layout != kBackupFormatVersion)
        return Problem(QStringLiteral("The backup has format version %1; this editor reads "
                                      "version %2. A newer editor made it.")
                           .arg(*layout)
                           .arg(kBackupFormatVersion));

    const auto damaged = [](const char* member) {
        return Problem(QStringLiteral("The backup is damaged: \"%1\" is missing or not valid.")
                           .arg(QLatin1String(member)));
    };
    PedalBackup backup;
    const auto firmware = HexField(o.value(QStringLiteral("firmwareVersion")), 2);
    if (!firmware) return damaged("firmwareVersion");
    backup.firmwareVersion = static_cast<std::uint8_t>(*firmware);
    const auto algorithm = HexField(o.value(QStringLiteral("algorithmVersion")), 4);
    if (!algorithm) return damaged("algorithmVersion");
    backup.algorithmVersion = static_cast<std::uint16_t>(*algorithm);
    const auto effect = SmallNumber(o.value(QStringLiteral("effectNumber")), 255);
    if (!effect) return damaged("effectNumber");
    backup.effectNumber = static_cast<std::uint8_t>(*effect);
    const auto footswitch = SmallNumber(o.value(QStringLiteral("footswitch")), 3);
    if (!footswitch) return damaged("footswitch");
    backup.footswitchCode = static_cast<std::uint8_t>(*footswitch);
    // The five tunings of the settings window's list.
    const auto tuning = SmallNumber(o.value(QStringLiteral("tuning")), 4);
    if (!tuning) return damaged("tuning");
    backup.tuning = static_cast<std::uint8_t>(*tuning);

    const QJsonArray assignments = o.value(QStringLiteral("assignments")).toArray();
    if (assignments.size() != AssignableControlCount) return damaged("assignments");
    for (int c = 0; c < AssignableControlCount; ++c) {
        const auto entry = SmallNumber(assignments[c], kAssignmentEntryCounts[c] - 1);
        if (!entry) return damaged("assignments");
        backup.assignments[static_cast<std::size_t>(c)] = *entry;
    }
    const QJsonArray values = o.value(QStringLiteral("values")).toArray();
    if (values.size() != ParameterSlotCount) return damaged("values");
    for (int s = 0; s < ParameterSlotCount; ++s) {
        const auto value = HexField(values[s], 8);
        if (!value) return damaged("values");
        backup.values[static_cast<std::size_t>(s)] = *value;
    }
    return {backup, {}};
}
