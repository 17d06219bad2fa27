#include "app/TformMain.h"

#include "app/MainWindowConnection.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

#include "app/AppVersion.h"
#include "app/DeviceListing.h"
#include "app/LookSettings.h"
#include "app/TformPrint.h"
#include "app/UpdateCheck.h"
#include "app/WrapButton.h"
#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "library/Catalogue.h"
#include "library/UserFileHandlers.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Fonts.h"
#include "platform/Network.h"

using platform::Guarded;

TformMain* formMain = nullptr;
QString CurrentVersion;

namespace {

constexpr int kClientWidth = 354;
constexpr int kClientHeight = 244;

// The device and status labels: one line; a text too long for it is cut
// short with an ellipsis (a description keeps " connected" at its end), and
// the whole text is in the tooltip. text() stays the whole text, which the
// connection code reads back.
class DeviceLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override {
        const QString whole = text();
        const QFontMetrics fm(font());
        const QRect room = contentsRect();
        QString shown = whole;
        if (fm.horizontalAdvance(whole) > room.width()) {
            const QString suffix = QStringLiteral(" connected");
            const bool keep = whole.endsWith(suffix);
            const QString head = keep ? whole.chopped(suffix.size()) : whole;
            const int tail = keep ? fm.horizontalAdvance(suffix) : 0;
            shown = fm.elidedText(head, Qt::ElideRight, room.width() - tail) +
                    (keep ? suffix : QString());
        }
        const QString tip = shown == whole ? QString() : whole;
        if (toolTip() != tip) setToolTip(tip);
        QPainter p(this);
        style()->drawItemText(&p, room, alignment(), palette(), isEnabled(), shown,
                              foregroundRole());
    }
};

QFont MainFont() {
    return platform::InstalledFont(platform::SansFamilies(), 11);
}

}  // namespace

TformMain::TformMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("formMain"));
    setWindowTitle(QStringLiteral("Quendle Editor"));
    // A single fixed border with the system menu and the minimise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    BuildMenus();
    BuildControls();
    ConnectHandlers();
    // The size is fixed at the end of the start-up sequence, in the look it
    // applies (measuring the menu bar now would style it twice).
    qApp->installEventFilter(this);
}

TformMain::~TformMain() {
    qApp->removeEventFilter(this);
    if (formMain == this) formMain = nullptr;
}

void TformMain::FitClientArea() {
    // The client area below the menu bar is fixed; the window cannot be
    // resized. A look can change the bar's height, so this runs again then.
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
}

