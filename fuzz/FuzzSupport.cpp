#include "fuzz/FuzzSupport.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/EditorApp.h"
#include "app/TformMain.h"
#include "device/FtDriver.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "platform/Time.h"
#include "sim/VirtualPedalDriver.h"

namespace fuzz {
namespace {

platform::RecordingDialogs* g_dialogs = nullptr;
QTemporaryDir* g_folder = nullptr;
bool g_windows = false;

void DropConsoleLines() {
    platform::SetConsoleSink([](const QString&, platform::Scroll) {});
}

}  // namespace

void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "\n==== property broken at %s:%d: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

void StartPlatform() {
    if (g_dialogs) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "quendle-fuzz";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives as long as the process
    g_folder = new QTemporaryDir();
    if (!g_folder->isValid()) Fail("a temporary folder", __FILE__, __LINE__);
    platform::SetDocumentsFolder(g_folder->path());
    g_dialogs = &platform::InstallRecordingDialogs();
    platform::InstallCountingClock();
    ftd::InstallDriver(std::make_unique<sim::VirtualPedalDriver>());
    DropConsoleLines();
}

void StartEditor() {
    StartPlatform();
    if (g_windows) return;
    CreateWindows(false);
    g_windows = true;
    // The update check would ask the network; the version target runs it itself.
    formMain->TimerCheckWebVersion->stop();
    // The console window made itself the log's sink.
    DropConsoleLines();
}

platform::RecordingDialogs& FreshDialogs() {
    g_dialogs->messages.clear();
    g_dialogs->questions.clear();
    g_dialogs->answers.clear();
    g_dialogs->fileNames.clear();
    g_dialogs->fileRequests.clear();
    return *g_dialogs;
}

QString WriteFile(const QString& name, const QByteArray& bytes) {
    const QString path = g_folder->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        Fail("writing the input to a file", __FILE__, __LINE__);
    return path;
}

}  // namespace fuzz
