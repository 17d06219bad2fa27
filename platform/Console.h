#pragma once
// The debug console's log as the rest of the editor sees it. The console
// window installs itself as the sink when it is created; lines written before
// that are kept and handed over then.

#include <QString>
#include <functional>

namespace platform {

enum class Scroll { ToEnd, None };

using ConsoleSink = std::function<void(const QString& line, Scroll scroll)>;
void SetConsoleSink(ConsoleSink sink);

}  // namespace platform

// Appends one line to the console's log and, while automatic scrolling is on,
// brings the end of the log into view.
void ConsolePrint(const QString& text);
// Appends one line without scrolling.
void ConsoleAppend(const QString& text);
