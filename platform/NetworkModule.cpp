// The editor's HTTP client, in a module of its own (libquendle_network.so)
// that platform/Network.cpp loads at the first request, so that Qt Network
// and what it brings cost the editor's start nothing. One entry point:
// quendle_network_get, the GetAsync of platform::Network.

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <memory>

#include "platform/Network.h"

namespace {

using platform::HttpResponse;

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

}  // namespace

extern "C" Q_DECL_EXPORT void quendle_network_get(const QUrl& url, int timeoutMs, QObject* context,
                                                  platform::HttpCallback done) {
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
                     [manager, reply, deadline, url, timeoutMs, timedOut, done = std::move(done)] {
                         deadline->stop();
                         const HttpResponse response =
                             ResponseOf(*reply, url, timeoutMs, *timedOut);
                         manager->deleteLater();
                         done(response);
                     });
    deadline->start(timeoutMs);
}
