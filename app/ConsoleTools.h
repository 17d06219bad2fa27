#pragma once
// The console's service tools: EEPROM erase and read, raw parameter write and
// the note picker.

#include <QLocale>
#include <QStringList>
#include <cstdint>

extern std::uint16_t EepromEndAddress;
// The picked note's distance in semitones from A2 (110 Hz).
extern double NoteSemitoneOffset;

// The 48 note names of the picker, A1 to G#5.
QStringList NoteNames();
// Fills the picker and selects its first note.
void FillNotePicker();
// 110 Hz * 2^(offset / 12).
double NoteFrequency(double semitoneOffset);
// Two decimals with the locale's decimal separator and no grouping ("82.41").
QString FormatFrequency(double hz, const QLocale& locale = QLocale());
// Logs "Note frequency: " and the picked note's frequency.
void ShowNoteFrequency();
