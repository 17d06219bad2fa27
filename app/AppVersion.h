#pragma once
#include <QString>

// The editor's own version, major and minor number joined by a dot ("1.3"),
// from the build's project version.
QString GetAppVersion();
