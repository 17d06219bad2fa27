#include "firmware/TformFirmwareUpgrade.h"

#include <QVBoxLayout>

#include "app/TformMain.h"
#include "device/Communication.h"
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
    cmbFirmwareChoose->addItem(kFirmware4, kFirmware4ItemName);
    cmbFirmwareChoose->setCurrentIndex(-1);
    cmbFirmwareChoose->setPlaceholderText(QStringLiteral("Choose the firmware"));

    btnUpgradeFirmware = new QPushButton(QStringLiteral("Upgrade Firmware"), this);
    btnUpgradeFirmware->setObjectName(QStringLiteral("btnUpgradeFirmware"));

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setOrientation(Qt::Horizontal);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    // A slim bar, so that it does not read as a field to type in.
    ProgressBar1->setFixedHeight(14);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(cmbFirmwareChoose);
    layout->addWidget(btnUpgradeFirmware);
    layout->addWidget(ProgressBar1);

    connect(cmbFirmwareChoose, &QComboBox::currentIndexChanged, this, Guarded([this] {
                if (cmbFirmwareChoose->currentIndex() >= 0) FirmwareSelect();
            }));
    connect(btnUpgradeFirmware, &QPushButton::clicked, this,
            Guarded([this] { btnUpgradeFirmwareClick(); }));
}

TformFirmwareUpgrade::~TformFirmwareUpgrade() {
    if (formFirmwareUpgrade == this) formFirmwareUpgrade = nullptr;
}

void TformFirmwareUpgrade::FormCreate() {}

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
    // Outside Upgrade Mode the bootloader's answers would be read as DSP text
    // and every step would look refused, after the flash had been erased.
    if (!FirmwareUpgradeMode) {
        platform::ShowMessage(QStringLiteral(
            "Upgrade Mode is off: tick Upgrade Mode in the Firmware Upgrade menu before "
            "upgrading the firmware."));
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
    try {
        SendEraseCommand();
        WriteFirmwareBlocks({[this](int maximum) { ProgressBar1->setMaximum(maximum); },
                             [this](int position) { ProgressBar1->setValue(position); }});
        WriteVersionRecord(FirmwareVersionNumber);
        platform::SleepMs(2000);
        // Until the user has read this the pedal stays in its bootloader.
        platform::ShowMessage(QStringLiteral("Firmware Upgrade Complete, device will now restart"));
        SendGoCommand();
    } catch (const BootloaderFailure& failure) {
        // The mode and the buttons stay as they are, so the user can retry.
        if (!failure.cancelled()) platform::ShowMessage(failure.message());
        return;
    }

    btnUpgradeFirmware->setEnabled(false);
    hide();
    if (formMain) formMain->menuFirmwareUpgradeMode->setChecked(false);
    FirmwareUpgradeMode = false;
    if (formMain) {
        formMain->btnRequest->setEnabled(true);
        formMain->btnUpload->setEnabled(true);
    }
}
