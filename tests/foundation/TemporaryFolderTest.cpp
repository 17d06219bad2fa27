// The information window's temporary folder: made for the first page a run
// shows, not at start, and gone at the end of the run, whether the editor was
// quit or ended by SIGTERM or SIGINT (which it handles by quitting cleanly).

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>

#include <signal.h>
#include <unistd.h>

#include "app/EditorApp.h"
#include "app/TformMain.h"
#include "library/tformFXInfo.h"
#include "platform/Errors.h"
#include "tests/support/EditorFixture.h"
#include "tests/support/ProcessState.h"

namespace {

const QString kAlgorithm = QStringLiteral("Quendle MK3 0008");

// The system's temporary folder, for this test: a folder of its own.
class TemporaryFolder : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        ASSERT_TRUE(tmp.isValid());
        previous = qgetenv("TMPDIR");
        tmpdir.emplace("TMPDIR", tmp.path().toLocal8Bit().constData());
        ASSERT_EQ(QDir::tempPath(), QDir(tmp.path()).canonicalPath());
    }
    void TearDown() override {
        EditorFixture::TearDown();
        tmpdir.reset();
    }
    QStringList Left() const {
        return QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    static QString FolderOf(const QUrl& page) { return QFileInfo(page.toLocalFile()).path(); }

    QTemporaryDir tmp;
    QByteArray previous;
    std::optional<ScopedEnvironment> tmpdir;
};

TEST_F(TemporaryFolder, IsMadeForTheFirstPageOnlyAndRemovedAtTheEnd) {
    StartEditor();
    EXPECT_EQ(Left(), QStringList{});
    // The window itself needs no folder.
    ASSERT_NE(formFXInfo->WebBrowser1, nullptr);
    EXPECT_EQ(Left(), QStringList{});

    const QUrl first = formFXInfo->WriteInformationPage(kAlgorithm);
    const QString folder = FolderOf(first);
    EXPECT_TRUE(QFileInfo(first.toLocalFile()).isFile());
    EXPECT_EQ(Left(), QStringList{QFileInfo(folder).fileName()});
    // A second page goes into the same folder.
    EXPECT_EQ(FolderOf(formFXInfo->WriteInformationPage(kAlgorithm)), folder);
    EXPECT_EQ(Left().size(), 1);

    DestroyWindows();
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_EQ(Left(), QStringList{});
}

// A cleaner of the temporary folder (or the user) removed the pages' folder
// while the editor ran: the next page gets a folder again, rather than every
// page failing until the editor is restarted; a temporary folder that cannot
// be written says so and leaves the window as it was.
TEST_F(TemporaryFolder, APageIsShownAfterItsFolderWasRemovedAndAnUnwritableOneIsReported) {
    StartEditor();
    const QString removed = FolderOf(formFXInfo->WriteInformationPage(kAlgorithm));
    ASSERT_TRUE(QDir(removed).removeRecursively());

    QListWidget* list = formMain->lstEffects;
    ASSERT_GT(list->count(), 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(list->item(0)).center());
    ASSERT_EQ(list->item(0)->text(), kAlgorithm);
    formMain->btnGetFXInfoClick();
    const QUrl shown = formFXInfo->WebBrowser1->source();
    EXPECT_TRUE(QFileInfo(shown.toLocalFile()).isFile()) << shown.toString().toStdString();
    EXPECT_FALSE(formFXInfo->WebBrowser1->toPlainText().isEmpty());
    EXPECT_EQ(Left().size(), 1);
    DestroyWindows();
    EXPECT_EQ(Left(), QStringList{});

    // The temporary folder is now a file: no folder can be made in it.
    StartEditor();
    ASSERT_TRUE(QDir(tmp.path()).removeRecursively());
    QFile blocker(tmp.path());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_THROW(formFXInfo->WriteInformationPage(kAlgorithm), platform::EditorError);
    EXPECT_FALSE(formFXInfo->isVisible());
    ASSERT_TRUE(QFile::remove(tmp.path()));
    ASSERT_TRUE(QDir().mkpath(tmp.path()));
}

// The run as the editor makes it (driver, windows, event loop, end), ended
// by a signal to the process once a page has been shown.
class EndedBySignal : public TemporaryFolder, public ::testing::WithParamInterface<int> {};

TEST_P(EndedBySignal, QuitsCleanlyAndLeavesNoFolder) {
    EditorOptions options;
    options.simulatedPedal = true;
    QString folder;
    bool safetyFired = false;
    // Should the signal not end the loop, the test must still end. The timer
    // goes with the case: left running, it would quit a later case's waits
    // and write to this one's finished stack.
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, &safety, [&] {
        safetyFired = true;
        QCoreApplication::quit();
    });
    QElapsedTimer clock;
    const int result = RunWindows(options, [&] {
        folder = FolderOf(formFXInfo->WriteInformationPage(kAlgorithm));
        EXPECT_TRUE(QFileInfo(folder).isDir());
        safety.start(10000);
        clock.start();
        ::kill(::getpid(), GetParam());
    });
    EXPECT_FALSE(safetyFired);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(formMain, nullptr);
    EXPECT_FALSE(folder.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_EQ(Left(), QStringList{});
}

INSTANTIATE_TEST_SUITE_P(Signals, EndedBySignal, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& info) {
                             return std::string(info.param == SIGTERM ? "SIGTERM" : "SIGINT");
                         });

// The editor program itself: SIGTERM ends it normally (exit status 0, not
// killed by the signal), and a run leaves nothing in the temporary folder.
TEST_F(TemporaryFolder, TheProgramEndsNormallyOnSigtermAndLeavesNothing) {
    // A home of its own, beside the temporary folder (not in it).
    QTemporaryDir home(QDir(QString::fromLocal8Bit(previous.isEmpty() ? "/tmp" : previous))
                           .filePath(QStringLiteral("quendle-home-XXXXXX")));
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("runtime")));
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess editor;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), tmp.path());
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("XDG_DOCUMENTS_DIR"));
    editor.setProcessEnvironment(environment);
    editor.setProcessChannelMode(QProcess::MergedChannels);
    editor.start(QStringLiteral(QUENDLE_EDITOR_PATH), {QStringLiteral("--simulated-pedal")});
    ASSERT_TRUE(editor.waitForStarted(5000));
    // Started: its folders in the documents folder are made before the
    // windows show and the signals are taken over; a moment more for that.
    const QString product = home.filePath(QStringLiteral("Documents/VORKEL/Quendle MK3"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(product).isDir(); }, 20000))
        << editor.readAll().toStdString();
    QTest::qWait(1000);
    ASSERT_EQ(editor.state(), QProcess::Running) << editor.readAll().toStdString();
    editor.terminate();  // SIGTERM
    ASSERT_TRUE(editor.waitForFinished(10000));
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit) << editor.readAll().toStdString();
    EXPECT_EQ(editor.exitCode(), 0);
    EXPECT_EQ(Left(), QStringList{});
}

}  // namespace
