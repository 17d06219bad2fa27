#include "platform/Resources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include "platform/Errors.h"

namespace platform {
namespace {

const QString kRoot = QStringLiteral(":/quendle");

// Registered resources, keyed by lower-case name.
QMap<QString, QPair<QString, QByteArray>>& Registered() {
    static QMap<QString, QPair<QString, QByteArray>> map;
    return map;
}

std::optional<QString> BuiltInPath(const QString& name) {
    if (name.isEmpty()) return std::nullopt;
    // Names are stored in capitals: most are found at once, without listing
    // the folder.
    const QString stored = kRoot + QLatin1Char('/') + name.toUpper();
    if (QFileInfo(stored).isFile()) return stored;
    const QStringList entries = QDir(kRoot).entryList(QDir::Files);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return kRoot + QLatin1Char('/') + entry;
    return std::nullopt;
}

}  // namespace

std::optional<QByteArray> FindResource(const QString& name) {
    auto registered = Registered().constFind(name.toLower());
    if (registered != Registered().constEnd() && !name.isEmpty()) return registered->second;
    auto path = BuiltInPath(name);
    if (!path) return std::nullopt;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

QByteArray ReadResource(const QString& name) {
    auto bytes = FindResource(name);
    if (!bytes) throw ResourceNotFound(name);
    return *bytes;
}

bool HasResource(const QString& name) {
    return (!name.isEmpty() && Registered().contains(name.toLower())) || BuiltInPath(name);
}

QStringList ResourceNames() {
    QStringList names = QDir(kRoot).entryList(QDir::Files);
    for (const auto& entry : Registered()) names << entry.first;
    return names;
}

void RegisterResource(const QString& name, const QByteArray& bytes) {
    Registered().insert(name.toLower(), {name, bytes});
}

void UnregisterResource(const QString& name) {
    Registered().remove(name.toLower());
}

}  // namespace platform
