#include <QAction>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <optional>

#include "app/EditorApp.h"
#include "app/TformMain.h"
#include "app/TformPrint.h"
#include "app/UpdateCheck.h"
#include "platform/ErrorReport.h"
#include "platform/Network.h"
#include "tests/support/EditorFixture.h"
#include "tests/support/ProcessState.h"

namespace {

// A web server on loopback that answers every request with one canned HTTP/1.1
// response (or, when silent, never answers) and keeps the request lines.
class CannedHttpServer : public QObject {
public:
    CannedHttpServer() {
        QObject::connect(&server_, &QTcpServer::newConnection, this, [this] { Accept(); });
    }
    bool Listen() { return server_.listen(QHostAddress::LocalHost); }
    void Close() { server_.close(); }
    QString Site() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }
    void Answer(int status, const QByteArray& reason, const QByteArray& body) {
        response_ =
            "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
            "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
            "\r\nConnection: close\r\n\r\n" + body;
    }
    void StaySilent() { response_.clear(); }
    QList<QByteArray> requestLines;
    QList<QByteArray> requests;

private:
    void Accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            socket->setParent(this);
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                QByteArray& request = pending_[socket];
                request += socket->readAll();
                if (!request.contains("\r\n\r\n")) return;
                requests << request;
                requestLines << request.left(request.indexOf("\r\n"));
                if (response_.isEmpty()) return;
                socket->write(response_);
                socket->disconnectFromHost();
            });
        }
    }
    QTcpServer server_;
    QByteArray response_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

class UpdateCheck : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        platform::InstallNetwork(platform::MakeQtNetwork());
        ASSERT_TRUE(server.Listen());
        site.emplace("QUENDLE_MAKER_SITE", server.Site().toUtf8().constData());
        StartEditor();
        // The cases below are written for an editor at 1.3.
        CurrentVersion = QStringLiteral("1.3");
        NewConsoleLines();
    }
    void TearDown() override {
        site.reset();
        VersionRequestTimeoutMs = kVersionRequestTimeoutMs;
        EditorFixture::TearDown();
    }
    std::optional<ScopedEnvironment> site;
    // What the timer's tick does, with its error report, and then the
    // answer's handling when it comes.
    void RunCheck() {
        EXPECT_TRUE(platform::Guard([] { formMain->checkmostrecentversiononwebsite(); }));
        EXPECT_TRUE(QTest::qWaitFor([] { return !VersionCheckPending; }, 15000));
    }
    QString Caption() const { return formMain->menuNewAppVersion->text(); }

    CannedHttpServer server;
};

struct AnswerCase {
    const char* name;
    int status;
    const char* reason;
    const char* body;
    const char* caption;
    QStringList messages;
    QStringList console;
};

class VersionPageAnswer : public UpdateCheck, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(VersionPageAnswer, SetsTheCaptionOrSaysWhyNot) {
    const AnswerCase& c = GetParam();
    server.Answer(c.status, c.reason, c.body);
    RunCheck();
    EXPECT_EQ(server.requestLines,
              QList<QByteArray>{"GET /download/quendle-editor-version.php HTTP/1.1"});
    EXPECT_EQ(Caption(), QString::fromUtf8(c.caption));
    EXPECT_EQ(dialogs->messages, c.messages);
    EXPECT_EQ(NewConsoleLines(), c.console);
    EXPECT_FALSE(formMain->TimerCheckWebVersion->isActive());
}

const char* const kUnchanged = "New version available:";

