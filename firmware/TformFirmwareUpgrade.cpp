#include "firmware/TformFirmwareUpgrade.h"

#include "device/PedalLink.h"

#include <QVBoxLayout>

#include "app/MainWindowConnection.h"
#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "device/StandIn.h"
#include "firmware/Bootloader.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "platform/Errors.h"
#include "platform/Resources.h"
#include "platform/Time.h"

using platform::Guarded;

DeferredWindow<TformFirmwareUpgrade> formFirmwareUpgrade;
QString FirmwareResourceName;
std::int32_t FirmwareVersionNumber = 0;
bool FirmwareUpgradeRunning = false;

namespace {
const QString kFirmware4 = QStringLiteral("Firmware_4");
// Combo box items have no object name; the item's name travels as its data.
const QString kFirmware4ItemName = QStringLiteral("itmFirmware4");
}  // namespace

void LoadFirmwareImage() {
    const QByteArray image = platform::ReadResource(FirmwareResourceName);
    FirmwareSize = static_cast<std::int32_t>(image.size());
    ConsolePrint(QStringLiteral("Firmware num of bytes: ") + QString::number(FirmwareSize));
    FirmwareHexText = BytesToHex(image);
}

TformFirmwareUpgrade::TformFirmwareUpgrade(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("formFirmwareUpgrade"));
    setWindowTitle(QStringLiteral("Firmware Upgrade"));
    setFixedSize(196, 141);

    cmbFirmwareChoose = new QComboBox(this);
    cmbFirmwareChoose->setObjectName(QStringLiteral("cmbFirmwareChoose"));
    cmbFirmwareChoose->setAccessibleName(QStringLiteral("Firmware image"));
    cmbFirmwareChoose->addItem(kFirmware4, kFirmware4ItemName);
    cmbFirmwareChoose->setCurrentIndex(-1);
    cmbFirmwareChoose->setPlaceholderText(QStringLiteral("Choose the firmware"));

    btnUpgradeFirmware = new QPushButton(QStringLiteral("Upgrade Firmware"), this);
    btnUpgradeFirmware->setObjectName(QStringLiteral("btnUpgradeFirmware"));

    cmbFirmwareChoose->setAccessibleName(QStringLiteral("Firmware image"));

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("Upgrade progress"));
    ProgressBar1->setOrientation(Qt::Horizontal);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    // The bar names the step under way; empty until an upgrade starts.
    ProgressBar1->setFormat(QString());
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    // The longest step, "Writing block 209 of 210 — 99%", fits the narrow window.
    QFont small = ProgressBar1->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    ProgressBar1->setFont(small);

    lblDoNotUnplug =
        new QLabel(QStringLiteral("Do not unplug the pedal until the upgrade has finished."), this);
    lblDoNotUnplug->setObjectName(QStringLiteral("lblDoNotUnplug"));
    lblDoNotUnplug->setWordWrap(true);
    lblDoNotUnplug->setAlignment(Qt::AlignCenter);
    lblDoNotUnplug->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(4);
    layout->addWidget(cmbFirmwareChoose);
    layout->addWidget(btnUpgradeFirmware);
    layout->addWidget(ProgressBar1);
    layout->addWidget(lblDoNotUnplug);
    layout->addStretch(1);

    connect(cmbFirmwareChoose, &QComboBox::currentIndexChanged, this, Guarded([this] {
                if (cmbFirmwareChoose->currentIndex() >= 0) FirmwareSelect();
            }));
    connect(btnUpgradeFirmware, &QPushButton::clicked, this,
            Guarded([this] { btnUpgradeFirmwareClick(); }));
}

TformFirmwareUpgrade::~TformFirmwareUpgrade() {
    if (formFirmwareUpgrade == this) formFirmwareUpgrade = nullptr;
}

void TformFirmwareUpgrade::FormCreate() {
    if (formMain)
        connect(this, &TformFirmwareUpgrade::upgradeRunningChanged, formMain,
                &TformMain::FirmwareUpgradeRunningChange);
}

