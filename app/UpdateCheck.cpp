#include "app/UpdateCheck.h"

#include "app/TformMain.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Network.h"

QUrl VersionRequestUrl;
QString PublishedVersion;

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
    platform::HttpResponse response =
        platform::network().Get(VersionRequestUrl, kVersionRequestTimeoutMs);
    // A request that could not be made is told like an error status, with the
    // client's reason, and ends the check just the same.
    if (!response.completed) response.statusText = response.error;
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
