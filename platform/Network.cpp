#include "platform/Network.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QLibrary>
#include <QTimer>
#include <optional>

namespace platform {
namespace {

constexpr const char* kModuleFile = "libquendle_network.so";

std::function<void(const QUrl&)>& UrlOpener() {
    static std::function<void(const QUrl&)> opener;
    return opener;
}

// The HTTP client lives in a module of its own (libquendle_network.so,
// platform/NetworkModule.cpp), loaded at the first request: Qt Network and
// the libraries it brings (Kerberos, proxy configuration, ...) then cost the
// editor's start nothing.
using ModuleGet = void (*)(const QUrl&, int, QObject*, HttpCallback);

ModuleGet LoadModule(QString& why) {
    static ModuleGet get = nullptr;
    static QString failure;
    static bool tried = false;
    if (!tried) {
        tried = true;
        QStringList places;
        const QString own = qEnvironmentVariable("QUENDLE_NETWORK_MODULE");
        if (!own.isEmpty()) places << own;
        if (QCoreApplication::instance()) {
            const QString dir = QCoreApplication::applicationDirPath();
            // Installed: <prefix>/bin/quendle-editor, <prefix>/lib/quendle-editor/.
            places << dir + QStringLiteral("/../lib/quendle-editor/") + QLatin1String(kModuleFile)
                   << dir + QLatin1Char('/') + QLatin1String(kModuleFile);
        }
#ifdef QUENDLE_NETWORK_MODULE_BUILD
        // The build tree's, for the tests and benches built beside it.
        places << QStringLiteral(QUENDLE_NETWORK_MODULE_BUILD);
#endif
        for (const QString& place : places) {
            if (!QFileInfo::exists(place)) continue;
            QLibrary library(place);
            library.setLoadHints(QLibrary::PreventUnloadHint);
            get = reinterpret_cast<ModuleGet>(library.resolve("quendle_network_get"));
            if (get) break;
            failure = library.errorString();
        }
        if (!get && failure.isEmpty())
            failure = QStringLiteral("the editor's network module %1 is not installed")
                          .arg(QLatin1String(kModuleFile));
    }
    why = failure;
    return get;
}

class QtNetwork : public Network {
public:
    HttpResponse Get(const QUrl& url, int timeoutMs) override {
        QObject context;
        std::optional<HttpResponse> answer;
        QEventLoop loop;
        GetAsync(url, timeoutMs, &context, [&](const HttpResponse& response) {
            answer = response;
            loop.quit();
        });
        // Synchronous to the user: timers and the network run, clicks and keys
        // wait until the answer is in.
        if (!answer) loop.exec(QEventLoop::ExcludeUserInputEvents);
        return answer.value_or(HttpResponse{});
    }

    void GetAsync(const QUrl& url, int timeoutMs, QObject* context, HttpCallback done) override {
        QString why;
        if (ModuleGet get = LoadModule(why)) {
            get(url, timeoutMs, context, std::move(done));
            return;
        }
        // No client: told like a request that could not be made, from the
        // event loop as an answer would be.
        HttpResponse response;
        response.error = why;
        QTimer::singleShot(0, context, [response, done = std::move(done)] { done(response); });
    }

    void OpenUrl(const QUrl& url) override {
        if (UrlOpener()) UrlOpener()(url);
    }
};

std::unique_ptr<Network>& Installed() {
    static std::unique_ptr<Network> instance = std::make_unique<QtNetwork>();
    return instance;
}

}  // namespace

void Network::GetAsync(const QUrl& url, int timeoutMs, QObject*, HttpCallback done) {
    done(Get(url, timeoutMs));
}

std::unique_ptr<Network> MakeQtNetwork() {
    return std::make_unique<QtNetwork>();
}

Network& network() {
    return *Installed();
}
void InstallNetwork(std::unique_ptr<Network> implementation) {
    Installed() = std::move(implementation);
}

void SetUrlOpener(std::function<void(const QUrl&)> opener) {
    UrlOpener() = std::move(opener);
}

QString MakerSite() {
    if (qEnvironmentVariableIsSet("QUENDLE_MAKER_SITE"))
        return qEnvironmentVariable("QUENDLE_MAKER_SITE").trimmed();
    return QStringLiteral(QUENDLE_MAKER_SITE);
}

namespace {
QUrl PageUrl(const char* path) {
    const QString site = MakerSite();
    if (site.isEmpty()) return {};
    return QUrl(site + QLatin1String(path));
}
}  // namespace

QUrl ContactPageUrl() {
    return PageUrl("/contact-us/");
}
QUrl VersionPageUrl() {
    return PageUrl("/download/quendle-editor-version.php");
}

}  // namespace platform
