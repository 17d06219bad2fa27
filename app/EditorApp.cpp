#include "app/EditorApp.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "app/LookSettings.h"
#include "app/QuitWhenIdle.h"
#include "app/SecondaryWindows.h"
#include "app/TformMain.h"
#include "app/TformPrint.h"
#include "device/FtDriver.h"
#include "device/SerialPortDriver.h"
#include "effects/PedalModel.h"
#include "effects/TformFXsettings.h"
#include "effects/TformNoteTrackingFilter.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "library/tformFXInfo.h"
#include "platform/Console.h"
#include "platform/Fonts.h"
#include "platform/QtDialogs.h"
#include "platform/Resources.h"
#include "platform/Style.h"
#include "sim/VirtualPedalDriver.h"

EditorOptions ParseEditorOptions(const QStringList& arguments) {
    EditorOptions options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--simulated-pedal")) {
            options.simulatedPedal = true;
        } else if (argument == QLatin1String("--quit-when-idle")) {
            options.quitWhenIdle = true;
        } else if (argument == QLatin1String("--port") && i + 1 < arguments.size()) {
            options.ports << arguments[++i];
        } else if (argument.startsWith(QLatin1String("--port="))) {
            options.ports << argument.mid(7);
        }
    }
    return options;
}

void InstallDriverFor(const EditorOptions& options) {
    if (options.simulatedPedal) {
        auto driver = std::make_unique<sim::VirtualPedalDriver>();
        // The sync byte of Upgrade Mode puts it into its bootloader, as the
        // pedal's boot button does, so the firmware upgrade can be tried too.
        driver->AddDevice("QMK3SIM1").SetBootOnSync(true);
        ftd::InstallDriver(std::move(driver));
    } else {
        ftd::InstallDriver(std::make_unique<SerialPortDriver>(options.ports));
    }
}

namespace {

// A secondary window that Escape closes, as a dialog would.
template <class W>
W* Escapable(W* window) {
    CloseOnEscape(window);
    return window;
}

}  // namespace

void CreateWindows(bool show) {
    platform::UseEditorStyle();
    platform::UseSansForApplication();
    ApplyRememberedLook();
    formMain = new TformMain;
    formMain->FormCreate();
    // The other five are not shown at start: each is registered in its place
    // and built, with its FormCreate handler, when something first uses it.
    // What their handlers set up for the rest of the editor is set up here,
    // in the same order.
    InstallWindowAccessibility();
    formFirmwareUpgrade.Defer([] {
        auto* window = new TformFirmwareUpgrade(formMain);
        CloseOnEscape(window, [] { return !FirmwareUpgradeRunning; });
        return window;
    });
    AutoScroll = true;
    InstallConsoleSink();
    formPrint.Defer([] { return Escapable(new TformPrint(formMain)); });
    formFXInfo.Defer([] { return Escapable(new tformFXInfo(formMain)); });
    BuildParameterModel();
    Model().Reset();
    formFXsettings.Defer([] { return Escapable(new TformFXsettings(formMain)); });
    formNoteTrackingFilter.Defer([] { return Escapable(new TformNoteTrackingFilter(formMain)); });
    if (show) formMain->show();
}

void DestroyWindows() {
    // The other windows are children of the main window and go with it; one
    // that was never built is not built now.
    formFirmwareUpgrade = nullptr;
    formPrint = nullptr;
    formFXInfo = nullptr;
    formFXsettings = nullptr;
    formNoteTrackingFilter = nullptr;
    delete formMain;
    // As the console window's end does, when there was one.
    platform::SetConsoleSink(nullptr);
}

void SetWindowIcon() {
    // Drawn at build time (scripts/render_icon.cpp), as the bare pixels of a
    // 128 x 128 image: the SVG would load a plug-in and be drawn, an image
    // file be decoded, at every start.
    constexpr int kIconSize = 128;
    const auto icon = platform::FindResource(QStringLiteral("APP_ICON.ARGB32"));
    if (!icon || icon->size() != kIconSize * kIconSize * 4) return;
    // The pixels are copied: the bytes may be the program's own resource data,
    // which an image must not keep pointing into (nor into a buffer that goes
    // at the end of this function).
    const QImage pixels =
        QImage(reinterpret_cast<const uchar*>(icon->constData()), kIconSize, kIconSize,
               QImage::Format_ARGB32_Premultiplied)
            .copy();
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(pixels)));
}

int RunEditor(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quendle Editor"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quendle Editor"));
    QApplication::setApplicationVersion(QStringLiteral(QUENDLE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quendle-editor"));
    SetWindowIcon();
    platform::InstallDesktopPlatform();
    return RunWindows(ParseEditorOptions(QApplication::arguments()));
}

int RunWindows(const EditorOptions& options, const std::function<void()>& started) {
    InstallDriverFor(options);
    CreateWindows(false);
    if (options.quitWhenIdle) new QuitWhenIdle(formMain);
    QuitOnTerminationSignals();
    formMain->show();
    if (started) started();
    const int result = QApplication::exec();
    DestroyWindows();
    return result;
}

namespace {

// The signal handler's only way into the event loop: a byte down a pipe.
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int signal) {
    // Only what a signal handler may do: the next signal ends the program at
    // once, and one byte tells the event loop.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    sigaction(SIGTERM, &byDefault, nullptr);
    sigaction(SIGINT, &byDefault, nullptr);
    const int savedErrno = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = write(g_signalPipe[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

void QuitOnTerminationSignals() {
    // One notifier for the application's life.
    static QPointer<QSocketNotifier> notifier;
    if (g_signalPipe[0] < 0 && pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    if (!notifier) {
        notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
            char byte;
            while (read(g_signalPipe[0], &byte, 1) > 0) {
            }
            // As the close box, but also during a firmware upgrade: the main
            // window's close handler cancels any wait for the pedal and
            // quits; the quit ends every event loop running, a message box's
            // included.
            if (formMain) formMain->CloseWhateverRuns();
            QCoreApplication::quit();
        });
    }
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
