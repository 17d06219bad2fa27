#include "app/MainWindowConnection.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "effects/EditHistory.h"
#include "effects/StoredSettings.h"
#include "effects/TformFXsettings.h"
#include "firmware/Bootloader.h"
#include "library/UserFileHandlers.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"

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
    PedalLink& link = PedalLink::Instance();
    const bool opened = link.Open(DeviceSerialNumber) == ftd::FT_OK;
    // What the pedal runs is found again by this connection: its sync byte,
    // or none in normal mode.
    BootloaderConnected = false;
    if (opened) {
        formMain->lblDeviceName->setText(formMain->lblDeviceName->text() +
                                         QStringLiteral(" connected"));
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

    if (FirmwareUpgradeMode) {
        // A bootloader an upgrade left in the middle of a command is brought
        // back in step byte by byte, which can take seconds: the window says
        // why nothing seems to happen, then shows what it showed before.
        const QString statusBefore = formMain->lblStatus->text();
        const QString resyncing = QStringLiteral("Finding the bootloader\u2026");
        if (opened && BootloaderMidCommand) formMain->lblStatus->setText(resyncing);
        // Without an open device there is no bootloader to reach; the user
        // has seen why the open failed.
        const BootloaderSync sync = opened ? SynchroniseWithBootloader() : BootloaderSync{};
        if (formMain->lblStatus->text() == resyncing) formMain->lblStatus->setText(statusBefore);
        // The editor is closing: nobody is there to read the verdict.
        if (PedalWaitsCancelled()) return opened && link.IsOpen();
        ConsoleAppend(QStringLiteral("received Byte: ") + sync.received);
        if (sync.ready && link.IsOpen()) {
            BootloaderConnected = true;
            platform::ShowMessage(
                QStringLiteral("Connection to bootloader succeeded, ready for firmware upgrade"));
            formMain->menuStartFirmwareUpgrade->setEnabled(true);
            formMain->btnRequest->setEnabled(false);
            formMain->btnUpload->setEnabled(false);
        } else {
            // Whatever answered the sync byte, the pedal's effect never does:
            // the pedal is in its bootloader, which would take the bytes of a
            // live write, a Request or an upload as commands (an upload's could
            // erase the flash), with Upgrade Mode ticked or not.
            if (!sync.received.isEmpty() && link.IsOpen()) {
                BootloaderConnected = true;
                formMain->btnRequest->setEnabled(false);
                formMain->btnUpload->setEnabled(false);
            }
            platform::ShowMessage(QStringLiteral("Connection to bootloader failed"));
        }
    }
    // A Disconnect during the handshake closed the device again; the caller
    // must not mark the link connected.
    return opened && link.IsOpen();
}

void ShowDisconnected() {
    TformMain& w = *formMain;
    // Only the word goes; the space before it stays, as the label always did.
    w.lblDeviceName->setText(
        w.lblDeviceName->text().remove(QStringLiteral("connected"), Qt::CaseSensitive));
    w.menuScan->setEnabled(true);
    w.menuConnect->setEnabled(true);
    w.menuDisconnect->setEnabled(false);
    TurnPedalButtonsOff(w);
    // Cleared so that choosing an algorithm later does not enable the settings
    // of a pedal that is no longer there.
    DeviceConnected = false;
    BootloaderConnected = false;
    ShowWhetherSettingsGoOut();
}

void TurnPedalButtonsOff(TformMain& w) {
    for (QPushButton* b : {w.btnUpload, w.btnOpenEffect, w.btnRequest, w.btnAssign,
                           w.btnSaveParameters, w.btnSetFootswitchMode, w.btnSetTuning})
        b->setEnabled(false);
}

void DisconnectDevice() {
    // The link says so by its closed() signal, which shows the window
    // disconnected.
    PedalLink::Instance().Close();
}

void FollowLink(TformMain& form) {
    PedalLink& link = PedalLink::Instance();
    QObject::connect(&link, &PedalLink::closed, &form, [](const QString& reason) {
        platform::Guard([&] {
            ShowDisconnected();
            if (!reason.isEmpty()) platform::ShowMessage(reason);
        });
    });
    QObject::connect(&link, &PedalLink::refused, &form,
                     [&form](const QString& text) { form.lblStatus->setText(text); });
}

void TformMain::menuScanClick() {
    ScanDevices();
}

void TformMain::ConnectOnClick() {
    if (!ConnectDevice()) return;
    DeviceConnected = true;
    ShowWhetherSettingsGoOut();
}

void ShowWhetherSettingsGoOut() {
    // A window not built yet takes the state when it is first shown.
    if (TformFXsettings* settings = formFXsettings.built())
        settings->SetSettingsEnabled(PedalTakesSettings());
    UpdateUserFileCommands();
}

void TformMain::menuDisconnectClick() {
    DisconnectDevice();
}

ExchangeResult ReadSettingsBack() {
    const ScopedFlag readBack(ReadBackActive);
    const ExchangeResult result = RequestDeviceInformation([] {
        formMain->lblFirmwareVersion->setText(QStringLiteral("Firmware Version: ") +
                                              FirmwareVersion);
        // The assignments are matched against the addresses of the algorithm
        // the pedal runs, whether or not the settings window was shown yet.
        EnsureParameterAddresses();
        // The tuning goes in before the values, as the pedal's tools always did.
        ReadFootswitchMode(4);
        ReadAssignments(5);
        ReadTuning(20);
        ReadParameterValues(21);
    });
    if (result.whole()) EditHistory::Instance().Clear();
    UpdateUserFileCommands();
    return result;
}

void TformMain::btnRequestClick() {
    const ExchangeResult result = ReadSettingsBack();
    // Refused (another exchange waits), closed or cancelled: the user knows
    // already, or nobody is left to tell.
    if (!result.whole()) {
        if (!result.problem.isEmpty()) platform::ShowMessage(result.problem);
        return;
    }
    if (!PedalLink::Instance().IsOpen()) return;
    for (QPushButton* b : {btnAssign, btnSaveParameters, btnSetFootswitchMode, btnSetTuning})
        b->setEnabled(true);
}
