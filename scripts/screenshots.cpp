// Renders every window of the editor in every look to PNG files, for visual
// review: quendle-screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include "app/EditorApp.h"
#include "app/TformMain.h"
#include "app/TformPrint.h"
#include "device/FtDriver.h"
#include "effects/QuendleDial.h"
#include "effects/QuendleSwitch.h"
#include "effects/TformFXsettings.h"
#include "effects/TformNoteTrackingFilter.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "library/PresetFile.h"
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
    // Active, so that the control with the keyboard focus shows it.
    window->activateWindow();
    Settle();
    const QString path = QDir(folder).filePath(look + QLatin1Char('-') + name + ".png");
    if (!window->grab().save(path)) qWarning("could not write %s", qPrintable(path));
}

// What the screen shows around a window, popups and dialogs on top included
// (needs a real X server; under the offscreen platform it stays blank).
void SaveScreen(const QRect& area, const QString& folder, const QString& look,
                const QString& name) {
    Settle();
    const QString path = QDir(folder).filePath(look + QLatin1Char('-') + name + ".png");
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(path))
        qWarning("could not write %s", qPrintable(path));
}

// The main window with its Settings menu and the Look submenu open.
void SaveOpenMenu(const QString& folder, const QString& look) {
    formMain->show();
    formMain->move(40, 40);
    formMain->raise();
    formMain->activateWindow();
    Settle();
    QMenuBar* bar = formMain->menuBar();
    bar->setActiveAction(formMain->menuSettings->menuAction());
    Settle();
    formMain->menuSettings->setActiveAction(formMain->menuLook->menuAction());
    formMain->menuLook->popup(formMain->menuSettings->mapToGlobal(
        formMain->menuSettings->actionGeometry(formMain->menuLook->menuAction()).topRight()));
    Settle();
    const QRect frame = formMain->frameGeometry();
    SaveScreen(QRect(frame.topLeft(), QSize(frame.width() + 160, frame.height() + 60)), folder,
               look, QStringLiteral("menu"));
    formMain->menuLook->hide();
    formMain->menuSettings->hide();
    bar->setActiveAction(nullptr);
    Settle();
}

// The settings window with one of its assignment lists open.
void SaveOpenList(const QString& folder, const QString& look) {
    formFXsettings->show();
    formFXsettings->move(40, 40);
    formFXsettings->raise();
    formFXsettings->activateWindow();
    Settle();
    formFXsettings->cmbAssignCtrlUNO->showPopup();
    const QRect frame = formFXsettings->frameGeometry();
    SaveScreen(QRect(frame.topLeft(), QSize(frame.width() + 120, frame.height() + 40)), folder,
               look, QStringLiteral("settings-list"));
    formFXsettings->cmbAssignCtrlUNO->hidePopup();
    Settle();
}

