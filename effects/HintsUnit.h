#pragma once
// The hint texts of the settings window, lines joined by CR LF.

#include <QString>

extern const QString HintInputLevel;
extern const QString HintDominantNotesCut;
extern const QString HintHighNotesCut;
