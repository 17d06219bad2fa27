#include "device/Connection.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "effects/StoredSettings.h"
#include "effects/TformFXsettings.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Time.h"

bool DeviceConnected = false;
bool ReadBackActive = false;
QString FirmwareVersion;
QString AlgorithmVersion;
QString EffectNumber;

namespace {

// Whether the editor holds the device open; a Disconnect while Connect waits
// for the bootloader clears it underneath that wait.
bool g_deviceOpen = false;
// Set while a Request runs; a second one is refused instead of nesting.
bool g_requestRunning = false;

bool HasValues(std::size_t count) {
    return ReplyValues.size() >= count;
}

}  // namespace

void ScanDevices() {
    formMain->lblDeviceName->setText(QStringLiteral("Device Name"));
    GetFTDeviceCount();
    ConsolePrint(QStringLiteral("FT device count: ") + QString::number(DeviceCount));
    if (DeviceCount == 0) {
        platform::ShowMessage(QStringLiteral("No device found"));
        formMain->lblDeviceName->setText(QStringLiteral("No device found"));
        return;
    }
    for (std::uint32_t i = 0; i < DeviceCount; ++i) {
        GetFTDeviceSerialNo(i);
        const QString serial = QString::fromLocal8Bit(DeviceListText);
        ConsolePrint(QStringLiteral("FT_Device_String: ") + serial);
        DeviceSerialNumber = serial;

        GetFTDeviceDescription(i);
        // The bridge's own description, not the product name the start-up
        // listing shows for the pedal's bridge.
        const QString description = QString::fromLocal8Bit(DeviceListText);
        formMain->lblDeviceName->setText(description);
        DeviceDescription = description;
        platform::ShowMessage(description + QStringLiteral(" found, click Connect"));
    }
}

bool ConnectDevice() {
    ConsolePrint(QStringLiteral("serial number: ") + DeviceSerialNumber);
    bool opened = false;
    if (Open_USB_Device_By_Serial_Number(DeviceSerialNumber) == ftd::FT_OK) {
        opened = true;
        g_deviceOpen = true;
        formMain->lblDeviceName->setText(formMain->lblDeviceName->text() +
                                         QStringLiteral(" connected"));
        SetFTBaudRate();
        SetFTDataCharacteristics();
        ConsolePrint(QStringLiteral("FT_HANDLE: 0x") +
                     Hex8(static_cast<std::uint32_t>(DeviceHandle)));
        ConsoleAppend(QStringLiteral("baud rate = ") + QString::number(BaudRate));
        formMain->btnUpload->setEnabled(true);
        formMain->btnRequest->setEnabled(true);
        formMain->btnOpenEffect->setEnabled(true);
        formMain->chkFirmwareUpgradeMode->setEnabled(false);
        formMain->menuScan->setEnabled(false);
        formMain->menuConnect->setEnabled(false);
        formMain->menuDisconnect->setEnabled(true);
    }

    // The bootloader handshake runs even when the open failed: the write and
    // the wait then fail with their driver errors and the user learns that
    // the bootloader was not reached.
    if (FirmwareUpgradeMode) {
        OutBuffer[0] = 0x7F;
        WriteFTDevice(1);
        // A bootloader answers at once; a pedal that runs its effect, or a
        // bootloader that is already synchronised, never does.
        const QString text = ReadReplyText(kBootloaderSyncTimeoutMs);
        // The editor is closing: nobody is there to read the verdict.
        if (PedalWaitsCancelled()) return opened && g_deviceOpen;
        ConsoleAppend(QStringLiteral("received Byte: ") + text);
        if (text == QLatin1String("79")) {
            platform::ShowMessage(
                QStringLiteral("Connection to bootloader succeeded, ready for firmware upgrade"));
            formMain->menuStartFirmwareUpgrade->setEnabled(true);
            formMain->btnRequest->setEnabled(false);
            formMain->btnUpload->setEnabled(false);
        } else {
            platform::ShowMessage(QStringLiteral("Connection to bootloader failed"));
        }
    }
    // A Disconnect during the handshake closed the device again; the caller
    // must not mark the link connected.
    return opened && g_deviceOpen;
}

