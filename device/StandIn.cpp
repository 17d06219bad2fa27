#include "device/StandIn.h"

#include "device/FtDriver.h"
#include "platform/Dialogs.h"
#include "sim/VirtualPedalDriver.h"

namespace {
// The generator writes this text into every stand-in it makes.
const QByteArray kMarker = QByteArrayLiteral("QUENDLE STAND-IN");
}  // namespace

bool IsStandInImage(const QByteArray& image) {
    return image.contains(kMarker) || image.toUpper().contains(kMarker.toHex().toUpper());
}

bool StandInMayBeSent(const QByteArray& image, const QString& question) {
    if (!IsStandInImage(image)) return true;
    if (ftd::InstalledDriverAs<sim::VirtualPedalDriver>()) return true;
    // Only a clear Yes: a pedal given a stand-in stops working.
    return platform::Ask(question) == platform::Answer::Yes;
}
