// Renders every window of the editor in every look to PNG files, for visual
// review: quendle-screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "app/EditorApp.h"
#include "app/TformMain.h"
#include "app/TformPrint.h"
#include "device/FtDriver.h"
#include "effects/TformFXsettings.h"
#include "effects/TformNoteTrackingFilter.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "library/tformFXInfo.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Resources.h"
#include "platform/Time.h"
#include "sim/VirtualPedalDriver.h"

namespace {

void Settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

void Save(QWidget* window, const QString& folder, const QString& look, const QString& name) {
    window->show();
    window->raise();
    Settle();
    const QString path = QDir(folder).filePath(look + QLatin1Char('-') + name + ".png");
    if (!window->grab().save(path)) qWarning("could not write %s", qPrintable(path));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(folder);

    QTemporaryDir documents;
    platform::SetDocumentsFolder(documents.path());
    platform::InstallRecordingDialogs();
    platform::InstallCountingClock();
    auto driver = std::make_unique<sim::VirtualPedalDriver>();
    driver->AddDevice("QMK3SIM1");
    ftd::InstallDriver(std::move(driver));

    CreateWindows(true);
    // Some life in the windows: a listed pedal, a chosen algorithm, a log.
    if (formMain->lstEffects->count() > 0) {
        formMain->lstEffects->setCurrentRow(0);
        formMain->effetto_cliccato();
        formMain->btnGetFXInfoClick();
    }
    formFXsettings->SetSettingsEnabled(true);
    for (int i = 0; i < 12; ++i)
        ConsolePrint(
            QStringLiteral("%1:    %2").arg(i).arg(i * 7 % 256, 2, 16, QLatin1Char('0')).toUpper());

    const struct {
        QWidget* window;
        const char* name;
    } windows[] = {
        {formMain, "main"},
        {formPrint, "console"},
        {formFXsettings, "settings"},
        {formFirmwareUpgrade, "firmware"},
        {formNoteTrackingFilter, "notecut"},
        {formFXInfo, "fxinfo"},
    };
    for (int look = 0; look <= 7; ++look) {
        const auto sheet = platform::FindResource(QStringLiteral("STYLE_%1").arg(look));
        if (!sheet) continue;
        app.setStyleSheet(QString::fromUtf8(*sheet));
        for (const auto& w : windows)
            Save(w.window, folder, QStringLiteral("look%1").arg(look), QLatin1String(w.name));
    }
    app.setStyleSheet(QString());
    for (const auto& w : windows)
        Save(w.window, folder, QStringLiteral("plain"), QLatin1String(w.name));
    DestroyWindows();
    return 0;
}
