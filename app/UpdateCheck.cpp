#include "app/UpdateCheck.h"

#include "app/TformMain.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "platform/Network.h"

QUrl VersionRequestUrl;
QString PublishedVersion;
int VersionRequestTimeoutMs = kVersionRequestTimeoutMs;
bool VersionCheckPending = false;
const QString kUpdateCheckNotSetUp = QStringLiteral("Update check not set up in this build");
const QString kUpdateCheckFailed = QStringLiteral("Could not check for updates");

namespace {

// One console line, however long or broken into lines the text is (a page
// of HTML, a version followed by a line break).
QString NotANumberLine(const QString& whose, const QString& text) {
    QString shown;
    for (QChar c : text.left(40)) {
        if (c == QLatin1Char('\r'))
            shown += QStringLiteral("\\r");
        else if (c == QLatin1Char('\n'))
            shown += QStringLiteral("\\n");
        else if (!c.isPrint() || c.category() == QChar::Separator_Line ||
                 c.category() == QChar::Separator_Paragraph)
            shown += QLatin1Char('?');
        else
            shown += c;
    }
    if (text.size() > 40) shown += QStringLiteral("...");
    return QStringLiteral("Update check stopped: the %1 version \"%2\" is not a number")
        .arg(whose, shown);
}

}  // namespace

void PrepareVersionCheck(TformMain& form) {
    VersionRequestUrl = platform::VersionPageUrl();
    VersionCheckPending = false;
    if (VersionRequestUrl.isEmpty()) {
        // No site to ask, and no contact page to open.
        form.menuNewAppVersion->setText(kUpdateCheckNotSetUp);
        form.menuSupport->setEnabled(false);
        return;
    }
    form.TimerCheckWebVersion->start();
}

std::optional<qint64> VersionNumber(const QString& version) {
    QString digits = version;
    digits.remove(QLatin1Char('.'));
    // Digits only: no sign, no spaces, nothing a page of HTML could slip in.
    if (digits.isEmpty() || digits.size() > 18) return std::nullopt;
    for (QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    return digits.toLongLong();
}

bool TformMain::WebRequestCompleted(const platform::HttpResponse& response) {
    if (response.status == 200) {
        PublishedVersion = QString::fromUtf8(response.body);
        return true;
    }
    platform::ShowMessage(QStringLiteral("Error: ") + response.statusText);
    ConsolePrint(QStringLiteral("wew"));
    return false;
}

void TformMain::checkmostrecentversiononwebsite() {
    TimerCheckWebVersion->stop();  // one check per run
    if (VersionRequestUrl.isEmpty() || VersionCheckPending) return;
    VersionCheckPending = true;
    // The answer is handled from the event loop when it comes; until then the
    // windows go on as usual.
    platform::network().GetAsync(VersionRequestUrl, VersionRequestTimeoutMs, this,
                                 [this](const platform::HttpResponse& response) {
                                     VersionCheckPending = false;
                                     platform::Guard([&] { VersionPageAnswered(response); });
                                 });
}

void TformMain::VersionPageAnswered(const platform::HttpResponse& response) {
    // No answer at all (no network, host not found, time-out) is nothing the
    // user has to act on: the Info menu says so, the console says why.
    if (!response.completed) {
        menuNewAppVersion->setText(kUpdateCheckFailed);
        ConsolePrint(kUpdateCheckFailed + QStringLiteral(": ") + response.error);
        return;
    }
    if (!WebRequestCompleted(response)) return;

    // Neither side may be something other than a number; the check then says
    // why in the console and the caption stays as it is.
    const auto published = VersionNumber(PublishedVersion);
    if (!published) {
        ConsolePrint(NotANumberLine(QStringLiteral("published"), PublishedVersion));
        return;
    }
    const auto current = VersionNumber(CurrentVersion);
    if (!current) {
        ConsolePrint(NotANumberLine(QStringLiteral("own"), CurrentVersion));
        return;
    }
    if (*published > *current)
        menuNewAppVersion->setText(menuNewAppVersion->text() + QLatin1Char(' ') + PublishedVersion);
    else
        menuNewAppVersion->setText(QStringLiteral("No update available"));
}
