// The main window's handlers that belong to the settings window: the click in
// the algorithm list and the hidden "Enable All Parameters" item.
#include "app/TformMain.h"
#include "device/Connection.h"
#include "effects/TformFXsettings.h"
#include "library/Catalogue.h"
#include "platform/Console.h"

void TformMain::effetto_cliccato() {
    const int index = SelectedAlgorithmRow();
    ConsolePrint(QStringLiteral("efx index :") + QString::number(index));
    // A click that left nothing selected (Ctrl+click on the selected item)
    // selects no algorithm; its empty name then finds no image.
    SelectedAlgorithmName = index >= 0 ? lstEffects->item(index)->text() : QString();
    ConsolePrint(QStringLiteral("selected effect name: ") + SelectedAlgorithmName);
    if (!SelectedAlgorithmName.isEmpty()) btnGetFXInfo->setEnabled(true);
    formFXsettings->ShowForSelectedAlgorithm();
    formFXsettings->SetSettingsEnabled(PedalTakesSettings());
}

void TformMain::OnClickEnableAllParameters() {
    AllParametersEnabled = !AllParametersEnabled;
    menuEnableAllParameters->setChecked(AllParametersEnabled);
    for (QWidget* dial : std::initializer_list<QWidget*>{
             formFXsettings->dialDry, formFXsettings->dialSubMix, formFXsettings->dialMinus1Oct,
             formFXsettings->dialMinus2Oct})
        dial->setEnabled(AllParametersEnabled);
}
