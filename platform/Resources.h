#pragma once
// Data resources built into the editor, looked up by name without regard to
// letter case ("octave" finds OCTAVE). Tests may register extra resources.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace platform {

// The resource's bytes, or nothing when no resource has that name.
std::optional<QByteArray> FindResource(const QString& name);
// The resource's bytes; throws ResourceNotFound when there is none.
QByteArray ReadResource(const QString& name);
bool HasResource(const QString& name);
// The names as stored (built-in and registered).
QStringList ResourceNames();

// Adds or replaces a resource for this run (tests and fixtures).
void RegisterResource(const QString& name, const QByteArray& bytes);
void UnregisterResource(const QString& name);

}  // namespace platform
