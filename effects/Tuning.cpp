// Tuning and the two tracking functions: the settings window's tuning list
// and check boxes, and the main window's Set Tuning button.
#include <QCheckBox>
#include <QComboBox>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "effects/EditHistory.h"
#include "effects/HintsUnit.h"
#include "effects/PedalModel.h"
#include "effects/TformFXsettings.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Time.h"

namespace {

const QString kRefusal =
    QStringLiteral("This parameter is currently assigned and cannot be controlled from here");
const QString kTuningFirst =
    QStringLiteral("Make sure you have uploaded a tuning before setting this parameter");

void TrackingBoxChanged(QCheckBox* box, int slot) {
    if (!paramDominantNoteCut) return;
    const ParameterRef parameter = ParameterAt(slot);
    if (parameter.assignable()->is_assigned) {
        // The pedal's button owns the value: the box goes back to it.
        platform::ShowMessage(kRefusal);
        formFXsettings->ShowModel();
        return;
    }
    if (formFXsettings->cmbGuitarTuning->currentIndex() == NoTuning) {
        platform::ShowMessage(kTuningFirst);
        // Without a tuning the function stays off, and the pedal is told so.
        if (box->isChecked()) {
            EditHistory::Instance().Edit(slot, 0);
            formFXsettings->ShowModel();
            return;
        }
    }
    EditHistory::Instance().Edit(slot, box->isChecked() ? 1 : 0);
}

}  // namespace

void TformFXsettings::cmbGuitarTuningChange() {
    const int index = cmbGuitarTuning->currentIndex();
    if (index < 0) return;
    Model().SetTuning(static_cast<std::uint8_t>(index));
    // The choice stands; the pedal simply has no table for it yet.
    if (CurrentTuning != NoTuning && CurrentTuning != 1)
        platform::ShowMessage(TuningNotImplementedNotice);
}

void TformFXsettings::chkDominantNoteCutChange() {
    TrackingBoxChanged(chkDominantNoteCut, SlotDominantNoteCut);
}

void TformFXsettings::chkHighNoteCutChange() {
    TrackingBoxChanged(chkHighNoteCut, SlotHighNotesCut);
}

void TformMain::btnSetTuningClick() {
    // Refused before the question: a Yes must not end in nothing sent.
    if (PedalLink::Instance().RefuseIfBusy()) return;
    const PedalMessage message = msg::Tuning(CurrentTuning);
    for (const QString& line : message.log) ConsolePrint(line);
    if (platform::Ask(QStringLiteral("Set new tuning?")) == platform::Answer::No) return;
    if (!PedalLink::Instance().Send(message, true)) return;
    platform::SleepMs(100);
    lblStatus->setText(QStringLiteral("Tuning sent to the pedal"));
}
