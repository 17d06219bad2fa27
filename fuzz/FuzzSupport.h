#pragma once
// What every fuzz target shares: the off-screen application, the platform
// seams answered by their recorders, the editor's windows for the targets
// that go through a menu command, and the check that stops a run when a
// property that must always hold does not.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "platform/Dialogs.h"

namespace fuzz {

// Reports the broken property and aborts, so libFuzzer keeps the input.
[[noreturn]] void Fail(const char* what, const char* file, int line);

// The off-screen application, recording dialogs (cancel, Yes), a counting
// clock, the in-process pedal driver (no device attached) and a temporary
// documents folder. Safe to call on every input.
void StartPlatform();
// StartPlatform, then the editor's windows as the editor creates them. The
// console's log is dropped from then on, so that a long run does not fill it.
void StartEditor();

// The dialog recorder, emptied: the messages of one input only.
platform::RecordingDialogs& FreshDialogs();
// Writes the bytes to a file of that name in a temporary folder; returns its path.
QString WriteFile(const QString& name, const QByteArray& bytes);

inline QByteArray Bytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

}  // namespace fuzz

#define FUZZ_CHECK(condition)                                           \
    do {                                                                \
        if (!(condition)) ::fuzz::Fail(#condition, __FILE__, __LINE__); \
    } while (false)
