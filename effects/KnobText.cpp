#include "effects/KnobText.h"

#include <cstdlib>
#include <limits>

#include "effects/ParameterModel.h"

namespace {

constexpr std::uint32_t kLastPosition = 1023;

std::uint32_t Position(std::uint32_t value) {
    return std::min<std::uint32_t>(value >> 13, kLastPosition);
}

QString Hex32(std::uint32_t value) {
    return QStringLiteral("0x") +
           QString::number(value, 16).rightJustified(8, QLatin1Char('0')).toUpper();
}

int Maximum(KnobScale scale) {
    return scale.steps == 0 ? 100 : scale.steps;
}

}  // namespace

int KnobLevel(std::uint32_t value) {
    return static_cast<int>((Position(value) * 100 + kLastPosition / 2) / kLastPosition);
}

QString KnobValueText(std::uint32_t value, KnobScale scale) {
    if (scale.steps == 0) return QString::number(KnobLevel(value));
    return QString::number(value);
}

QString KnobExactText(std::uint32_t value, KnobScale scale) {
    if (scale.steps == 0)
        return QStringLiteral("Value %1 (position %2 of %3)")
            .arg(Hex32(value))
            .arg(Position(value))
            .arg(kLastPosition);
    return QStringLiteral("Step %1 of %2 (value %3)").arg(value).arg(scale.steps).arg(Hex32(value));
}

TypedKnobValue ParseKnobText(const QString& text, KnobScale scale) {
    const int maximum = Maximum(scale);
    const QString range = QStringLiteral("Type a whole number from 0 to %1").arg(maximum);
    QString figure = text.trimmed();
    if (scale.steps == 0 && figure.endsWith(QLatin1Char('%'))) figure.chop(1);
    bool ok = false;
    const int typed = figure.trimmed().toInt(&ok, 10);
    if (!ok) return {std::nullopt, range};
    if (typed < 0 || typed > maximum)
        return {std::nullopt,
                QStringLiteral("%1 is out of range: 0 to %2").arg(typed).arg(maximum)};

    if (scale.steps != 0)
        return {ValueToDialAngle(static_cast<std::uint32_t>(typed),
                                 static_cast<std::uint32_t>(scale.steps)),
                QString()};

    // Every angle of the arc, minimum to maximum: the one whose value shows
    // this level and lies nearest to it.
    const double wanted = typed * double(kLastPosition) / 100.0;
    std::optional<int> best;
    double bestDistance = std::numeric_limits<double>::max();
    for (int travel = 0; travel <= 270; ++travel) {
        int angle = -135 - travel;
        if (angle <= -180) angle += 360;
        const std::uint32_t value = DialAngleToValue(angle);
        if (KnobLevel(value) != typed) continue;
        const double distance = std::abs(double(Position(value)) - wanted);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = angle;
        }
    }
    if (!best) return {std::nullopt, range};
    return {best, QString()};
}
