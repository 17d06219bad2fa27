#pragma once
// The editor's one picture of the pedal's settings: identity, footswitch
// behaviour, control assignments, tuning and the fifteen parameter values.
// The application owns it; the read-back fills it, the settings window shows
// it and edits it, and every message that carries a setting takes the value
// from here, exactly as it stands (never re-derived from a control).
//
// The fifteen values live in the parameter objects of ParameterModel and the
// tuning in CurrentTuning, under the names the rest of the editor has always
// used; this object is the one way to change them, and it says so by signal.

#include <QObject>
#include <array>
#include <cstdint>
#include <optional>

#include "effects/ParameterModel.h"

class PedalModel : public QObject {
    Q_OBJECT
public:
    static PedalModel& Instance();

    // The identity of the last whole device information answer.
    struct Identity {
        std::uint8_t firmwareVersion = 0;
        std::uint16_t algorithmVersion = 0;
        std::uint8_t effectNumber = 0;
    };
    const std::optional<Identity>& identity() const { return identity_; }
    void SetIdentity(const Identity& identity);

    // Whether the model holds the pedal's values (a read-back or an edit).
    bool HoldsValues() const { return holdsValues_; }

    std::uint32_t Value(int slot) const;
    // Sets a value; with send, also writes it to the pedal live (held while
    // an exchange runs), even when the model held it already. A write that
    // fails leaves the value as it was (the pedal still has it) and gives false;
    // so does a value to send for a parameter with no address (Range).
    bool SetValue(int slot, std::uint32_t value, bool send);

    // The entry each control's assignment list shows: 0 is "Not Assigned".
    int AssignmentEntry(int control) const {
        return assignment_[static_cast<std::size_t>(control)];
    }
    void SetAssignmentEntry(int control, int entry);

    // short-press code * 2 + long-press code (0: Bypass / Change Preset).
    std::uint8_t FootswitchCode() const { return footswitch_; }
    void SetFootswitchCode(std::uint8_t code);

    std::uint8_t Tuning() const { return CurrentTuning; }
    void SetTuning(std::uint8_t tuning);

    // A new parameter model (the settings window's creation), or tests.
    void Reset();

    // The dial angle that shows a value: the nearest whole-degree angle for
    // the dial-position parameters, the pedal's own mapping for the stepped
    // ones.
    static int DialAngleFor(int slot, std::uint32_t value);
    // The scale a slot's value is read with (0x800000 for dial positions).
    static std::uint32_t DialScale(int slot);
    // What a control shows for a value, so a change of value can be told
    // from a change of what the window shows.
    static int DisplayKey(int slot, std::uint32_t value);

signals:
    void valueChanged(int slot);
    // Footswitch behaviour, assignments or tuning changed.
    void settingsChanged();
    void identityChanged();

private:
    PedalModel() = default;
    std::optional<Identity> identity_;
    bool holdsValues_ = false;
    std::array<int, AssignableControlCount> assignment_{};
    std::uint8_t footswitch_ = 0;
};

// The model, as the windows call it.
inline PedalModel& Model() {
    return PedalModel::Instance();
}
