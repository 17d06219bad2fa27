#include "app/EditorApp.h"

#include <QApplication>
#include <QIcon>

#include "app/QuitWhenIdle.h"
#include "app/TformMain.h"
#include "app/TformPrint.h"
#include "device/FtDriver.h"
#include "device/SerialPortDriver.h"
#include "effects/TformFXsettings.h"
#include "effects/TformNoteTrackingFilter.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "library/tformFXInfo.h"
#include "platform/Console.h"
#include "platform/QtDialogs.h"
#include "platform/Resources.h"
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

void CreateWindows(bool show) {
    formMain = new TformMain;
    formMain->FormCreate();
    // The other five are not shown at start: each is registered in its place
    // and built, with its FormCreate handler, when something first uses it.
    // What their handlers set up for the rest of the editor is set up here,
    // in the same order.
    formFirmwareUpgrade.Defer([] { return new TformFirmwareUpgrade(formMain); });
    AutoScroll = true;
    InstallConsoleSink();
    formPrint.Defer([] { return new TformPrint(formMain); });
    formFXInfo.Defer([] { return new tformFXInfo(formMain); });
    BuildParameterModel();
    formFXsettings.Defer([] { return new TformFXsettings(formMain); });
    formNoteTrackingFilter.Defer([] { return new TformNoteTrackingFilter(formMain); });
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

int RunEditor(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quendle Editor"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quendle Editor"));
    QApplication::setApplicationVersion(QStringLiteral(QUENDLE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quendle-editor"));
    if (auto icon = platform::FindResource(QStringLiteral("APP_ICON.SVG"))) {
        QPixmap pixmap;
        if (pixmap.loadFromData(*icon)) QApplication::setWindowIcon(QIcon(pixmap));
    }
    platform::InstallDesktopPlatform();
    const EditorOptions options = ParseEditorOptions(QApplication::arguments());
    InstallDriverFor(options);
    CreateWindows(false);
    if (options.quitWhenIdle) new QuitWhenIdle(formMain);
    formMain->show();
    const int result = app.exec();
    DestroyWindows();
    return result;
}
