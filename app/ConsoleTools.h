#pragma once
// The console's service tools: EEPROM erase and read, raw parameter write and
// the note picker.

#include <QStringList>
#include <cstdint>

extern std::uint16_t EepromEndAddress;
extern double NoteSemitoneOffset;

// The 48 note names of the picker, A1 to G#5.
QStringList NoteNames();
// Fills the picker and selects its first note.
void FillNotePicker();
