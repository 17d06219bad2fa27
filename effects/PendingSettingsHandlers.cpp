// Settings window handlers whose behaviour belongs to the control assignment
// and tuning code, which has not taken them over yet. That code moves each
// handler into its own source file and deletes it here. They are already
// connected: the lists' currentIndexChanged and the boxes' toggled signals.
#include "effects/TformFXsettings.h"

void TformFXsettings::ControlUNOassignOnChange() {}

void TformFXsettings::ControlDUEassignOnChange() {}

void TformFXsettings::ControlTREassignOnChange() {}

void TformFXsettings::ControlQUATTROAssignOnChange() {}

void TformFXsettings::RemoteAssignOnChange() {}

void TformFXsettings::cmbGuitarTuningChange() {}

void TformFXsettings::chkDominantNoteCutChange() {}

void TformFXsettings::chkHighNoteCutChange() {}
