#include "app/EditorApp.h"

#include <QApplication>
#include <QIcon>

#include "app/SecondaryWindows.h"
#include "app/TformMain.h"
#include "app/TformPrint.h"
#include "device/FtDriver.h"
#include "device/SerialPortDriver.h"
#include "effects/TformFXsettings.h"
#include "effects/TformNoteTrackingFilter.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "library/tformFXInfo.h"
#include "platform/QtDialogs.h"
#include "platform/Resources.h"
#include "sim/VirtualPedalDriver.h"

EditorOptions ParseEditorOptions(const QStringList& arguments) {
    EditorOptions options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--simulated-pedal")) {
            options.simulatedPedal = true;
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
    formFirmwareUpgrade = new TformFirmwareUpgrade(formMain);
    formFirmwareUpgrade->FormCreate();
    formPrint = new TformPrint(formMain);
    formPrint->FormCreate();
    formFXInfo = new tformFXInfo(formMain);
    formFXInfo->FormCreate();
    formFXsettings = new TformFXsettings(formMain);
    formFXsettings->FormCreate();
    formNoteTrackingFilter = new TformNoteTrackingFilter(formMain);
    formNoteTrackingFilter->FormCreate();
    InstallWindowAccessibility();
    for (QWidget* window : std::initializer_list<QWidget*>{formPrint, formFXInfo, formFXsettings,
                                                           formNoteTrackingFilter})
        CloseOnEscape(window);
    CloseOnEscape(formFirmwareUpgrade, [] { return !FirmwareUpgradeRunning; });
    if (show) formMain->show();
}

void DestroyWindows() {
    // The other windows are children of the main window and go with it.
    delete formMain;
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
    InstallDriverFor(ParseEditorOptions(QApplication::arguments()));
    CreateWindows();
    const int result = app.exec();
    DestroyWindows();
    return result;
}
