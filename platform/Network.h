#pragma once
// The outside world beyond the pedal: one HTTP GET with a time-out, and opening
// a web address in the user's browser.

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class QObject;

namespace platform {

struct HttpResponse {
    bool completed = false;  // false: the request could not be made (see error)
    int status = 0;
    QString statusText;
    QByteArray body;
    QString error;  // the client's error text when not completed
};

using HttpCallback = std::function<void(const HttpResponse&)>;

class Network {
public:
    virtual ~Network() = default;
    // Blocks the caller until the answer arrives, the time-out passes or the
    // request fails; user input to the windows is held back meanwhile.
    virtual HttpResponse Get(const QUrl& url, int timeoutMs) = 0;
    // Starts the request and returns at once; `done` gets the answer (or why
    // there is none) from the event loop, within timeoutMs of the start, and
    // the windows go on meanwhile. Nothing is called when `context` goes
    // first: the request goes with it. This default answers at once through
    // Get(), which is what test doubles want.
    virtual void GetAsync(const QUrl& url, int timeoutMs, QObject* context, HttpCallback done);
    virtual void OpenUrl(const QUrl& url) = 0;
};

Network& network();
void InstallNetwork(std::unique_ptr<Network> implementation);
// The implementation the editor runs with: Qt Network (HTTPS with its default
// user agent), waiting in a local event loop that holds back user input.
std::unique_ptr<Network> MakeQtNetwork();

// How the default implementation opens a web address; the GUI sets the
// desktop's browser here at start.
void SetUrlOpener(std::function<void(const QUrl&)> opener);

// The maker's web site and the pages the editor uses. The site is a build
// setting (QUENDLE_MAKER_SITE, empty by default) that the environment variable
// of the same name overrides at run time; set but empty, it means none. With
// no site the pages are empty addresses.
QString MakerSite();
QUrl ContactPageUrl();
QUrl VersionPageUrl();

}  // namespace platform
