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
#include "device/PedalLink.h"
#include "effects/PedalModel.h"
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

const AssignmentListItem* EntryItem(int control, int entry) {
    const auto& items = AssignmentListItems(control);
    if (entry < 0 || entry >= static_cast<int>(items.size())) return nullptr;
    return items[static_cast<std::size_t>(entry)];
}

void AssignmentListChanged(TformFXsettings& window, int control) {
    QComboBox* list = window.AssignmentList(control);
    const int entry = list->currentIndex();
    if (entry < 0) return;
    // The tracking functions work from the tuning; without one they must not
    // go on a button.
    if ((control == CtrlIII || control == CtrlIV) &&
        IsTrackingParameterItem(EntryItem(control, entry)) && CurrentTuning == NoTuning) {
        platform::ShowMessage(kNoTuningForTracking);
        Model().SetAssignmentEntry(control, 0);
        ControlAssigned[static_cast<std::size_t>(control)] = false;
        window.ShowModel();
        return;
    }
    ControlAssigned[static_cast<std::size_t>(control)] = entry != 0;
    Model().SetAssignmentEntry(control, entry);
}

// The slot of the parameter a control's entry names; -1 when not assigned.
int AssignedSlot(int control) {
    const AssignmentListItem* item = EntryItem(control, Model().AssignmentEntry(control));
    if (item == nullptr || item == NotAssignedItem(control)) return -1;
    for (int slot = SlotInputLevel; slot < ParameterSlotCount; ++slot)
        if (ParameterAt(slot).name() == item->text) return slot;
    return -1;
}

// The address field of CTRL I ... CTRL IV: the address of the parameter the
// control's entry names; FFFF when not assigned.
std::uint16_t AddressCode(int control) {
    const int slot = AssignedSlot(control);
    return slot < 0 ? NotAssignedCode : ParameterAt(slot).address();
}

// The pedal takes CTRL III's tracking function with the tuning it was assigned
// under; that value also goes out with the next store. Only an assignment the
// pedal was sent does so: a cancelled or failed one leaves the value as the
// pedal has it.
void TakeTuningOnCtrlIII() {
    const int slot = AssignedSlot(CtrlIII);
    if (slot >= 0 && CurrentTuning != NoTuning)
        Model().SetValue(slot, static_cast<std::uint32_t>(CurrentTuning) * 256, false);
}

std::uint16_t RemoteCode() {
    const AssignmentListItem* item =
        EntryItem(RemoteFootswitch, Model().AssignmentEntry(RemoteFootswitch));
    if (item == BypassItem()) return RemoteBypassCode;
    if (item == PresetItem()) return RemotePresetCode;
    return NotAssignedCode;
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

PedalMessage BuildAssignMessage() {
    std::array<bool, AssignableControlCount> flags{};
    for (int c = 0; c < AssignableControlCount; ++c)
        flags[static_cast<std::size_t>(c)] = Model().AssignmentEntry(c) != 0;
    const PedalMessage message =
        msg::ControlAssignments(flags, {AddressCode(CtrlI), AddressCode(CtrlII),
                                        AddressCode(CtrlIII), AddressCode(CtrlIV), RemoteCode()});
    for (const QString& line : message.log) ConsolePrint(line);
    return message;
}

PedalMessage BuildFootswitchMessage() {
    const std::uint8_t code = Model().FootswitchCode();
    // The long press counts the other way round: 00 is "Change Preset".
    return msg::FootswitchBehaviour(Hex2(code / 2u), Hex2(code % 2u));
}

void TformMain::btnAssignClick() {
    // Refused before the question: a Yes must not end in nothing sent.
    if (PedalLink::Instance().RefuseIfBusy()) return;
    const PedalMessage message = BuildAssignMessage();
    if (platform::Ask(QStringLiteral("Upload Assignments?")) == platform::Answer::No) return;
    if (!PedalLink::Instance().Send(message)) return;
    TakeTuningOnCtrlIII();
    // The pedal needs the time to store them; a second click meanwhile would
    // arrive while it is busy.
    btnAssign->setEnabled(false);
    platform::SleepMs(100);
    btnAssign->setEnabled(PedalLink::Instance().IsOpen());
    lblStatus->setText(QStringLiteral("Assignments sent to the pedal"));
}

void TformMain::btnSetFootswitchModeClick() {
    const PedalMessage message = BuildFootswitchMessage();
    for (const QString& line : message.log) ConsolePrint(line);
    if (PedalLink::Instance().Send(message))
        lblStatus->setText(QStringLiteral("Footswitch behaviour sent to the pedal"));
}
