// The main window's Firmware Upgrade menu and its hidden mode check box, and
// the locks the main window keeps while an upgrade runs.
#include <QPointer>
#include <vector>

#include "app/MainWindowConnection.h"
#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/PedalLink.h"
#include "firmware/TformFirmwareUpgrade.h"

void TformMain::menuFirmwareUpgradeModeClick() {
    // Qt has already toggled the check mark of a checkable item by the time
    // this runs, so the flag, not the mark, says what the state was: both
    // change together, whichever way the click arrived.
    const bool on = !FirmwareUpgradeMode;
    menuFirmwareUpgradeMode->setChecked(on);
    FirmwareUpgradeMode = on;
    ShowWhetherSettingsGoOut();
}

void TformMain::chkFirmwareUpgradeModeChange() {
    FirmwareUpgradeMode = chkFirmwareUpgradeMode->isChecked();
    // Keeps the menu's check mark telling the truth about the flag.
    menuFirmwareUpgradeMode->setChecked(FirmwareUpgradeMode);
    ShowWhetherSettingsGoOut();
}

void TformMain::menuStartFirmwareUpgradeClick() {
    if (!formFirmwareUpgrade) return;
    // Not modal: the main window stays usable.
    formFirmwareUpgrade->show();
    formFirmwareUpgrade->raise();
    formFirmwareUpgrade->activateWindow();
}

void TformMain::FirmwareUpgradeRunningChange(bool running) {
    // Scan, Connect or Disconnect in the middle of an upgrade would take the
    // link away from it, and switching Upgrade Mode would change how the
    // pedal's answers are read.
    static std::vector<std::pair<QPointer<QAction>, bool>> saved;
    if (running) {
        saved.clear();
        for (QAction* action : {menuScan, menuConnect, menuDisconnect, menuFirmwareUpgradeMode}) {
            saved.emplace_back(action, action->isEnabled());
            action->setEnabled(false);
        }
        return;
    }
    for (const auto& [action, enabled] : saved)
        if (action) action->setEnabled(enabled);
    saved.clear();
    // The pedal went away meanwhile: the menus follow the link, not what
    // they were before.
    if (!PedalLink::Instance().IsOpen()) {
        menuScan->setEnabled(true);
        menuConnect->setEnabled(true);
        menuDisconnect->setEnabled(false);
    }
}
