#include "app/AppVersion.h"

QString GetAppVersion() {
    return QStringLiteral("%1.%2").arg(QUENDLE_VERSION_MAJOR).arg(QUENDLE_VERSION_MINOR);
}
