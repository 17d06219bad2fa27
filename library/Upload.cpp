#include "library/Upload.h"

#include "device/Communication.h"
#include "platform/Errors.h"

QString AlgorithmImageProblem(const QString& image) {
    if (image.isEmpty()) return QStringLiteral("the image is empty");
    for (qsizetype i = 0; i < image.size(); ++i) {
        if (HexDigitValue(image[i]) < 0)
            return QStringLiteral("character %1 of the image ('%2') is not a hexadecimal digit")
                .arg(i + 1)
                .arg(image[i]);
    }
    if (image.size() % 2 != 0)
        return QStringLiteral(
                   "the image has an odd number of hexadecimal digits (%1), so its "
                   "last byte is incomplete")
            .arg(image.size());
    if (image.size() / 2 > kMaxImageBytes)
        return QStringLiteral("the image has %1 bytes, more than the %2 the pedal link can send")
            .arg(image.size() / 2)
            .arg(kMaxImageBytes);
    return {};
}

QString UploadAnswerText(const QByteArray& received) {
    QString text = QString::fromLatin1(received.left(kUploadAnswerLength));
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) text.chop(1);
    return text;
}

QString RunningAlgorithmName(const QStringList& effectList, const QString& effectNumber) {
    QString first;
    for (const QString& entry : effectList) {
        const qsizetype colon = entry.indexOf(QLatin1Char(':'));
        if (colon < 0) continue;
        const QString name = entry.mid(colon + 1).trimmed();
        if (name.isEmpty()) continue;
        if (!effectNumber.isEmpty() &&
            entry.left(colon).trimmed().compare(effectNumber, Qt::CaseInsensitive) == 0)
            return name;
        if (first.isEmpty()) first = name;
    }
    if (first.isEmpty())
        throw platform::EditorError(QStringLiteral("The effect list names no algorithm"));
    return first;
}
