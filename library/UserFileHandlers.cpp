// The main window's File menu commands for user files: presets and impulse
// responses.
#include "library/UserFileHandlers.h"

#include <QFileInfo>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "device/PedalLink.h"
#include "effects/EditHistory.h"
#include "effects/ParameterModel.h"
#include "effects/PedalModel.h"
#include "effects/TformFXsettings.h"
#include "library/Catalogue.h"
#include "library/ImpulseResponse.h"
#include "library/PresetFile.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"

void LoadPresetFile(const QString& path) {
    PresetReading reading;
    try {
        reading = ReadPresetFile(path);
    } catch (const platform::EditorError& error) {
        // The console shows an empty line, as it always has for a failed load.
        ConsolePrint(QString());
        platform::ShowMessage(QStringLiteral("Error loading file: ") + error.message());
        return;
    }
    ConsolePrint(reading.text);
    if (!reading.values) {
        platform::ShowMessage(
            QStringLiteral("\"%1\" is not a preset: a preset holds thirteen values of eight hex "
                           "digits, one a line. Nothing was changed.")
                .arg(QFileInfo(path).fileName()));
        return;
    }

    // A parameter a control button holds is the button's: the preset leaves it.
    std::vector<std::pair<int, std::uint32_t>> changes;
    QStringList skipped, pedalsOwn;
    for (std::size_t k = 0; k < PresetFieldCount; ++k) {
        const int slot = static_cast<int>(k);
        const std::uint32_t value = (*reading.values)[k];
        const ParameterRef parameter = ParameterAt(slot);
        if (parameter.assignable() && parameter.assignable()->is_assigned) {
            if (value != parameter.value()) skipped << parameter.name();
            continue;
        }
        // The pedal takes no value for it from the editor; the knob keeps
        // showing the pedal's own.
        if (!ParameterHasAddress(slot)) {
            if (value != parameter.value()) pedalsOwn << parameter.name();
            continue;
        }
        if (value != parameter.value()) changes.emplace_back(slot, value);
    }
    const QString name = QFileInfo(path).completeBaseName();
    if (!EditHistory::Instance().EditAll(QStringLiteral("Load Preset %1").arg(name), changes)) {
        platform::ShowMessage(
            QStringLiteral("The preset \"%1\" was not loaded completely: the pedal stopped "
                           "taking its values. The settings window shows what it was sent.")
                .arg(name));
        return;
    }

    QString message = QStringLiteral("File loaded successfully: ") + path;
    if (!skipped.isEmpty())
        message += QStringLiteral("\nNot changed, as a control button holds them: ") +
                   skipped.join(QStringLiteral(", "));
    if (!pedalsOwn.isEmpty())
        message += QStringLiteral("\nNot changed, as the pedal sets them itself: ") +
                   pedalsOwn.join(QStringLiteral(", "));
    platform::ShowMessage(message);
}

void UpdateUserFileCommands() {
    if (!formMain) return;
    const bool connected = PedalTakesSettings();
    const bool holds = Model().HoldsValues();
    formMain->menuSavePreset->setEnabled(holds);
    formMain->menuLoadPreset->setEnabled(connected);
    formMain->menuBackUpPedal->setEnabled(holds && Model().identity().has_value());
    formMain->menuRestorePedal->setEnabled(connected);
}

void FollowModelForUserFiles(TformMain& form) {
    PedalModel& model = Model();
    QObject::connect(&model, &PedalModel::valueChanged, &form, [] { UpdateUserFileCommands(); });
    QObject::connect(&model, &PedalModel::identityChanged, &form, [] { UpdateUserFileCommands(); });
}

void TformMain::menuSavePresetClick() {
    PresetValues values{};
    for (std::size_t slot = 0; slot < values.size(); ++slot)
        values[slot] = Model().Value(static_cast<int>(slot));
    SavePresetWithDialog(PresetText(values));
    if (formFXsettings) formFXsettings->RefreshPresetList();
}

void TformMain::menuLoadPresetClick() {
    const auto path = AskForPresetToOpen();
    if (!path) {
        ConsolePrint(QString());
        return;
    }
    LoadPresetFile(*path);
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