void TformMain::BuildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(client);

    auto label = [&](const char* name, const QString& text) {
        // The device and status lines are cut short with the whole text in
        // the tooltip; the others always fit.
        auto* l = QLatin1String(name) == QLatin1String("lblDeviceName") ||
                          QLatin1String(name) == QLatin1String("lblStatus")
                      ? new DeviceLabel(text, client)
                      : new QLabel(text, client);
        l->setObjectName(QLatin1String(name));
        l->setFont(MainFont());
        // One line, clipped at the column's edge: a long device name or a
        // pedal answer ending in a line break must not push the buttons about.
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        l->setFixedHeight(QFontMetrics(MainFont()).height() + 2);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    };
    auto button = [&](const char* name, const QString& text, bool wraps) {
        QPushButton* b = wraps ? new WrapButton(text, client) : new QPushButton(text, client);
        b->setObjectName(QLatin1String(name));
        b->setFont(MainFont());
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        return b;
    };

    lblDeviceName = label("lblDeviceName", QStringLiteral("No device found"));
    lblDeviceName->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    btnUpload = button("btnUpload", QStringLiteral("Upload Selected"), true);
    btnRequest = button("btnRequest", QStringLiteral("Request"), false);
    lblStatus = label("lblStatus", QStringLiteral("Status: "));
    btnSaveParameters = button("btnSaveParameters", QStringLiteral("Save Parameters"), true);
    btnAssign = button("btnAssign", QStringLiteral("Assign"), false);
    btnSetFootswitchMode =
        button("btnSetFootswitchMode", QStringLiteral("Set Footswitch Mode"), true);
    // Tahoma where it is installed; elsewhere the windows' own sans, whose
    // letters are about as wide (a narrow face would be one more font to load
    // at start for one caption that wraps anyway).
    btnSetFootswitchMode->setFont(platform::InstalledFont(
        QStringList{QStringLiteral("Tahoma")} + platform::SansFamilies(), 10.5));
    btnSetTuning = button("btnSetTuning", QStringLiteral("Set Tuning"), false);
    btnGetFXInfo = button("btnGetFXInfo", QStringLiteral("?"), false);
    btnGetFXInfo->setCursor(Qt::WhatsThisCursor);
    btnGetFXInfo->setEnabled(false);
    btnGetFXInfo->setVisible(false);
    btnGetFXInfo->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    btnGetFXInfo->setFixedWidth(24);
    btnOpenEffect = button("btnOpenEffect", QStringLiteral("Open FX"), false);
    btnOpenEffect->setVisible(false);
    lblFirmwareVersion = label("lblFirmwareVersion", QStringLiteral("Firmware Version: "));
    chkFirmwareUpgradeMode = new QCheckBox(QStringLiteral("Firmware Upgrade Mode"), client);
    chkFirmwareUpgradeMode->setObjectName(QStringLiteral("chkFirmwareUpgradeMode"));
    chkFirmwareUpgradeMode->setVisible(false);

    lstEffects = new QListWidget(client);
    lstEffects->setObjectName(QStringLiteral("lstEffects"));
    lstEffects->setFont(MainFont());
    // Wide enough for an algorithm name such as "Quendle MK3 0008" in any look.
    lstEffects->setFixedWidth(std::max(
        128, QFontMetrics(MainFont()).horizontalAdvance(QStringLiteral("Quendle MK3 0008")) + 30));
    lstEffects->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstEffects->setAccessibleName(QStringLiteral("Algorithms"));
    // Buttons with a sign for a caption say what they do.
    btnGetFXInfo->setAccessibleName(QStringLiteral("Algorithm information"));

    UploadCheckTimer = new QTimer(this);
    UploadCheckTimer->setObjectName(QStringLiteral("UploadCheckTimer"));
    UploadCheckTimer->setInterval(5000);
    TimerCheckWebVersion = new QTimer(this);
    TimerCheckWebVersion->setObjectName(QStringLiteral("TimerCheckWebVersion"));
    TimerCheckWebVersion->setInterval(1000);

    auto* column = new QGridLayout;
    column->setHorizontalSpacing(4);
    column->setVerticalSpacing(5);
    column->addWidget(lblDeviceName, 0, 0, 1, 2);
    column->addWidget(btnUpload, 1, 0);
    column->addWidget(btnRequest, 1, 1);
    column->addWidget(lblStatus, 2, 0, 1, 2);
    column->addWidget(btnSaveParameters, 3, 0);
    column->addWidget(btnAssign, 3, 1);
    column->addWidget(btnSetFootswitchMode, 4, 0);
    auto* tuningRow = new QHBoxLayout;
    tuningRow->setSpacing(4);
    tuningRow->addWidget(btnSetTuning);
    tuningRow->addWidget(btnGetFXInfo);
    column->addLayout(tuningRow, 4, 1);
    column->addWidget(lblFirmwareVersion, 5, 0, 1, 2);
    column->addWidget(btnOpenEffect, 6, 0);
    column->addWidget(chkFirmwareUpgradeMode, 6, 1);
    for (int row : {1, 3, 4}) column->setRowStretch(row, 1);
    // The left buttons carry the long, wrapped captions.
    column->setColumnStretch(0, 11);
    column->setColumnStretch(1, 9);

    auto* outer = new QHBoxLayout(client);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->setSpacing(6);
    outer->addLayout(column, 1);
    outer->addWidget(lstEffects);
}

