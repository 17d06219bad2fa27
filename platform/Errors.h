#pragma once
// Errors that end the command in progress. They are raised by the platform
// seams (a missing resource, a text that is not a number, a file that cannot be
// written) and by a few checks of our own, and reach the user through the one
// error report around every event handler (platform/ErrorReport.h).

#include <QString>
#include <stdexcept>

namespace platform {

class EditorError : public std::runtime_error {
public:
    explicit EditorError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// A named data resource that the editor does not carry.
class ResourceNotFound : public EditorError {
public:
    explicit ResourceNotFound(const QString& name)
        : EditorError(QStringLiteral("Resource %1 not found").arg(name)), name_(name) {}
    const QString& name() const { return name_; }

private:
    QString name_;
};

// A text that should have been a whole number.
class ConversionError : public EditorError {
public:
    explicit ConversionError(const QString& text)
        : EditorError(QStringLiteral("'%1' is not a valid integer value").arg(text)) {}
};

}  // namespace platform
