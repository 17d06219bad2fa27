#include "platform/Network.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <optional>

namespace platform {
namespace {

std::function<void(const QUrl&)>& UrlOpener() {
    static std::function<void(const QUrl&)> opener;
    return opener;
}

// What a finished reply says, in the editor's terms.
HttpResponse ResponseOf(QNetworkReply& reply, const QUrl& url, int timeoutMs, bool timedOut) {
    HttpResponse response;
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        response.completed = true;
        response.status = status.toInt();
        response.statusText =
            reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        response.body = reply.readAll();
    } else if (timedOut || reply.error() == QNetworkReply::OperationCanceledError) {
        // Qt calls both time-outs "Operation canceled", which tells the user
        // nothing.
        response.error = QStringLiteral("No answer from %1 within %2 seconds")
                             .arg(url.host())
                             .arg(timeoutMs / 1000.0);
    } else {
        response.error = reply.errorString();
    }
    return response;
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
        // A manager for this request alone, owned by the context: when the
        // context goes, the request goes with it, unanswered.
        auto* manager = new QNetworkAccessManager(context);
        // Nothing of our own in the request: Qt Network's default headers,
        // its user agent included.
        QNetworkRequest request(url);
        request.setTransferTimeout(timeoutMs);
        QNetworkReply* reply = manager->get(request);
        // The transfer time-out only counts silence; this one bounds the whole
        // request, a server that trickles its answer included.
        auto* deadline = new QTimer(reply);
        deadline->setSingleShot(true);
        auto timedOut = std::make_shared<bool>(false);
        QObject::connect(deadline, &QTimer::timeout, reply, [reply, timedOut] {
            *timedOut = true;
            reply->abort();
        });
        QObject::connect(reply, &QNetworkReply::finished, manager,
                         [manager, reply, deadline, url, timeoutMs, timedOut,
                          done = std::move(done)] {
                             deadline->stop();
                             const HttpResponse response =
                                 ResponseOf(*reply, url, timeoutMs, *timedOut);
                             manager->deleteLater();
                             done(response);
                         });
        deadline->start(timeoutMs);
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
