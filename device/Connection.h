#pragma once
// Finding, opening and closing the pedal, and asking it who it is.

// True after a successful Connect, false again after a successful Disconnect.
extern bool DeviceConnected;
// True only while the Request button's handler runs: the settings read-back
// then moves the settings window's controls without their refusals.
extern bool ReadBackActive;

void ScanDevices();
bool ConnectDevice();
void DisconnectDevice();
void RequestDeviceInformation();
