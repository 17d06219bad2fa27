#include "platform/Network.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace platform {
namespace {

std::function<void(const QUrl&)>& UrlOpener() {
    static std::function<void(const QUrl&)> opener;
    return opener;
}

class QtNetwork : public Network {
public:
    HttpResponse Get(const QUrl& url, int timeoutMs) override {
        HttpResponse response;
        QNetworkAccessManager manager;
        QNetworkRequest request(url);
        request.setTransferTimeout(timeoutMs);
        QNetworkReply* reply = manager.get(request);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, reply, &QNetworkReply::abort);
        guard.start(timeoutMs + 500);
        if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid()) {
            response.completed = true;
            response.status = status.toInt();
            response.statusText =
                reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
            response.body = reply->readAll();
        } else {
            response.error = reply->errorString();
        }
        reply->deleteLater();
        return response;
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

Network& network() { return *Installed(); }
void InstallNetwork(std::unique_ptr<Network> implementation) {
    Installed() = std::move(implementation);
}

void SetUrlOpener(std::function<void(const QUrl&)> opener) { UrlOpener() = std::move(opener); }

QString MakerSite() {
    const QString env = qEnvironmentVariable("QUENDLE_MAKER_SITE");
    return env.isEmpty() ? QStringLiteral(QUENDLE_MAKER_SITE) : env;
}

QUrl ContactPageUrl() { return QUrl(MakerSite() + QStringLiteral("/contact-us/")); }
QUrl VersionPageUrl() {
    return QUrl(MakerSite() + QStringLiteral("/download/quendle-editor-version.php"));
}

}  // namespace platform
