// The pedal's stored settings: the read-back that moves the settings window
// to what the device information reply reports, and the main window's Save
// Parameters button.
#include "effects/StoredSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <algorithm>
#include <optional>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "effects/ControlAssignments.h"
#include "effects/TformFXsettings.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Time.h"

std::uint16_t FootswitchMode = 0;
std::vector<std::uint32_t> ReadBackValues;

namespace {

constexpr std::size_t kTuningCount = 5;

// Whether ReplyValues holds `count` values from `index` on; says so in the
// log when it does not, so a short reply never reads past its end.
bool ReplyHolds(std::size_t index, std::size_t count, const char* what) {
    if (index + count <= ReplyValues.size()) return true;
    ConsolePrint(QStringLiteral("%1 not read back: the reply has %2 values, %3 are needed")
                     .arg(QLatin1String(what))
                     .arg(ReplyValues.size())
                     .arg(index + count));
    return false;
}

std::uint32_t ReplyWord(std::size_t at) {
    return (std::uint32_t{ReplyValues[at]} << 24) | (std::uint32_t{ReplyValues[at + 1]} << 16) |
           (std::uint32_t{ReplyValues[at + 2]} << 8) | ReplyValues[at + 3];
}

// The labels of the value lines, in slot order; all but "Sub Mix: " are
// followed by a TAB so the values line up in the console.
const char* const kValueLabels[ParameterSlotCount] = {"Dry: ",           "Sub Mix: ",
                                                      "Sub -1: ",        "Sub -2: ",
                                                      "Wave: ",          "LPF: ",
                                                      "HPF: ",           "1st Harmonic: ",
                                                      "Split: ",         "Range: ",
                                                      "Input Lvl: ",     "Harmonic pitch: ",
                                                      "Clip: ",          "Dominant notes cut: ",
                                                      "High notes cut: "};

}  // namespace

void ReadFootswitchMode(std::size_t index) {
    if (!ReplyHolds(index, 1, "Footswitch mode")) return;
    FootswitchMode = ReplyValues[index];
    ConsolePrint(QStringLiteral("Footswitch Mode: ") + QString::number(FootswitchMode));

    TformFXsettings& w = *formFXsettings;
    QRadioButton* shortPress = nullptr;
    QRadioButton* longPress = nullptr;
    switch (FootswitchMode) {
        case 0:
            shortPress = w.chkBypassShortPress;
            longPress = w.chkChangePresetLongPress;
            break;
        case 1:
            shortPress = w.chkBypassShortPress;
            longPress = w.chkBypassLongPress;
            break;
        case 2:
            shortPress = w.chkChangePresetShortPress;
            longPress = w.chkChangePresetLongPress;
            break;
        case 3:
            shortPress = w.chkChangePresetShortPress;
            longPress = w.chkBypassLongPress;
            break;
        default:
            return;  // not a code the pedal's footswitch knows: the buttons stay
    }
    // Each group is exclusive: selecting one button deselects the other.
    shortPress->setChecked(true);
    longPress->setChecked(true);
}

void ReadAssignments(std::size_t index) {
    if (!ReplyHolds(index, 3 * AssignableControlCount, "Assignments")) return;
    TformFXsettings& w = *formFXsettings;

    std::array<std::optional<std::uint16_t>, AssignableControlCount> codes{};
    for (int c = 0; c < AssignableControlCount; ++c) {
        const auto at = static_cast<std::size_t>(c);
        if (ReplyValues[index + at] != 0)
            codes[at] = static_cast<std::uint16_t>(ReplyValues[index + 5 + 2 * at] * 256 +
                                                   ReplyValues[index + 6 + 2 * at]);
        else
            w.AssignmentList(c)->setCurrentIndex(0);
    }

    assignable_parameter* const all[] = {paramInputLevel, paramHarmonicPitch, paramWaveClip,
                                         paramDominantNoteCut, paramHighNotesCut};
    for (assignable_parameter* p : all) p->is_assigned = false;

    // Without an address table the parameters carry placeholders, and a
    // button's code would be compared with those: the buttons' lists stay.
    const bool addressesKnown = ParameterAddressesRead();
    if (!addressesKnown && std::any_of(codes.begin(), codes.begin() + RemoteFootswitch,
                                       [](const auto& code) { return code.has_value(); }))
        ConsolePrint(
            QStringLiteral("Control assignments not matched: no algorithm's address table "
                           "has been read yet (choose the algorithm first)"));

    // The tests run in this order, so when two parameters share an address the
    // later one decides the list's entry and both count as assigned.
    auto match = [&](int control, std::initializer_list<assignable_parameter*> parameters) {
        const auto& code = codes[static_cast<std::size_t>(control)];
        if (!code || !addressesKnown) return;
        int entry = 1;
        for (assignable_parameter* p : parameters) {
            if (*code == p->address) {
                w.AssignmentList(control)->setCurrentIndex(entry);
                p->is_assigned = true;
            }
            ++entry;
        }
    };
    match(CtrlI, {paramInputLevel, paramHarmonicPitch, paramWaveClip});
    match(CtrlII, {paramInputLevel, paramHarmonicPitch, paramWaveClip});
    match(CtrlIII, {paramDominantNoteCut, paramHighNotesCut});
    match(CtrlIV, {paramDominantNoteCut, paramHighNotesCut});

    if (const auto& remote = codes[RemoteFootswitch]) {
        if (*remote == RemoteBypassCode) w.cmbAssignRemote->setCurrentIndex(1);
        if (*remote == RemotePresetCode) w.cmbAssignRemote->setCurrentIndex(2);
    }
}