void TformFirmwareUpgrade::closeEvent(QCloseEvent* event) {
    if (FirmwareUpgradeRunning) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TformFirmwareUpgrade::ShowStep(const QString& text, int position, int maximum) {
    if (maximum > 0) {
        ProgressBar1->setMaximum(maximum);
        ProgressBar1->setValue(position);
    }
    ProgressBar1->setFormat(text);
    // Screen readers take the value (the block) from the bar and the step
    // from its description.
    ProgressBar1->setAccessibleDescription(text);
}

void TformFirmwareUpgrade::ShowBlock(const QString& phase, int block) {
    const int blocks = FirmwareBlockCount;
    // The share of the blocks already done, as the bar draws it.
    const int percent = blocks > 0 ? block * 100 / blocks : 0;
    ShowStep(QStringLiteral("%1 block %2 of %3 \u2014 %4%")
                 .arg(phase)
                 .arg(block)
                 .arg(blocks)
                 .arg(percent),
             block, blocks);
}

void TformFirmwareUpgrade::SetRunning(bool running) {
    btnUpgradeFirmware->setEnabled(!running);
    cmbFirmwareChoose->setEnabled(!running);
    lblDoNotUnplug->setVisible(running);
    emit upgradeRunningChanged(running);
}

void TformFirmwareUpgrade::FirmwareSelect() {
    const QString text = cmbFirmwareChoose->currentText();
    FirmwareResourceName = text;
    // Only the last character names the version ("Firmware_4" gives 4).
    const QString last = text.right(1);
    if (last.isEmpty() || last[0] < QLatin1Char('0') || last[0] > QLatin1Char('9'))
        throw platform::ConversionError(last);
    FirmwareVersionNumber = last[0].unicode() - '0';
    ConsolePrint(QStringLiteral("Firmware Version: ") + QString::number(FirmwareVersionNumber));
    ConsolePrint(text);
}

void TformFirmwareUpgrade::btnUpgradeFirmwareClick() {
    // The reply waits keep this window responsive; a second press must not
    // start another upgrade inside the running one.
    ExclusiveRun run(FirmwareUpgradeRunning);
    if (!run.acquired()) return;
    // No other exchange may come between two steps of the bootloader's.
    const PedalLink::Hold hold(PedalLink::Instance(), QStringLiteral("the firmware upgrade"));
    if (!hold.acquired()) return;
    // Outside Upgrade Mode the bootloader's answers would be read as DSP text
    // and every step would look refused, after the flash had been erased.
    if (!FirmwareUpgradeMode) {
        platform::ShowMessage(QStringLiteral(
            "Upgrade Mode is off: tick Upgrade Mode in the Firmware Upgrade menu before "
            "upgrading the firmware."));
        return;
    }

    // Without a pedal the first step would end the upgrade with nothing said:
    // the link has nobody to report as gone.
    if (!PedalLink::Instance().IsOpen()) {
        platform::ShowMessage(
            QStringLiteral("No pedal is connected: with Upgrade Mode ticked, use Scan and "
                           "Connect before upgrading the firmware."));
        return;
    }

    // Connected, but not to the bootloader (Upgrade Mode was ticked after a
    // plain Connect, or the sync byte went unanswered): the erase would go to
    // the pedal's running effect as a command of its own.
    if (!BootloaderConnected) {
        platform::ShowMessage(QStringLiteral(
            "The pedal is not in its bootloader: use Disconnect, then Connect with Upgrade Mode "
            "ticked before upgrading the firmware."));
        return;
    }

    LoadFirmwareImage();
    // Refused images go no further than this: nothing has been sent yet.
    CheckFirmwareImage();
    if (!StandInMayBeSent(QByteArray::fromHex(FirmwareHexText.toLatin1()),
                          QStringLiteral("This editor carries a stand-in in place of the pedal's "
                                         "firmware. Written to a real pedal, the pedal will not "
                                         "work until its real firmware is written again. Write "
                                         "it anyway?"))) {
        ConsolePrint(QStringLiteral("Firmware upgrade refused: stand-in image"));
        return;
    }
    SplitFirmwareImage();

    // Nothing can be changed while the pedal is between two firmwares; the
    // reply waits keep the windows answering meanwhile.
    SetRunning(true);
    // However the upgrade ends, the locks come off, and before any message
    // about how it ended.
    struct EndRun {
        TformFirmwareUpgrade* window;
        bool active = true;
        void Release() {
            if (active) window->SetRunning(false);
            active = false;
        }
        ~EndRun() { Release(); }
    } endRun{this};
    const FirmwareProgress writing{
        [](int) {}, [this](int block) { ShowBlock(QStringLiteral("Writing"), block); }};
    const FirmwareProgress verifying{
        [](int) {}, [this](int block) { ShowBlock(QStringLiteral("Verifying"), block); }};
    try {
        ProgressBar1->setRange(0, 100);
        ProgressBar1->setValue(0);
        // An earlier attempt may have left the bootloader waiting for the
        // rest of a command; it would take the erase as that rest.
        if (BootloaderMidCommand) {
            ShowStep(QStringLiteral("Bringing the bootloader back in step\u2026"));
            BringBootloaderBackInStep();
        }
        ShowStep(QStringLiteral("Erasing\u2026"));
        SendEraseCommand();
        WriteFirmwareBlocks(writing);
        ShowStep(QStringLiteral("Writing the version record"));
        WriteVersionRecord(FirmwareVersionNumber);
        // Only firmware that reads back as written may be started: anything
        // else keeps the pedal in its bootloader, where another try can mend it.
        VerifyFirmwareBlocks(verifying);
        ShowStep(QStringLiteral("Verifying the version record"));
        VerifyVersionRecord(FirmwareVersionNumber);
    } catch (const BootloaderFailure& failure) {
        // The mode and the buttons stay as they are, so the user can retry.
        ShowStep(QStringLiteral("Upgrade stopped"));
        endRun.Release();
        if (!failure.cancelled()) platform::ShowMessage(failure.message());
        return;
    }

    ShowStep(QStringLiteral("Starting the pedal"));
    platform::WaitMs(2000);
    if (PedalWaitsCancelled()) return;
    QString outcome = QStringLiteral("Firmware Upgrade Complete, device will now restart");
    bool restarted = false;
    try {
        SendGoCommand();
        // The pedal leaves its bootloader for the new firmware.
        BootloaderConnected = false;
        restarted = true;
    } catch (const BootloaderFailure& failure) {
        if (failure.cancelled()) {
            // The pedal went away before it acknowledged the restart: the
            // bar must not go on saying it is being started.
            ShowStep(QStringLiteral("Upgrade stopped"));
            return;
        }
        // Nothing is gained by writing again: the flash holds the new firmware.
        outcome = QStringLiteral(
                      "The new firmware was written and verified, but the pedal did "
                      "not restart: ") +
                  failure.reason() +
                  QStringLiteral(
                      ". Switch the pedal off and on again to start the new firmware, "
                      "then use Disconnect and Connect.");
    }

    ShowStep(QString());
    endRun.Release();
    btnUpgradeFirmware->setEnabled(false);
    hide();
    if (formMain) formMain->menuFirmwareUpgradeMode->setChecked(false);
    FirmwareUpgradeMode = false;
    if (formMain) {
        // The pedal runs its effect again. One that did not acknowledge Go
        // may still be in its bootloader, which would take a Request's bytes,
        // or an upload's (they could erase the flash), as commands: those
        // wait for the next Connect.
        formMain->btnRequest->setEnabled(restarted);
        formMain->btnUpload->setEnabled(restarted);
        ShowWhetherSettingsGoOut();
    }
    // Told once the editor is back in its usual state.
    platform::ShowMessage(outcome);
}
