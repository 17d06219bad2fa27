#pragma once
// The File menu's commands for the player's own files: presets (the menu and
// the settings window's preset list) and the backup of the whole pedal.

#include <QString>

class TformMain;

// Loads a preset file: logs its lines, then puts each changed value into the
// model with its live write, as one step of the edit history. Parameters
// assigned to a control button keep their values; the message after loading
// names them. A file that is not a preset, or larger than 64 KiB, changes
// nothing and says why.
void LoadPresetFile(const QString& path);

// Enables the File menu's commands as the link and the model allow: Save
// Preset once the model holds the pedal's values, Back Up Pedal once it also
// knows which algorithm they belong to, Load Preset and Restore Pedal while
// the pedal is connected.
void UpdateUserFileCommands();
// Keeps those commands current as the model changes (Connect and the link's
// closing update them too).
void FollowModelForUserFiles(TformMain& form);
