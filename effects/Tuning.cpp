// Tuning and the two tracking functions: the settings window's tuning list
// and check boxes, and the main window's Set Tuning button.
#include <QCheckBox>
#include <QComboBox>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "device/D2XXUnit.h"
#include "effects/TformFXsettings.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Time.h"

namespace {

const QString kRefusal =
    QStringLiteral("This parameter is currently assigned and cannot be controlled from here");
const QString kTuningFirst =
    QStringLiteral("Make sure you have uploaded a tuning before setting this parameter");
const QString kTuningNotImplemented = QStringLiteral(
    "This tuning has not been implemented yet :( But feel free to get in touch to speed up!");

// Set while a tracking box is unticked because no tuning is chosen: the
// handler run by that untick sends the 0 without showing the notice again.
bool g_untickingWithoutTuning = false;

void TrackingBoxChanged(QCheckBox* box, assignable_parameter* parameter) {
    if (!parameter) return;
    if (parameter->is_assigned && !ReadBackActive) {
        // The box keeps what the user gave it; the pedal's button owns the value.
        platform::ShowMessage(kRefusal);
        return;
    }
    if (formFXsettings->cmbGuitarTuning->currentIndex() == NoTuning && !g_untickingWithoutTuning) {
        platform::ShowMessage(kTuningFirst);
        if (box->isChecked()) {
            // The untick runs this handler again, which sends the 0; this run
            // has nothing left to do.
            const ScopedFlag unticking(g_untickingWithoutTuning);
            box->setChecked(false);
            return;
        }
    }
    parameter->value = box->isChecked() ? 1 : 0;
    // A placeholder address (no address table read yet) is never written to.
    if (ParameterAddressesRead())
        WriteDspParameter(QStringLiteral("01"), parameter->address, parameter->value);
}

}  // namespace

void TformFXsettings::cmbGuitarTuningChange() {
    const int index = cmbGuitarTuning->currentIndex();
    if (index < 0) return;
    CurrentTuning = static_cast<std::uint8_t>(index);
    // The choice stands; the pedal simply has no table for it yet.
    if (CurrentTuning != NoTuning && CurrentTuning != 1)
        platform::ShowMessage(kTuningNotImplemented);
}

void TformFXsettings::chkDominantNoteCutChange() {
    TrackingBoxChanged(chkDominantNoteCut, paramDominantNoteCut);
}

void TformFXsettings::chkHighNoteCutChange() {
    TrackingBoxChanged(chkHighNoteCut, paramHighNotesCut);
}

void TformMain::btnSetTuningClick() {
    const QString text = QStringLiteral("09") + Hex2(CurrentTuning);
    ConsolePrint(QStringLiteral("Tuning Message: ") + text);
    if (platform::Ask(QStringLiteral("Set new tuning?")) == platform::Answer::No) return;
    HexTextToOutBuffer(text, 2);
    PurgeFTTransmit();
    WriteFTDevice(2);
    platform::SleepMs(100);
}