INSTANTIATE_TEST_SUITE_P(
    Answers, VersionPageAnswer,
    ::testing::Values(
        AnswerCase{"Newer", 200, "OK", "1.4", "New version available: 1.4", {}, {}},
        AnswerCase{"Same", 200, "OK", "1.3", "No update available", {}, {}},
        AnswerCase{"Older", 200, "OK", "1.2", "No update available", {}, {}},
        // Dots removed, then compared as numbers: 110 > 13, 9 < 13.
        AnswerCase{"TwoDigitMinor", 200, "OK", "1.10", "New version available: 1.10", {}, {}},
        AnswerCase{"OlderMajor", 200, "OK", "0.9", "No update available", {}, {}},
        // An error status is told once; no conversion error follows it.
        AnswerCase{"NotFound",
                   404,
                   "Not Found",
                   "<html>gone</html>",
                   kUnchanged,
                   {"Error: Not Found"},
                   {"wew"}},
        AnswerCase{"Garbage",
                   200,
                   "OK",
                   "<html>\n<b>1.4</b>",
                   kUnchanged,
                   {},
                   {"Update check stopped: the published version \"<html>\\n<b>1.4</b>\" is "
                    "not a number"}},
        AnswerCase{"Empty",
                   200,
                   "OK",
                   "",
                   kUnchanged,
                   {},
                   {"Update check stopped: the published version \"\" is not a number"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditorFixture, VersionRequestGoesToTheMakersSiteAsTheRunTimeSettingSays) {
    {
        const ScopedEnvironment site("QUENDLE_MAKER_SITE", "https://maker.example");
        StartEditor();
    }
    EXPECT_EQ(VersionRequestUrl,
              QUrl(QStringLiteral("https://maker.example/download/quendle-editor-version.php")));
    EXPECT_TRUE(VersionRequestUrl.query().isEmpty());
    EXPECT_TRUE(formMain->TimerCheckWebVersion->isActive());
    EXPECT_TRUE(formMain->menuSupport->isEnabled());
}

// The build's default: no maker's site, so no check and no Support page.
TEST_F(EditorFixture, WithoutTheMakersSiteNothingIsAskedAndSupportIsOff) {
    // A build that names a site stands in for one without through the
    // run-time setting, set but empty.
    {
        const ScopedEnvironment site(
            "QUENDLE_MAKER_SITE", QString::fromUtf8(QUENDLE_MAKER_SITE).isEmpty() ? nullptr : "");
        StartEditor();
    }
    EXPECT_TRUE(VersionRequestUrl.isEmpty());
    EXPECT_FALSE(formMain->TimerCheckWebVersion->isActive());
    EXPECT_EQ(formMain->menuNewAppVersion->text(), "Update check not set up in this build");
    EXPECT_FALSE(formMain->menuSupport->isEnabled());
    // Even a tick asks nothing.
    formMain->checkmostrecentversiononwebsite();
    QTest::qWait(1300);
    EXPECT_TRUE(network->gets.isEmpty());
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_EQ(formMain->menuNewAppVersion->text(), "Update check not set up in this build");
}

TEST_F(UpdateCheck, TimerRunsTheCheckOnceAboutASecondAfterStart) {
    server.Answer(200, "OK", "1.4");
    EXPECT_TRUE(formMain->TimerCheckWebVersion->isActive());
    EXPECT_EQ(formMain->TimerCheckWebVersion->interval(), 1000);
    QTRY_COMPARE_WITH_TIMEOUT(Caption(), QStringLiteral("New version available: 1.4"), 5000);
    EXPECT_EQ(PublishedVersion, "1.4");
    QTest::qWait(1300);
    ASSERT_EQ(server.requests.size(), 1);
    // No headers of our own: the user agent is Qt Network's default.
    EXPECT_TRUE(server.requests[0].contains("\r\nUser-Agent: Mozilla/5.0\r\n"))
        << server.requests[0].toStdString();
    EXPECT_FALSE(formMain->TimerCheckWebVersion->isActive());
}

// A check that cannot be made shows no box: the Info menu says so, and the
// console has one line with the client's reason.
TEST_F(UpdateCheck, RefusedConnectionIsOneConsoleLineAndNoBox) {
    PublishedVersion = QStringLiteral("1.2");
    server.Close();  // nothing listens on the port any more
    RunCheck();
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_EQ(NewConsoleLines(), QStringList{"Could not check for updates: Connection refused"});
    EXPECT_EQ(Caption(), "Could not check for updates");
    EXPECT_EQ(PublishedVersion, "1.2");
}

TEST_F(UpdateCheck, HostNotFoundIsOneConsoleLineAndNoBox) {
    // The reserved top-level name .invalid is never found (RFC 6761). A
    // resolver that cannot be reached at all ends in the time-out instead;
    // either way the host is named.
    VersionRequestTimeoutMs = 5000;
    VersionRequestUrl = QUrl(
        QStringLiteral("http://quendle-update-check.invalid/download/quendle-editor-version.php"));
    RunCheck();
    EXPECT_TRUE(dialogs->messages.isEmpty());
    const QStringList lines = NewConsoleLines();
    ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith("Could not check for updates: ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("quendle-update-check.invalid")) << lines[0].toStdString();
    EXPECT_EQ(Caption(), "Could not check for updates");
}

// A server that never answers: the check ends at its time-out (shortened
// here), and the windows take clicks and keys all the while.
TEST_F(UpdateCheck, SilentServerEndsAtTheTimeOutWithoutHoldingUpTheWindows) {
    server.StaySilent();
    VersionRequestTimeoutMs = 700;
    QElapsedTimer started;
    started.start();
    EXPECT_TRUE(platform::Guard([] { formMain->checkmostrecentversiononwebsite(); }));
    // The tick returns at once; the request waits in the background.
    EXPECT_LT(started.elapsed(), 300);
    EXPECT_TRUE(VersionCheckPending);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.requests.size() == 1; }, 2000));
    // A key the main window handles (the console's Ctrl+Shift+P) works now.
    QTest::keyClick(formMain->lstEffects, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(formPrint->isVisible());
    EXPECT_TRUE(VersionCheckPending);
    EXPECT_TRUE(QTest::qWaitFor([] { return !VersionCheckPending; }, 5000));
    EXPECT_GE(started.elapsed(), 650);
    EXPECT_LT(started.elapsed(), 3000);
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_EQ(
        NewConsoleLines(),
        QStringList{"Could not check for updates: No answer from 127.0.0.1 within 0.7 seconds"});
    EXPECT_EQ(Caption(), "Could not check for updates");
}

// A window that goes while the request waits takes the request with it.
TEST_F(UpdateCheck, AnswerAfterTheMainWindowIsGoneIsDropped) {
    server.StaySilent();
    VersionRequestTimeoutMs = 300;
    formMain->checkmostrecentversiononwebsite();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.requests.size() == 1; }, 2000));
    DestroyWindows();
    QTest::qWait(600);
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(UpdateCheck, OwnVersionThatIsNotANumberLeavesTheCaption) {
    CurrentVersion = QStringLiteral("Version info not available");
    server.Answer(200, "OK", "1.4");
    RunCheck();
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_EQ(NewConsoleLines(), QStringList{"Update check stopped: the own version \"Version info "
                                             "not available\" is not a number"});
    EXPECT_EQ(Caption(), kUnchanged);
}

TEST_F(UpdateCheck, SilentServerEndsWithATimeOut) {
    server.StaySilent();
    const platform::HttpResponse response =
        platform::network().Get(platform::VersionPageUrl(), 300);
    EXPECT_FALSE(response.completed);
    EXPECT_EQ(response.error, "No answer from 127.0.0.1 within 0.3 seconds");
    EXPECT_EQ(server.requests.size(), 1);
}

}  // namespace
