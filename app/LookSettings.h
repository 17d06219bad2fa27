#pragma once
// The editor's looks (style sheets carried as data resources Style_0 to
// Style_7, the choice remembered in Documents/VORKEL/style.txt) and the MIDI
// channel menu.

#include <QString>
#include <optional>

class TformMain;

// Makes the style resource "Style_<index>" the style of every window. An index
// with no resource leaves the look in force; returns whether one was applied.
bool ApplyLook(int index);
// The look index remembered in the text, or nothing when the text is not a
// whole number.
std::optional<int> LookIndexFromText(const QString& text);
// Start-up, before the windows are built (so that each widget is styled once,
// when first shown): the look remembered in style.txt; Style_0 when there is
// none or it holds no whole number, and the look in force when it names none.
void ApplyRememberedLook();
// Documents/VORKEL/style.txt.
QString StyleFilePath();
// Start-up: the look menu, marking the look in force, then the MIDI channel
// menu.
void BuildLookAndMidiMenus(TformMain& form);
// "00" for OMNI, otherwise the channel number as two hex digits ("0A" for 10).
QString MidiChannelHex(const QString& channel);
