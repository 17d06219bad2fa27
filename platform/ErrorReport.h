#pragma once
// The editor's single place where a failed command reaches the user. Every
// event handler runs inside Guard(), so no exception ever crosses Qt's event
// loop: the command ends, the user sees the error's text in a message box, and
// the editor carries on.

#include <QString>
#include <exception>
#include <functional>
#include <utility>

namespace platform {

// Shows the text of an error that ended a command.
void ReportError(const QString& text);

// Runs fn; an exception it throws ends it and is reported. Returns false when
// fn ended with an error.
bool Guard(const std::function<void()>& fn);

// Wraps a handler for connect(): Guarded([this] { btnRequestClick(); }).
template <class F>
auto Guarded(F fn) {
    return [fn = std::move(fn)](auto&&...) { Guard(fn); };
}

}  // namespace platform