void TformMain::BuildMenus() {
    MenuBar1 = menuBar();
    MenuBar1->setObjectName(QStringLiteral("MenuBar1"));
    auto menu = [&](QMenu* parentMenu, const char* name, const QString& title) {
        QMenu* m = parentMenu ? parentMenu->addMenu(title) : MenuBar1->addMenu(title);
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name) + QStringLiteral("Item"));
        return m;
    };
    auto item = [&](QMenu* m, const char* name, const QString& caption) {
        QAction* a = m->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };

    menuFile = menu(nullptr, "menuFile", QStringLiteral("&File"));
    menuLoadPreset = item(menuFile, "menuLoadPreset", QStringLiteral("&Load Preset"));
    menuLoadPreset->setEnabled(false);
    menuSavePreset = item(menuFile, "menuSavePreset", QStringLiteral("&Save Preset"));
    menuSavePreset->setEnabled(false);
    menuLoadIR = item(menuFile, "menuLoadIR", QStringLiteral("Load &IR"));
    menuLoadIR->setEnabled(false);
    menuLoadIR->setVisible(false);
    menuFile->addSeparator();
    menuBackUpPedal = item(menuFile, "menuBackUpPedal", QStringLiteral("&Back Up Pedal..."));
    menuBackUpPedal->setEnabled(false);
    menuRestorePedal = item(menuFile, "menuRestorePedal", QStringLiteral("&Restore Pedal..."));
    menuRestorePedal->setEnabled(false);

    menuConnection = menu(nullptr, "menuConnection", QStringLiteral("&Connection"));
    menuScan = item(menuConnection, "menuScan", QStringLiteral("&Scan"));
    menuConnect = item(menuConnection, "menuConnect", QStringLiteral("&Connect"));
    menuDisconnect = item(menuConnection, "menuDisconnect", QStringLiteral("&Disconnect"));
    menuDisconnect->setEnabled(false);

    menuSettings = menu(nullptr, "menuSettings", QStringLiteral("&Settings"));
    menuLook = menu(menuSettings, "menuLook", QStringLiteral("&Look"));
    menuMIDI = menu(menuSettings, "menuMIDI", QStringLiteral("&MIDI"));
    menuMIDIchannel = menu(menuMIDI, "menuMIDIchannel", QStringLiteral("&Channel"));
    menuEnableAllParameters =
        item(menuSettings, "menuEnableAllParameters", QStringLiteral("&Enable All Parameters"));
    menuEnableAllParameters->setCheckable(true);
    menuEnableAllParameters->setVisible(false);
    // Nothing else opens the note cut window, so it gets its own item here.
    menuNoteCut = item(menuSettings, "menuNoteCut", QStringLiteral("&Note Cut"));

    menuFirmwareUpgrade = menu(nullptr, "menuFirmwareUpgrade", QStringLiteral("Fir&mware Upgrade"));
    menuFirmwareUpgradeMode =
        item(menuFirmwareUpgrade, "menuFirmwareUpgradeMode", QStringLiteral("&Upgrade Mode"));
    menuFirmwareUpgradeMode->setCheckable(true);
    menuStartFirmwareUpgrade = item(menuFirmwareUpgrade, "menuStartFirmwareUpgrade",
                                    QStringLiteral("&Start Firmware Upgrade"));
    menuStartFirmwareUpgrade->setEnabled(false);

    menuInfo = menu(nullptr, "menuInfo", QStringLiteral("&Info"));
    menuSupport = item(menuInfo, "menuSupport", QStringLiteral("S&upport"));
    menuAppVersion = item(menuInfo, "menuAppVersion", QStringLiteral("Editor Version: "));
    menuAppVersion->setEnabled(false);
    menuNewAppVersion =
        item(menuInfo, "menuNewAppVersion", QStringLiteral("New version available:"));
    menuNewAppVersion->setEnabled(false);
    menuSerialNumber = item(menuInfo, "menuSerialNumber", QStringLiteral("Serial Number: "));
    menuSerialNumber->setEnabled(false);
}

void TformMain::ConnectHandlers() {
    FollowLink(*this);
    connect(menuInfo, &QMenu::aboutToShow, this, Guarded([this] { menuInfoClick(); }));
    connect(menuSupport, &QAction::triggered, this, Guarded([this] { menuSupportClick(); }));
    connect(menuScan, &QAction::triggered, this, Guarded([this] { menuScanClick(); }));
    connect(menuConnect, &QAction::triggered, this, Guarded([this] { ConnectOnClick(); }));
    connect(menuDisconnect, &QAction::triggered, this, Guarded([this] { menuDisconnectClick(); }));
    connect(btnRequest, &QPushButton::clicked, this, Guarded([this] { btnRequestClick(); }));
    connect(btnUpload, &QPushButton::clicked, this, Guarded([this] { btnUploadClick(); }));
    connect(UploadCheckTimer, &QTimer::timeout, this, Guarded([this] { UploadCheckTimerTimer(); }));
    connect(btnSaveParameters, &QPushButton::clicked, this,
            Guarded([this] { btnSaveParametersClick(); }));
    connect(btnAssign, &QPushButton::clicked, this, Guarded([this] { btnAssignClick(); }));
    connect(btnSetFootswitchMode, &QPushButton::clicked, this,
            Guarded([this] { btnSetFootswitchModeClick(); }));
    connect(btnSetTuning, &QPushButton::clicked, this, Guarded([this] { btnSetTuningClick(); }));
    connect(btnGetFXInfo, &QPushButton::clicked, this, Guarded([this] { btnGetFXInfoClick(); }));
    connect(btnOpenEffect, &QPushButton::clicked, this, Guarded([this] { btnOpenEffectClick(); }));
    connect(lstEffects, &QListWidget::itemClicked, this, Guarded([this] { effetto_cliccato(); }));
    connect(menuLoadPreset, &QAction::triggered, this, Guarded([this] { menuLoadPresetClick(); }));
    connect(menuSavePreset, &QAction::triggered, this, Guarded([this] { menuSavePresetClick(); }));
    connect(menuLoadIR, &QAction::triggered, this, Guarded([this] { menuLoadIRClick(); }));
    connect(menuBackUpPedal, &QAction::triggered, this,
            Guarded([this] { menuBackUpPedalClick(); }));
    connect(menuRestorePedal, &QAction::triggered, this,
            Guarded([this] { menuRestorePedalClick(); }));
    FollowModelForUserFiles(*this);
    connect(menuEnableAllParameters, &QAction::triggered, this,
            Guarded([this] { OnClickEnableAllParameters(); }));
    connect(menuNoteCut, &QAction::triggered, this, Guarded([this] { menuNoteCutClick(); }));
    connect(menuFirmwareUpgradeMode, &QAction::triggered, this,
            Guarded([this] { menuFirmwareUpgradeModeClick(); }));
    connect(chkFirmwareUpgradeMode, &QCheckBox::toggled, this,
            Guarded([this] { chkFirmwareUpgradeModeChange(); }));
    connect(menuStartFirmwareUpgrade, &QAction::triggered, this,
            Guarded([this] { menuStartFirmwareUpgradeClick(); }));
    connect(TimerCheckWebVersion, &QTimer::timeout, this,
            Guarded([this] { checkmostrecentversiononwebsite(); }));
}

