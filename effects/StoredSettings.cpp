// The pedal's stored settings: the read-back that moves the settings window
// to what the device information reply reports, and the main window's Save
// Parameters button.
#include "effects/StoredSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <algorithm>
#include <optional>

#include <QListWidget>
#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "effects/ControlAssignments.h"
#include "effects/HintsUnit.h"
#include "effects/PedalModel.h"
#include "library/Catalogue.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
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

// The slots whose control sends its value when it moves, in the order the
// read-back moves them.
constexpr int kEchoedSlots[] = {SlotDry,           SlotSubMix,          SlotMinus1Oct,
                                SlotMinus2Oct,     SlotInputLevel,      SlotWaveClip,
                                SlotHarmonicPitch, SlotDominantNoteCut, SlotHighNotesCut};

}  // namespace

void EnsureParameterAddresses() {
    if (ParameterAddressesRead()) return;
    QString name = SelectedAlgorithmName;
    if (name.isEmpty() && formMain) {
        // The catalogue's entry for the algorithm version the pedal reports.
        for (int row = 0; row < formMain->lstEffects->count(); ++row) {
            const QString entry = formMain->lstEffects->item(row)->text();
            if (!AlgorithmVersion.isEmpty() && entry.endsWith(AlgorithmVersion)) name = entry;
        }
    }
    if (name.isEmpty()) return;
    try {
        LoadResourceLines(ResourceNameFor(name));
        ReadParameterAddresses(ResourceLines.value(0));
        ConsolePrint(QStringLiteral("parameter addresses read from ") + name);
    } catch (const platform::EditorError& e) {
        ConsolePrint(
            QStringLiteral("parameter addresses of %1 not read: %2").arg(name, e.message()));
    }
}

void ReadFootswitchMode(std::size_t index) {
    if (!ReplyHolds(index, 1, "Footswitch mode")) return;
    FootswitchMode = ReplyValues[index];
    ConsolePrint(QStringLiteral("Footswitch Mode: ") + QString::number(FootswitchMode));
    // A code the pedal's footswitch does not know leaves the choice as it is.
    if (FootswitchMode <= 3) Model().SetFootswitchCode(static_cast<std::uint8_t>(FootswitchMode));
}

void ReadAssignments(std::size_t index) {
    if (!ReplyHolds(index, 3 * AssignableControlCount, "Assignments")) return;
    PedalModel& model = Model();

    std::array<std::optional<std::uint16_t>, AssignableControlCount> codes{};
    for (int c = 0; c < AssignableControlCount; ++c) {
        const auto at = static_cast<std::size_t>(c);
        if (ReplyValues[index + at] != 0)
            codes[at] = static_cast<std::uint16_t>(ReplyValues[index + 5 + 2 * at] * 256 +
                                                   ReplyValues[index + 6 + 2 * at]);
        else
            model.SetAssignmentEntry(c, 0);
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
                model.SetAssignmentEntry(control, entry);
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
        if (*remote == RemoteBypassCode) model.SetAssignmentEntry(RemoteFootswitch, 1);
        if (*remote == RemotePresetCode) model.SetAssignmentEntry(RemoteFootswitch, 2);
    }
    for (int c = 0; c < AssignableControlCount; ++c)
        ControlAssigned[static_cast<std::size_t>(c)] = model.AssignmentEntry(c) != 0;
    // The refusals follow the new assignments at once.
    emit model.settingsChanged();
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
    const bool changed = tuning != CurrentTuning;
    Model().SetTuning(tuning);
    // The list says so whenever it comes to a tuning the pedal has no table for.
    if (changed && tuning != NoTuning && tuning != 1)
        platform::ShowMessage(TuningNotImplementedNotice);
}

void ReadParameterValues(std::size_t index) {
    if (!ReplyHolds(index, 4 * ParameterSlotCount, "Parameter values")) return;
    ReadBackValues.assign(ParameterSlotCount, 0);
    for (int s = 0; s < ParameterSlotCount; ++s)
        ReadBackValues[static_cast<std::size_t>(s)] =
            ReplyWord(index + 4 * static_cast<std::size_t>(s));
    for (int s = 0; s < ParameterSlotCount; ++s) {
        const QString label = QLatin1String(kValueLabels[s]);
        const QString gap = s == SlotSubMix ? QString() : QStringLiteral("\t");
        ConsolePrint(label + gap + Hex8(ReadBackValues[static_cast<std::size_t>(s)]));
    }

    // The pedal has always been sent the value of every control whose shown
    // state the read-back changes. Those writes carry exactly the values just
    // read, so reading the settings never changes them; a placeholder address
    // (no address table read yet) is never written to.
    if (!ParameterAddressesRead())
        ConsolePrint(
            QStringLiteral("Parameter writes held back: no algorithm's address table has "
                           "been read yet (choose the algorithm first)"));
    // A value the user changed while the answer was on its way is newer than
    // the answer: it stays, and its write goes out after the read-back.
    PedalLink& link = PedalLink::Instance();
    const auto changedMeanwhile = [&](int s) {
        return ParameterAddressesRead() && link.HoldsWriteTo(ParameterAt(s).address());
    };
    std::vector<int> echoed;
    for (int s : kEchoedSlots) {
        if (changedMeanwhile(s)) continue;
        const std::uint32_t v = ReadBackValues[static_cast<std::size_t>(s)];
        const int before = PedalModel::DisplayKey(s, Model().Value(s));
        const int after = PedalModel::DisplayKey(s, v);
        // A pitch the list does not hold selects nothing new.
        if (after != before && !(s == SlotHarmonicPitch && after < 0)) echoed.push_back(s);
    }
    for (int s = 0; s < ParameterSlotCount; ++s)
        if (!changedMeanwhile(s))
            Model().SetValue(s, ReadBackValues[static_cast<std::size_t>(s)], false);
    if (!ParameterAddressesRead()) return;
    for (int s : echoed)
        link.WriteParameter(ParameterAt(s).address(), ReadBackValues[static_cast<std::size_t>(s)]);
}

void TformMain::btnSaveParametersClick() {
    // Refused before the question: a Yes must not end in nothing stored.
    if (PedalLink::Instance().RefuseIfBusy()) return;
    const PedalModel& model = Model();
    const PedalMessage message = msg::StoreSettings(
        {model.Value(SlotInputLevel), model.Value(SlotHarmonicPitch), model.Value(SlotWaveClip),
         model.Value(SlotDominantNoteCut), model.Value(SlotHighNotesCut)});
    for (const QString& line : message.log) ConsolePrint(line);
    if (platform::Ask(QStringLiteral("Save Parameters to pedal?")) == platform::Answer::No) return;
    if (!PedalLink::Instance().Send(message, true)) return;
    // The pedal writes them to its memory before it takes the next message.
    platform::SleepMs(100);
    lblStatus->setText(QStringLiteral("Settings stored on the pedal"));
}
