#pragma once
// Program start: the driver backend chosen on the command line, the six
// windows created in order, and the event loop.

#include <QStringList>

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
int RunEditor(int argc, char** argv);
