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
        // Nothing of our own in the request: Qt Network's default headers,
        // its user agent included.
        QNetworkRequest request(url);
        request.setTransferTimeout(timeoutMs);
        std::unique_ptr<QNetworkReply> reply(manager.get(request));
        // The transfer time-out only counts silence; this one bounds the whole
        // request, a server that trickles its answer included.
        bool timedOut = false;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, reply.get(), [&] {
            timedOut = true;
            reply->abort();
        });
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        deadline.start(timeoutMs);
        // Synchronous to the user: timers and the network run, clicks and keys
        // wait until the answer is in.
        if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
        deadline.stop();
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid()) {
            response.completed = true;
            response.status = status.toInt();
            response.statusText =
                reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
            response.body = reply->readAll();
        } else if (timedOut || reply->error() == QNetworkReply::OperationCanceledError) {
            // Qt calls both time-outs "Operation canceled", which tells the
            // user nothing.
            response.error = QStringLiteral("No answer from %1 within %2 seconds")
                                 .arg(url.host())
                                 .arg(timeoutMs / 1000.0);
        } else {
            response.error = reply->errorString();
        }
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
    const QString env = qEnvironmentVariable("QUENDLE_MAKER_SITE");
    return env.isEmpty() ? QStringLiteral(QUENDLE_MAKER_SITE) : env;
}

QUrl ContactPageUrl() {
    return QUrl(MakerSite() + QStringLiteral("/contact-us/"));
}
QUrl VersionPageUrl() {
    return QUrl(MakerSite() + QStringLiteral("/download/quendle-editor-version.php"));
}

}  // namespace platform
