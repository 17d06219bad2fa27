#pragma once
// What each knob of the settings window says to the player, and what a typed
// value means:
//
// - the dial-position knobs (Dry, Sub Mix, -1 OCT, -2 OCT, 1st Harmonic,
//   Input Level, Wave Clip) show a level 0 to 100: the 10-bit position
//   (0 to 1023) scaled and rounded;
// - Low Pass, High Pass and Range show the pedal's own step (0 to 24, 16 and
//   22): the pedal reports no frequency for them, so the step is the honest
//   figure.
//
// The exact text (the knob's tooltip and accessible description) gives the
// 32-bit value that goes to or came from the pedal.

#include <QString>
#include <cstdint>
#include <optional>

struct KnobScale {
    // 0: a level 0 to 100 from a dial position; N: the pedal's step 0 to N.
    int steps = 0;
};
inline constexpr KnobScale LevelKnob{0};
inline constexpr KnobScale LowPassKnob{24};
inline constexpr KnobScale HighPassKnob{16};
inline constexpr KnobScale RangeKnob{22};

// A typed text made into a dial angle, or the short reason it is refused.
struct TypedKnobValue {
    std::optional<int> angle;
    QString hint;
};

// The level 0 to 100 of a dial-position value (positions past 1023 count as
// 1023).
int KnobLevel(std::uint32_t value);
// "50", "12": the figure shown on the knob.
QString KnobValueText(std::uint32_t value, KnobScale scale);
// "Value 0x003FC000 (position 510 of 1023)", "Step 12 of 24 (value 0x0000000C)".
QString KnobExactText(std::uint32_t value, KnobScale scale);
// The angle that shows a typed figure: for a level, the angle whose written
// value is nearest to that level; for a step, the angle the read-back uses.
// Text that is not a whole number, or one out of range, is refused.
TypedKnobValue ParseKnobText(const QString& text, KnobScale scale);