// A message box and a Yes/No question as the editor shows them.
void SaveMessageBoxes(const QString& folder, const QString& look) {
    const struct {
        QMessageBox::Icon icon;
        QString text;
        QMessageBox::StandardButtons buttons;
        const char* name;
    } boxes[] = {
        {QMessageBox::NoIcon,
         QStringLiteral("This parameter is currently assigned and cannot be controlled from here"),
         QMessageBox::Ok, "message"},
        {QMessageBox::Question, QStringLiteral("Upload the selected algorithm?"),
         QMessageBox::Yes | QMessageBox::No, "question"},
    };
    for (const auto& b : boxes) {
        QMessageBox box(b.icon, QApplication::applicationDisplayName(), b.text, b.buttons,
                        formMain);
        box.show();
        Settle();
        box.grab().save(QDir(folder).filePath(look + QLatin1Char('-') + b.name + ".png"));
        box.hide();
    }
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

    // A few presets for the settings window's list, one with a long name.
    const QDir presets(documents.path() + QStringLiteral("/VORKEL/Quendle MK3/Preset"));
    QDir().mkpath(presets.path());
    for (const char* preset : {"Warm bass", "Synth lead with the filter wide open and fast", "Dub",
                               "Preset 1", "Preset 2"}) {
        QFile file(presets.filePath(QLatin1String(preset) + QStringLiteral(".txt")));
        if (file.open(QIODevice::WriteOnly)) file.write(PresetFileBytes(PresetText({})));
    }

    CreateWindows(true);
    formFXsettings->lstPresets->setCurrentRow(1);
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

    // Connected to the virtual pedal and after a Request: the firmware
    // version shown, the buttons enabled, the dials at the pedal's values
    // and then at a spread of angles.
    formMain->ConnectOnClick();
    formMain->btnRequestClick();
    const int angles[] = {-135, 170, 90, 45, 0, -45, 120};
    QuendleDial* dials[] = {formFXsettings->dialDry,     formFXsettings->dialMinus1Oct,
                            formFXsettings->dialSubMix,  formFXsettings->dialMinus2Oct,
                            formFXsettings->dialLowPass, formFXsettings->dialHighPass,
                            formFXsettings->dialRange};
    for (std::size_t i = 0; i < std::size(dials); ++i) dials[i]->setAngle(angles[i]);
    formFXsettings->dialInputLevel->setAngle(100);
    formFXsettings->dialClipWave->setAngle(-45);
    formFXsettings->dial1stHarmonic->setAngle(30);
    formFXsettings->swtWave->setChecked(true);
    formFXsettings->cmbVariableWavePitch->setCurrentIndex(12);
    // The knobs' figures come from the parameters: give them the values the
    // angles stand for, and put Wave Clip on CTRL II to show a locked knob.
    paramDry->value = DialAngleToValue(formFXsettings->dialDry->angle());
    paramMinus1Oct->value = DialAngleToValue(formFXsettings->dialMinus1Oct->angle());
    paramSubMix->value = DialAngleToValue(formFXsettings->dialSubMix->angle());
    paramMinus2Oct->value = DialAngleToValue(formFXsettings->dialMinus2Oct->angle());
    paramLowPass->value = 14;
    paramHighPass->value = 3;
    paramRange->value = 22;
    formFXsettings->dialLowPass->setAngle(ValueToDialAngle(14, 24));
    formFXsettings->dialHighPass->setAngle(ValueToDialAngle(3, 16));
    formFXsettings->dialRange->setAngle(ValueToDialAngle(22, 22));
    param1stHarmonic->value = DialAngleToValue(30);
    paramInputLevel->value = DialAngleToValue(100);
    formFXsettings->cmbAssignCtrlDUE->setCurrentIndex(3);
    paramWaveClip->is_assigned = true;
    formFXsettings->ShowKnobText();
    // Focus moved as the Tab key moves it, so that the looks show their focus marks.
    formFXsettings->dialInputLevel->setFocus(Qt::TabFocusReason);
    formMain->btnRequest->setFocus(Qt::TabFocusReason);
    formNoteTrackingFilter->chkA2->setChecked(true);
    formNoteTrackingFilter->chkB2->setChecked(true);
    formNoteTrackingFilter->chkB2->setFocus(Qt::TabFocusReason);
    for (int look = 0; look <= 8; ++look) {
        // Look 8 does not exist: the toolkit's own look.
        const auto sheet = platform::FindResource(QStringLiteral("STYLE_%1").arg(look));
        const QString name = sheet ? QStringLiteral("look%1").arg(look) : QStringLiteral("plain");
        app.setStyleSheet(sheet ? QString::fromUtf8(*sheet) : QString());
        Save(formMain, folder, name, QStringLiteral("main-connected"));
        Save(formFXsettings, folder, name, QStringLiteral("settings-connected"));
        Save(formNoteTrackingFilter, folder, name, QStringLiteral("notecut-focus"));
        SaveOpenMenu(folder, name);
        SaveOpenList(folder, name);
        SaveMessageBoxes(folder, name);
    }
    // Texts that do not fit: another bridge's long name, and the pedal's
    // upload answer with its line break.
    formMain->lblDeviceName->setText(QStringLiteral("USB <-> Serial Converter connected"));
    formMain->lblStatus->setText(QStringLiteral("Upload complete\r\n"));
    Save(formMain, folder, QStringLiteral("plain"), QStringLiteral("main-long"));
    // A Connect that brings a bootloader back in step, and a message the
    // link refused (the whole text is in the tooltip).
    formMain->lblStatus->setText(QStringLiteral("Finding the bootloader\u2026"));
    Save(formMain, folder, QStringLiteral("plain"), QStringLiteral("main-finding-bootloader"));
    formMain->lblStatus->setText(QStringLiteral(
        "The pedal still waits for the algorithm an upload announced and would take any message "
        "as part of it; nothing was sent. Switch the pedal off and on, then use Disconnect and "
        "Connect."));
    Save(formMain, folder, QStringLiteral("plain"), QStringLiteral("main-refused"));
    DestroyWindows();
    return 0;
}
