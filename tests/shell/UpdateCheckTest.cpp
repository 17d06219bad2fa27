#include <QAction>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include "app/TformMain.h"
#include "app/UpdateCheck.h"
#include "platform/ErrorReport.h"
#include "platform/Network.h"
#include "tests/support/EditorFixture.h"

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
        qputenv("QUENDLE_MAKER_SITE", server.Site().toUtf8());
        StartEditor();
        // The cases below are written for an editor at 1.3.
        CurrentVersion = QStringLiteral("1.3");
        NewConsoleLines();
    }
    void TearDown() override {
        qunsetenv("QUENDLE_MAKER_SITE");
        EditorFixture::TearDown();
    }
    // What the timer's tick does, with its error report.
    void RunCheck() {
        EXPECT_TRUE(platform::Guard([] { formMain->checkmostrecentversiononwebsite(); }));
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

TEST_F(EditorFixture, VersionRequestGoesToTheMakersSiteOverHttps) {
    StartEditor();
    EXPECT_EQ(VersionRequestUrl.scheme(), "https");
    EXPECT_EQ(VersionRequestUrl.path(), "/download/quendle-editor-version.php");
    EXPECT_TRUE(VersionRequestUrl.query().isEmpty());
    EXPECT_EQ(VersionRequestUrl.host(), QUrl(QStringLiteral(QUENDLE_MAKER_SITE)).host());
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

TEST_F(UpdateCheck, RequestThatCannotBeMadeIsToldOnceWithTheClientsReason) {
    PublishedVersion = QStringLiteral("1.2");
    server.Close();  // nothing listens on the port any more
    RunCheck();
    EXPECT_EQ(dialogs->messages, QStringList{"Error: Connection refused"});
    EXPECT_EQ(NewConsoleLines(), QStringList{"wew"});
    EXPECT_EQ(Caption(), kUnchanged);
    EXPECT_EQ(PublishedVersion, "1.2");
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