void TformMain::FormCreate() {
    ListDevicesAtStart();
    SetLinkSettings();
    FirmwareUpgradeMode = false;
    TurnPedalButtonsOff(*this);

    // The algorithm list from the built-in catalogue. A catalogue that cannot
    // be read is reported and the rest of the start-up still runs.
    platform::Guard([] { FillCatalogue(); });

    PrepareVersionCheck(*this);

    CurrentVersion = GetAppVersion();
    menuAppVersion->setText(menuAppVersion->text() + QLatin1Char(' ') + CurrentVersion);

    try {
        platform::CreateFolder(platform::MakerFolder());
    } catch (const platform::EditorError& e) {
        platform::ShowMessage(QStringLiteral("Error creating folder: ") + e.message());
    }
    try {
        platform::CreateFolder(platform::ProductFolder());
    } catch (const platform::EditorError& e) {
        platform::ShowMessage(QStringLiteral("Error creating subfolder: ") + e.message());
    }

    BuildLookAndMidiMenus(*this);
    // The look fits the window when it applies; without one it is fitted here.
    FitClientArea();
}

bool TformMain::FormKeyDown(quint16& key, Qt::KeyboardModifiers shift) {
    if (key == 0x50 && (shift & Qt::ControlModifier) && (shift & Qt::ShiftModifier)) {
        ShowConsole();
        key = 0;
        return true;
    }
    return false;
}

bool TformMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this) {
            auto* keyEvent = static_cast<QKeyEvent*>(event);
            quint16 key = static_cast<quint16>(keyEvent->key() & 0xFFFF);
            bool consumed = false;
            platform::Guard([&] { consumed = FormKeyDown(key, keyEvent->modifiers()); });
            if (consumed) return true;
            if (widget == lstEffects) {
                // Return or Space on an algorithm opens it, as a click does.
                const int k = keyEvent->key();
                if ((k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Space) &&
                    keyEvent->modifiers() == Qt::NoModifier && lstEffects->currentItem()) {
                    lstEffects->setCurrentItem(lstEffects->currentItem(),
                                               QItemSelectionModel::ClearAndSelect);
                    platform::Guard([this] { effetto_cliccato(); });
                    return true;
                }
                bool handled = false;
                platform::Guard([&] { move_up_or_down(keyEvent, handled); });
                if (handled) return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TformMain::closeEvent(QCloseEvent* event) {
    // Quitting while the flash is being written would leave the pedal in its
    // bootloader with half a firmware; the upgrade takes under a minute, so
    // the close box waits for it and says why.
    if (FirmwareUpgradeRunning && !closeWhateverRuns_) {
        event->ignore();
        lblStatus->setText(
            QStringLiteral("Firmware upgrade running: the editor can be closed once it has ended"));
        if (TformFirmwareUpgrade* upgrade = formFirmwareUpgrade.built()) upgrade->raise();
        return;
    }
    // Any wait for the pedal that is running underneath ends now.
    CancelPedalWaits();
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) qApp->quit();
}

void TformMain::CloseWhateverRuns() {
    closeWhateverRuns_ = true;
    close();
}

void TformMain::menuInfoClick() {
    ConsolePrint(QStringLiteral("current app version: ") + CurrentVersion);
}

void TformMain::menuSupportClick() {
    // Without the maker's site there is no page (and the item is disabled).
    const QUrl page = platform::ContactPageUrl();
    if (!page.isEmpty()) platform::network().OpenUrl(page);
}
