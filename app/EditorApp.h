#pragma once
// Program start: the driver backend chosen on the command line, the six
// windows created in order, and the event loop.

#include <QStringList>
#include <functional>

struct EditorOptions {
    bool simulatedPedal = false;  // --simulated-pedal
    QStringList ports;            // --port PATH (repeatable)
    bool quitWhenIdle = false;    // --quit-when-idle (the start-up bench)
};

// Reads the editor's options; unknown arguments are left to Qt.
EditorOptions ParseEditorOptions(const QStringList& arguments);
// Installs the driver backend the options ask for.
void InstallDriverFor(const EditorOptions& options);
// Creates the six windows in their order, running each one's creation
// handler; only the main window is shown when show is true.
void CreateWindows(bool show = true);
// Destroys the windows again (tests; the editor keeps them until exit).
void DestroyWindows();
// The editor's icon for all its windows.
void SetWindowIcon();
// SIGTERM and SIGINT close the main window as its close box does, so the
// editor ends through its usual quit: pedal waits cancelled, windows
// destroyed, temporary files removed. A second signal while that runs ends
// the program at once.
void QuitOnTerminationSignals();
// The windows' part of a run, inside an application that exists: the driver,
// the windows, the event loop until the editor quits, the windows' end.
// `started` (tests) runs once the main window is shown, before the loop.
int RunWindows(const EditorOptions& options, const std::function<void()>& started = {});
int RunEditor(int argc, char** argv);
