// The version page's answer, through the update check.
#include "app/TformMain.h"
#include "app/UpdateCheck.h"
#include "fuzz/FuzzSupport.h"
#include "platform/ErrorReport.h"
#include "platform/Network.h"

namespace {

QByteArray g_body;

class PageNetwork : public platform::Network {
public:
    platform::HttpResponse Get(const QUrl&, int) override {
        platform::HttpResponse response;
        response.completed = true;
        response.status = 200;
        response.statusText = QStringLiteral("OK");
        response.body = g_body;
        return response;
    }
    void OpenUrl(const QUrl&) override {}
};

// Digits only once the dots are gone, and few enough to fit the number.
bool IsVersionNumber(const QString& text) {
    QString digits = text;
    digits.remove(QLatin1Char('.'));
    if (digits.isEmpty() || digits.size() > 18) return false;
    for (QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::StartEditor();
    static const QString caption = formMain->menuNewAppVersion->text();
    static bool installed = false;
    if (!installed) {
        platform::InstallNetwork(std::make_unique<PageNetwork>());
        // A build without a maker's site has no page to ask; this one has.
        VersionRequestUrl = QUrl(QStringLiteral("https://fuzz.invalid/version"));
        installed = true;
    }
    g_body = fuzz::Bytes(data, size);
    auto& dialogs = fuzz::FreshDialogs();
    formMain->menuNewAppVersion->setText(caption);
    FUZZ_CHECK(platform::Guard([] { formMain->checkmostrecentversiononwebsite(); }));
    FUZZ_CHECK(dialogs.messages.isEmpty());

    const QString published = QString::fromUtf8(g_body);
    const auto number = VersionNumber(published);
    FUZZ_CHECK(number.has_value() == IsVersionNumber(published));
    if (number) FUZZ_CHECK(*number >= 0);
    // A text that is not a version leaves the caption as it was; a version
    // gives one of the two captions.
    const QString shown = formMain->menuNewAppVersion->text();
    if (!number)
        FUZZ_CHECK(shown == caption);
    else if (*number > *VersionNumber(CurrentVersion))
        FUZZ_CHECK(shown == caption + QLatin1Char(' ') + published);
    else
        FUZZ_CHECK(shown == QStringLiteral("No update available"));
    return 0;
}
