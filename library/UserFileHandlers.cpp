// The main window's File menu commands for user files: presets and impulse
// responses.
#include "app/TformMain.h"
#include "library/PresetFile.h"
#include "platform/Console.h"

// Loading only shows the preset: its values go to the console, nothing else changes.
void TformMain::menuLoadPresetClick() {
    ConsolePrint(LoadPresetWithDialog());
}
