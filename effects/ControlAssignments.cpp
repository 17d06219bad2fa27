// Control assignments and footswitch behaviour: the assignment lists'
// handlers in the settings window, the two messages, and the main window's
// Assign and Set Footswitch Mode buttons.
#include "effects/ControlAssignments.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "device/D2XXUnit.h"
#include "effects/TformFXsettings.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Time.h"

std::array<bool, AssignableControlCount> ControlAssigned{};

namespace {

const QString kNoTuningForTracking =
    QStringLiteral("No tuning selected, Select a tuning before assigning this parameter");

bool IsTrackingParameterItem(const AssignmentListItem* item) {
    return item && (item->text == paramDominantNoteCut->parameter_name ||
                    item->text == paramHighNotesCut->parameter_name);
}

void AssignmentListChanged(TformFXsettings& window, int control) {
    QComboBox* list = window.AssignmentList(control);
    const AssignmentListItem* item = TformFXsettings::SelectedAssignmentItem(list);
    ControlAssigned[static_cast<std::size_t>(control)] =
        item != nullptr && item != NotAssignedItem(control);

    if (control != CtrlIII && control != CtrlIV) return;
    // The read-back sets the list before it sets the tuning; the pedal's
    // pairing of the two is taken as it is.
    if (ReadBackActive) return;
    // The tracking functions work from the tuning; without one they must not
    // go on a button.
    if (IsTrackingParameterItem(item) && CurrentTuning == NoTuning) {
        platform::ShowMessage(kNoTuningForTracking);
        list->setCurrentIndex(0);
    }
}

// The address field of CTRL I ... CTRL IV: the address of the parameter
// among `candidates` whose name the list shows; FFFF when not assigned.
template <std::size_t N>
QString AddressField(int control, const std::array<assignable_parameter*, N>& candidates,
                     bool takesTuning) {
    QComboBox* list = formFXsettings->AssignmentList(control);
    const AssignmentListItem* item = TformFXsettings::SelectedAssignmentItem(list);
    if (item == nullptr || item == NotAssignedItem(control)) return Hex4(NotAssignedCode);
    for (assignable_parameter* parameter : candidates) {
        if (parameter->parameter_name != list->currentText()) continue;
        // The pedal takes CTRL III's tracking function with the tuning it was
        // assigned under; that value also goes out with the next store.
        if (takesTuning && CurrentTuning != NoTuning)
            parameter->value = static_cast<std::uint32_t>(CurrentTuning) * 256;
        return Hex4(parameter->address);
    }
    return Hex4(NotAssignedCode);
}

QString RemoteField() {
    const AssignmentListItem* item =
        TformFXsettings::SelectedAssignmentItem(formFXsettings->cmbAssignRemote);
    if (item == BypassItem()) return Hex4(RemoteBypassCode);
    if (item == PresetItem()) return Hex4(RemotePresetCode);
    return Hex4(NotAssignedCode);
}

}  // namespace

void TformFXsettings::ControlUNOassignOnChange() {
    AssignmentListChanged(*this, CtrlI);
}

void TformFXsettings::ControlDUEassignOnChange() {
    AssignmentListChanged(*this, CtrlII);
}

void TformFXsettings::ControlTREassignOnChange() {
    AssignmentListChanged(*this, CtrlIII);
}

void TformFXsettings::ControlQUATTROAssignOnChange() {
    AssignmentListChanged(*this, CtrlIV);
}

void TformFXsettings::RemoteAssignOnChange() {
    AssignmentListChanged(*this, RemoteFootswitch);
}

QString BuildAssignMessage() {
    QString flags;
    for (bool assigned : ControlAssigned)
        flags += assigned ? QStringLiteral("01") : QStringLiteral("00");

    const std::array<assignable_parameter*, 3> buttonParameters{paramInputLevel, paramHarmonicPitch,
                                                                paramWaveClip};
    const std::array<assignable_parameter*, 2> trackingParameters{paramDominantNoteCut,
                                                                  paramHighNotesCut};
    const QString message = QStringLiteral("04") + flags +
                            AddressField(CtrlI, buttonParameters, false) +
                            AddressField(CtrlII, buttonParameters, false) +
                            AddressField(CtrlIII, trackingParameters, true) +
                            AddressField(CtrlIV, trackingParameters, false) + RemoteField();
    ConsolePrint(QStringLiteral("lenght of assign message in bytes: ") +
                 QString::number(message.size() / 2));
    ConsolePrint(QStringLiteral("assign message: ") + message);
    return message;
}

QString BuildFootswitchMessage() {
    const TformFXsettings& w = *formFXsettings;
    QString shortCode;
    if (w.chkBypassShortPress->isChecked() && !w.chkChangePresetShortPress->isChecked())
        shortCode = QStringLiteral("00");
    else if (w.chkChangePresetShortPress->isChecked() && !w.chkBypassShortPress->isChecked())
        shortCode = QStringLiteral("01");
    // The long press counts the other way round: 00 is "Change Preset".
    QString longCode;
    if (w.chkChangePresetLongPress->isChecked() && !w.chkBypassLongPress->isChecked())
        longCode = QStringLiteral("00");
    else if (w.chkBypassLongPress->isChecked() && !w.chkChangePresetLongPress->isChecked())
        longCode = QStringLiteral("01");
    const QString message = QStringLiteral("08") + shortCode + longCode;
    ConsolePrint(QStringLiteral("footswitch behaviour message: ") + message);
    return message;
}

void TformMain::btnAssignClick() {
    const QString message = BuildAssignMessage();
    const int n = static_cast<int>(message.size() / 2);
    HexTextToOutBuffer(message, n);
    if (platform::Ask(QStringLiteral("Upload Assignments?")) == platform::Answer::No) return;
    WriteFTDevice(static_cast<std::uint32_t>(n));
    // The pedal needs the time to store them; a second click meanwhile would
    // arrive while it is busy.
    btnAssign->setEnabled(false);
    platform::SleepMs(100);
    btnAssign->setEnabled(true);
}

void TformMain::btnSetFootswitchModeClick() {
    const QString message = BuildFootswitchMessage();
    ConsolePrint(message);
    SendHexMessage(message);
}
