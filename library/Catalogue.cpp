#include "library/Catalogue.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Resources.h"

QString SelectedAlgorithmName;
QStringList ResourceLines;

QString ResourceNameFor(const QString& displayName) {
    // Resource names cannot hold these characters; the order matters, so the
    // spaces around a plus sign become underscores before the sign is spelt.
    QString name = displayName;
    name.replace(QLatin1Char(' '), QLatin1Char('_'));
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    name.replace(QLatin1Char('+'), QLatin1String("plus"));
    name.replace(QLatin1Char('X'), QLatin1String("mult"));
    return name;
}

QStringList SplitResourceLines(const QString& text) {
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines << line;
            line.clear();
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else {
            line += c;
        }
    }
    // A final line break ends the last line; it does not start an empty one.
    if (!line.isEmpty()) lines << line;
    return lines;
}

void LoadResourceLines(const QString& resourceName) {
    if (!platform::HasResource(resourceName)) throw platform::ResourceNotFound(resourceName);
    const auto bytes = platform::FindResource(resourceName);
    if (!bytes) {
        // The resource is there but could not be read: the caller goes on with
        // the lines it had.
        platform::ShowMessage(QStringLiteral("Error loading resource: ") +
                              QStringLiteral("Resource %1 could not be read").arg(resourceName));
        return;
    }
    ResourceLines = SplitResourceLines(platform::DecodeText(*bytes));
}
