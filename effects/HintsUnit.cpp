#include "effects/HintsUnit.h"

namespace {
const QString kCrLf = QStringLiteral("\r\n");
// Both tracking functions end their hint the same way.
const QString kTrackingHintEnd =
    kCrLf +
    QStringLiteral(
        "Make sure to choose the right tuning for your instrument before applying this "
        "parameter.") +
    kCrLf +
    QStringLiteral(
        "Like any other parameter, this parameter can either be stored permanently on "
        "pedal or assigned to a CTRL button.");
}  // namespace

const QString HintInputLevel =
    QStringLiteral("Set level of input signal to the octave down effect. It does not affect dry.") +
    kCrLf +
    QStringLiteral(
        "Adjust if you hear too much distortion on the sub. By deafult it is set to mid position.");

const QString HintDominantNotesCut =
    QStringLiteral(
        "Improves tracking on lowest chord (E-open chord in standard tuning) when RANGE "
        "is set high.") +
    kTrackingHintEnd;

const QString HintHighNotesCut =
    QStringLiteral(
        "Removes tracking and noise on higher strings (e.g. open G string and first "
        "frets in standard tuning)") +
    kTrackingHintEnd;

const QString TuningNotImplementedNotice = QStringLiteral(
    "This tuning has not been implemented yet :( But feel free to get in touch to speed up!");
