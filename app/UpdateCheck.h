#pragma once
// The once-per-run check, about a second after start, whether the maker has
// published a newer editor; its outcome is the caption of the Info menu's
// menuNewAppVersion.

#include <QString>
#include <QUrl>
#include <optional>

class TformMain;

// The version page, set once at start-up.
extern QUrl VersionRequestUrl;
// The body of the version page's last answer with status 200.
extern QString PublishedVersion;
// The synchronous request freezes the windows, so it may not take long.
constexpr int kVersionRequestTimeoutMs = 10000;

// Start-up: prepares the request and starts the one-shot TimerCheckWebVersion.
void PrepareVersionCheck(TformMain& form);
// A version text read as one number once its dots are removed ("1.10" gives
// 110); nothing when what is left is not a whole number.
std::optional<qint64> VersionNumber(const QString& version);
