// Main-window handlers whose modules have not taken them over yet. Each module
// moves its handlers into its own source file.
#include "app/TformMain.h"

void TformMain::btnUploadClick() {}

void TformMain::UploadCheckTimerTimer() {}

void TformMain::btnSaveParametersClick() {}

void TformMain::btnAssignClick() {}

void TformMain::btnSetFootswitchModeClick() {}

void TformMain::btnSetTuningClick() {}

void TformMain::btnGetFXInfoClick() {}

void TformMain::btnOpenEffectClick() {}

