#include "effects/PedalModel.h"

#include <algorithm>
#include <cstdlib>

#include "device/PedalLink.h"
#include "platform/Errors.h"

namespace {

constexpr std::uint32_t kPosition = 0x800000;
constexpr int MinimumDialAngle = -135;

}  // namespace

PedalModel& PedalModel::Instance() {
    static PedalModel* model = new PedalModel;
    return *model;
}

void PedalModel::Reset() {
    identity_.reset();
    holdsValues_ = false;
    assignment_.fill(0);
    footswitch_ = 0;
    CurrentTuning = NoTuning;
}

void PedalModel::SetIdentity(const Identity& identity) {
    identity_ = identity;
    emit identityChanged();
}

std::uint32_t PedalModel::Value(int slot) const {
    return ParameterAt(slot).value();
}

bool PedalModel::SetValue(int slot, std::uint32_t value, bool send) {
    // Its address is a placeholder: a write would change whatever the pedal
    // keeps there, and the knob would show a value the pedal does not play.
    if (send && !ParameterHasAddress(slot)) return false;
    const ParameterRef parameter = ParameterAt(slot);
    holdsValues_ = true;
    const std::uint32_t before = parameter.value();
    parameter.setValue(value);
    // Before an algorithm's address table is read the address is only a
    // placeholder: the value is kept, but nothing goes to the pedal.
    if (send && ParameterAddressesRead() &&
        !PedalLink::Instance().WriteParameter(parameter.address(), value)) {
        // The pedal kept its value, and so does the picture of it; the control
        // that moved goes back.
        parameter.setValue(before);
        emit valueChanged(slot);
        return false;
    }
    if (before != value) emit valueChanged(slot);
    return true;
}

void PedalModel::SetAssignmentEntry(int control, int entry) {
    if (control < 0 || control >= AssignableControlCount)
        throw platform::EditorError(
            QStringLiteral("There is no assignable control %1").arg(control));
    auto& current = assignment_[static_cast<std::size_t>(control)];
    if (current == entry) return;
    current = entry;
    emit settingsChanged();
}

void PedalModel::SetFootswitchCode(std::uint8_t code) {
    if (code > 3 || footswitch_ == code) return;
    footswitch_ = code;
    emit settingsChanged();
}

void PedalModel::SetTuning(std::uint8_t tuning) {
    if (CurrentTuning == tuning) return;
    CurrentTuning = tuning;
    emit settingsChanged();
}

std::uint32_t PedalModel::DialScale(int slot) {
    switch (slot) {
        case SlotLowPass:
            return 24;
        case SlotHighPass:
            return 16;
        case SlotRange:
            return 22;
        default:
            return kPosition;
    }
}

int PedalModel::DialAngleFor(int slot, std::uint32_t value) {
    const std::uint32_t scale = DialScale(slot);
    if (scale != kPosition) return ValueToDialAngle(value, scale);
    // The angle whose value comes closest, so that a value the editor wrote
    // shows at the angle it was written from and a value from elsewhere
    // shows as near as whole degrees allow.
    int best = MinimumDialAngle;
    std::int64_t bestDistance = -1;
    const auto consider = [&](int angle) {
        const std::int64_t distance =
            std::llabs(static_cast<std::int64_t>(DialAngleToValue(angle)) - value);
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = angle;
        }
    };
    // The arc, from its minimum clockwise over the top to its maximum.
    for (int angle = -135; angle >= -179; --angle) consider(angle);
    for (int angle = 180; angle >= -45; --angle) consider(angle);
    return best;
}

int PedalModel::DisplayKey(int slot, std::uint32_t value) {
    switch (slot) {
        case SlotWave:
            return value == 0x00400000 ? 1 : value == 0x00600000 ? 0 : -1;
        case SlotSplit:
            return value == 1 ? 1 : value == 0 ? 0 : -1;
        case SlotHarmonicPitch: {
            const auto pitch = std::find(PitchTable.begin(), PitchTable.end(), value);
            return pitch == PitchTable.end() ? -1 : static_cast<int>(pitch - PitchTable.begin());
        }
        case SlotDominantNoteCut:
        case SlotHighNotesCut:
            return value == 1 ? 1 : 0;
        default:
            return DialAngleFor(slot, value);
    }
}
