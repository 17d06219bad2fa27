#pragma once
// The hint texts of the settings window, lines joined by CR LF.

#include <QString>

extern const QString HintInputLevel;
extern const QString HintDominantNotesCut;
extern const QString HintHighNotesCut;
// Shown when the tuning list comes to a tuning the pedal has no table for.
extern const QString TuningNotImplementedNotice;
