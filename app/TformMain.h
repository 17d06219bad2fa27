#pragma once
// The main window: device label, the buttons that talk to the pedal, the
// algorithm list and the menus. Handlers whose behaviour belongs to another
// module call into that module.

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace platform {
struct HttpResponse;
}

class TformMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TformMain(QWidget* parent = nullptr);
    ~TformMain() override;

    // Controls, by the names the rest of the editor uses.
    QLabel* lblDeviceName;
    QPushButton* btnUpload;
    QPushButton* btnRequest;
    QLabel* lblStatus;
    QPushButton* btnSaveParameters;
    QPushButton* btnAssign;
    QPushButton* btnSetFootswitchMode;
    QPushButton* btnSetTuning;
    QPushButton* btnGetFXInfo;
    QPushButton* btnOpenEffect;
    QLabel* lblFirmwareVersion;
    QListWidget* lstEffects;
    QCheckBox* chkFirmwareUpgradeMode;
    QTimer* UploadCheckTimer;
    QTimer* TimerCheckWebVersion;

    QMenuBar* MenuBar1;
    QMenu* menuFile;
    QAction* menuLoadPreset;
    QAction* menuSavePreset;
    QAction* menuLoadIR;
    QAction* menuBackUpPedal;
    QAction* menuRestorePedal;
    QMenu* menuConnection;
    QAction* menuScan;
    QAction* menuConnect;
    QAction* menuDisconnect;
    QMenu* menuSettings;
    QMenu* menuLook;
    QMenu* menuMIDI;
    QMenu* menuMIDIchannel;
    QAction* menuEnableAllParameters;
    QAction* menuNoteCut;
    QMenu* menuFirmwareUpgrade;
    QAction* menuFirmwareUpgradeMode;
    QAction* menuStartFirmwareUpgrade;
    QMenu* menuInfo;
    QAction* menuSupport;
    QAction* menuAppVersion;
    QAction* menuNewAppVersion;
    QAction* menuSerialNumber;

    // Sizes the window so that the client area under the menu bar keeps its
    // fixed size (again after a new look).
    void FitClientArea();
    // Start-up sequence; runs once, before any other window exists.
    void FormCreate();
    // Returns true when the key was consumed (key is then 0).
    bool FormKeyDown(quint16& key, Qt::KeyboardModifiers shift);
    void menuInfoClick();
    void menuSupportClick();
    // Any item of the look menu / of the MIDI channel menu.
    void menuLookClickItem(QAction* item);
    void menuMIDIchannelsClickItem(QAction* item);
    // The update check: the timer's tick (starts the request and returns),
    // what is done with the answer when it comes, and the answer of the
    // version page (false when it was not an answer with status 200).
    void checkmostrecentversiononwebsite();
    void VersionPageAnswered(const platform::HttpResponse& response);
    bool WebRequestCompleted(const platform::HttpResponse& response);

    // Handlers whose behaviour lives in other modules.
    void menuScanClick();
    void ConnectOnClick();
    void menuDisconnectClick();
    void btnRequestClick();
    void btnUploadClick();
    void UploadCheckTimerTimer();
    void btnSaveParametersClick();
    void btnAssignClick();
    void btnSetFootswitchModeClick();
    void btnSetTuningClick();
    void btnGetFXInfoClick();
    void btnOpenEffectClick();
    void effetto_cliccato();
    void move_up_or_down(QKeyEvent* event, bool& handled);
    void menuLoadPresetClick();
    void menuSavePresetClick();
    void menuLoadIRClick();
    void menuBackUpPedalClick();
    void menuRestorePedalClick();
    void OnClickEnableAllParameters();
    void menuNoteCutClick();
    void menuFirmwareUpgradeModeClick();
    void chkFirmwareUpgradeModeChange();
    void menuStartFirmwareUpgradeClick();
    // While a firmware upgrade runs, the Connection menu and Upgrade Mode are
    // locked; afterwards they are as they were.
    void FirmwareUpgradeRunningChange(bool running);
    // Closes the editor even in the middle of a firmware upgrade (a termination
    // signal); the close box waits for the upgrade to end.
    void CloseWhateverRuns();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void ConnectHandlers();

    bool closeWhateverRuns_ = false;
};

extern TformMain* formMain;
// The editor's own version ("1.3").
extern QString CurrentVersion;
