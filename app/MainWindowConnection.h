#pragma once
// The main window's Connection menu and Request button: finding, opening and
// closing the pedal and asking it for its settings. The exchanges themselves
// run through the link (device/); this side shows what they brought.

struct ExchangeResult;
class TformMain;

void ScanDevices();
// True when the device was opened (and is still open after the bootloader
// handshake, which a Disconnect can interrupt).
bool ConnectDevice();
void DisconnectDevice();
// Puts the main window and the settings window in the disconnected state.
void ShowDisconnected();
// Turns off every main-window button that sends something to the pedal.
void TurnPedalButtonsOff(TformMain& w);
// Enables the settings window and the preset and restore commands when the
// pedal takes settings (connected, not in Upgrade Mode), disables them when not.
void ShowWhetherSettingsGoOut();
// Lets the main window follow the link: a pedal that went away, an operation
// refused while another one waits.
void FollowLink(TformMain& form);
// The Request's exchange and read-back: the settings the pedal reports go
// into the model, and the edit history, made against the old picture, is
// cleared. Shows nothing itself; the result says how it went.
ExchangeResult ReadSettingsBack();
