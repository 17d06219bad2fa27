#pragma once
// The once-per-run check, about a second after start, whether the maker has
// published a newer editor; its outcome is the caption of the Info menu's
// menuNewAppVersion. A build without the maker's site (the default) makes no
// check, and says so there; a check that cannot be made (no network, host not
// found, time-out) says so there too and logs the client's reason, without a
// message box. The request runs in the background: the windows stay usable
// while it waits.

#include <QString>
#include <QUrl>
#include <optional>

class TformMain;

// The version page, set once at start-up.
extern QUrl VersionRequestUrl;
// The body of the version page's last answer with status 200.
extern QString PublishedVersion;
// The longest the whole request may take.
constexpr int kVersionRequestTimeoutMs = 10000;
// The time-out in force: kVersionRequestTimeoutMs; tests shorten it.
extern int VersionRequestTimeoutMs;
// True from the request's start until its answer has been handled.
extern bool VersionCheckPending;

// The captions of menuNewAppVersion that are not an answer of the maker's site.
extern const QString kUpdateCheckNotSetUp;
extern const QString kUpdateCheckFailed;

// Start-up: prepares the request and starts the one-shot TimerCheckWebVersion;
// with no maker's site, says so in the Info menu and disables Support instead.
void PrepareVersionCheck(TformMain& form);
// A version text read as one number once its dots are removed ("1.10" gives
// 110); nothing when what is left is not a whole number.
std::optional<qint64> VersionNumber(const QString& version);
