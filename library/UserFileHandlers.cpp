// The main window's File menu commands for user files: presets and impulse
// responses.
#include "app/TformMain.h"
#include "effects/ParameterModel.h"
#include "library/Catalogue.h"
#include "library/ImpulseResponse.h"
#include "library/PresetFile.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"

void TformMain::menuSavePresetClick() {
    PresetValues values{};
    for (std::size_t slot = 0; slot < values.size(); ++slot)
        values[slot] = ParameterAt(static_cast<int>(slot)).value();
    SavePresetWithDialog(PresetText(values));
}

// Loading only shows the preset: its values go to the console, nothing else changes.
void TformMain::menuLoadPresetClick() {
    ConsolePrint(LoadPresetWithDialog());
}

void TformMain::menuLoadIRClick() {
    platform::FileDialogOptions options;
    options.filter = QStringLiteral("Wave Files (*.wav)|*.wav");
    const auto path = platform::dialogs().OpenFileName(options);
    if (!path) return;

    const IrAlgorithm* algorithm = FindIrAlgorithm(SelectedAlgorithmName);
    const auto reading = ReadImpulseResponseFile(*path, algorithm);
    if (!reading || SelectedAlgorithmName.isEmpty()) return;

    LoadResourceLines(ResourceNameFor(SelectedAlgorithmName));
    const auto image = SpliceImpulseResponse(ResourceLines.value(0), algorithm, reading->irText);
    if (!image) {
        platform::ShowMessage(
            QStringLiteral("The image of \"%1\" is too short to hold an impulse response.")
                .arg(SelectedAlgorithmName));
        return;
    }
    IrImageText = *image;
    ConsolePrint(IrImageText);
    platform::ShowMessage(IrSummary(*reading));
}