void ReadTuning(std::size_t index) {
    if (!ReplyHolds(index, 1, "Tuning")) return;
    const std::uint8_t tuning = ReplyValues[index];
    ConsolePrint(QStringLiteral("Current Tuning: ") + QString::number(tuning));
    // The list has five tunings; a number beyond them would select nothing and
    // leave CurrentTuning naming a tuning the list does not show.
    if (tuning >= kTuningCount) {
        ConsolePrint(QStringLiteral("Tuning %1 is not one the editor knows; the tuning list stays "
                                    "at %2")
                         .arg(tuning)
                         .arg(CurrentTuning));
        return;
    }
    CurrentTuning = tuning;
    // Selecting it runs the list's handler, which also keeps CurrentTuning.
    formFXsettings->cmbGuitarTuning->setCurrentIndex(tuning);
}

void ReadParameterValues(std::size_t index) {
    if (!ReplyHolds(index, 4 * ParameterSlotCount, "Parameter values")) return;
    ReadBackValues.assign(ParameterSlotCount, 0);
    for (int s = 0; s < ParameterSlotCount; ++s) {
        const std::uint32_t v = ReplyWord(index + 4 * static_cast<std::size_t>(s));
        ReadBackValues[static_cast<std::size_t>(s)] = v;
        ParameterAt(s).setValue(v);
    }
    for (int s = 0; s < ParameterSlotCount; ++s) {
        const QString label = QLatin1String(kValueLabels[s]);
        const QString gap = s == SlotSubMix ? QString() : QStringLiteral("\t");
        ConsolePrint(label + gap + Hex8(ReadBackValues[static_cast<std::size_t>(s)]));
    }

    // Moving the controls runs their handlers, which write what they show.
    // Without an address table those writes would go to placeholder addresses.
    if (!ParameterAddressesRead())
        ConsolePrint(
            QStringLiteral("Parameter writes held back: no algorithm's address table has "
                           "been read yet (choose the algorithm first)"));

    TformFXsettings& w = *formFXsettings;
    const auto& v = ReadBackValues;
    constexpr std::uint32_t kPosition = 0x800000;
    auto dial = [&](QuendleDial* d, int slot, std::uint32_t scale) {
        d->setAngle(ValueToDialAngle(v[static_cast<std::size_t>(slot)], scale));
    };
    // A value that is neither state leaves the switch as it is.
    auto onOff = [&](QuendleSwitch* s, int slot, std::uint32_t on, std::uint32_t off) {
        if (v[static_cast<std::size_t>(slot)] == on) s->setOn(true);
        if (v[static_cast<std::size_t>(slot)] == off) s->setOn(false);
    };
    dial(w.dialDry, SlotDry, kPosition);
    dial(w.dialSubMix, SlotSubMix, kPosition);
    dial(w.dialMinus1Oct, SlotMinus1Oct, kPosition);
    dial(w.dialMinus2Oct, SlotMinus2Oct, kPosition);
    onOff(w.swtWave, SlotWave, 0x00400000, 0x00600000);
    dial(w.dialLowPass, SlotLowPass, 24);
    dial(w.dialHighPass, SlotHighPass, 16);
    dial(w.dial1stHarmonic, Slot1stHarmonic, kPosition);
    onOff(w.swtSplit, SlotSplit, 1, 0);
    dial(w.dialRange, SlotRange, 22);
    dial(w.dialInputLevel, SlotInputLevel, kPosition);
    dial(w.dialClipWave, SlotWaveClip, kPosition);
    // Only an exact pitch of the list is shown; anything else selects nothing new.
    const auto pitch = std::find(PitchTable.begin(), PitchTable.end(), v[SlotHarmonicPitch]);
    if (pitch != PitchTable.end())
        w.cmbVariableWavePitch->setCurrentIndex(static_cast<int>(pitch - PitchTable.begin()));
    w.chkDominantNoteCut->setChecked(v[SlotDominantNoteCut] == 1);
    w.chkHighNoteCut->setChecked(v[SlotHighNotesCut] == 1);
}

void TformMain::btnSaveParametersClick() {
    const QString text = QStringLiteral("03") + Hex8(paramInputLevel->value) +
                         Hex8(paramHarmonicPitch->value) + Hex8(paramWaveClip->value) +
                         Hex8(paramDominantNoteCut->value) + Hex8(paramHighNotesCut->value);
    const int n = static_cast<int>(text.size() / 2);
    ConsolePrint(QStringLiteral("Store settings message (HEX): ") + text);
    ConsolePrint(QString::number(n));
    HexTextToOutBuffer(text, n);
    if (platform::Ask(QStringLiteral("Save Parameters to pedal?")) == platform::Answer::No) return;
    PurgeFTTransmit();
    WriteFTDevice(static_cast<std::uint32_t>(n));
    // The pedal writes them to its memory before it takes the next message.
    platform::SleepMs(100);
}
