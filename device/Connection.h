#pragma once
// Finding, opening and closing the pedal, and asking it who it is.

#include <QString>
#include <cstddef>

// True after a successful Connect, false again after a successful Disconnect.
extern bool DeviceConnected;
// True only while the Request button's handler runs: the settings read-back
// then moves the settings window's controls without their refusals.
extern bool ReadBackActive;

// The pedal's identity from the last Request, as hex text ("0C", "0008",
// "01"); empty until a reply brought them.
extern QString FirmwareVersion;
extern QString AlgorithmVersion;
extern QString EffectNumber;

// A complete answer to the device information request: identity, footswitch
// mode, assignments, tuning and the fifteen parameter values.
constexpr std::size_t kDeviceInformationValues = 81;

// How long Connect waits for the bootloader's answer to the sync byte.
constexpr int kBootloaderSyncTimeoutMs = 2000;

void ScanDevices();
// True when the device was opened (and is still open after the bootloader
// handshake, which a Disconnect can interrupt).
bool ConnectDevice();
void DisconnectDevice();
// Sends the request and shows the identity. Returns false when no reply was
// read (the wait ended on Disconnect, unplugging or quitting); throws
// platform::ConversionError for a reply whose digits do not convert.
bool RequestDeviceInformation();