void DisconnectDevice() {
    if (CloseFTDevice() != ftd::FT_OK) return;
    g_deviceOpen = false;
    // Only the word goes; the space before it stays, as the label always did.
    formMain->lblDeviceName->setText(
        formMain->lblDeviceName->text().remove(QStringLiteral("connected"), Qt::CaseSensitive));
    formMain->menuScan->setEnabled(true);
    formMain->menuConnect->setEnabled(true);
    formMain->menuDisconnect->setEnabled(false);
    for (QPushButton* b :
         {formMain->btnUpload, formMain->btnOpenEffect, formMain->btnRequest, formMain->btnAssign,
          formMain->btnSaveParameters, formMain->btnSetFootswitchMode})
        b->setEnabled(false);
    formFXsettings->SetSettingsEnabled(false);
    // Cleared so that choosing an algorithm later does not enable the settings
    // of a pedal that is no longer there.
    DeviceConnected = false;
}

bool RequestDeviceInformation() {
    HexTextToOutBuffer(QStringLiteral("0200"), 2);
    PurgeFTTransmit();
    WriteFTDevice(2);
    // The pedal needs the time to put its whole answer on the wire.
    platform::SleepMs(200);
    if (!ReadReply()) return false;

    // A short reply shows what it holds; fields it lacks keep their last
    // shown value, and the log says why.
    if (HasValues(1)) {
        FirmwareVersion = Hex2(ReplyValues[0]);
        const QString text = QStringLiteral("Firmware Version: ") + FirmwareVersion;
        formMain->lblFirmwareVersion->setText(text);
        ConsolePrint(text);
    } else {
        ConsolePrint(QStringLiteral("Firmware Version: not in the reply"));
    }
    if (HasValues(3)) {
        AlgorithmVersion = Hex2(ReplyValues[1]) + Hex2(ReplyValues[2]);
        ConsolePrint(QStringLiteral("Algorithm version: ") + AlgorithmVersion);
    } else {
        ConsolePrint(QStringLiteral("Algorithm version: not in the reply"));
    }
    if (HasValues(4)) {
        EffectNumber = Hex2(ReplyValues[3]);
        ConsolePrint(QStringLiteral("Effect Number: ") + EffectNumber);
    } else {
        ConsolePrint(QStringLiteral("Effect Number: not in the reply"));
    }

    // The stored settings sit at fixed indices up to the last value; a short
    // reply would move the settings window to values that are not there.
    if (!HasValues(kDeviceInformationValues)) {
        ConsolePrint(QStringLiteral("Settings read-back skipped: the reply has %1 of %2 values")
                         .arg(ReplyValues.size())
                         .arg(kDeviceInformationValues));
        return true;
    }
    // The tuning goes in before the values: the tracking boxes' handlers,
    // which the values move, consult it.
    ReadFootswitchMode(4);
    ReadAssignments(5);
    ReadTuning(20);
    ReadParameterValues(21);
    return true;
}

void TformMain::menuScanClick() {
    ScanDevices();
}

void TformMain::ConnectOnClick() {
    if (!ConnectDevice()) return;
    DeviceConnected = true;
    formFXsettings->SetSettingsEnabled(true);
}

void TformMain::menuDisconnectClick() {
    DisconnectDevice();
}

void TformMain::btnRequestClick() {
    // A click that comes in while a Request waits for its reply would take
    // the bytes meant for the first one.
    ExclusiveRun run(g_requestRunning);
    if (!run.acquired()) return;
    // An upload started during the wait would take the reply as its answer,
    // so Upload rests too.
    const bool wasEnabled = btnRequest->isEnabled();
    const bool uploadWasEnabled = btnUpload->isEnabled();
    btnRequest->setEnabled(false);
    btnUpload->setEnabled(false);
    // Enabled again only while the window still shows a connection: a
    // Disconnect during the wait has disabled them for good.
    const auto enableAgain = qScopeGuard([&] {
        btnRequest->setEnabled(wasEnabled && menuDisconnect->isEnabled());
        btnUpload->setEnabled(uploadWasEnabled && menuDisconnect->isEnabled());
    });
    const ScopedFlag readBack(ReadBackActive);
    if (!RequestDeviceInformation()) return;
    for (QPushButton* b : {btnAssign, btnSaveParameters, btnSetFootswitchMode, btnSetTuning})
        b->setEnabled(true);
}
