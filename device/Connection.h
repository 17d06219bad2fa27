#pragma once
// The connection's state and the two exchanges that belong to it: the
// pedal's answer to the device information request, and the bootloader's
// answer to the synchronisation byte. The main window's Connection menu and
// Request button drive them (app/MainWindowConnection).

#include <QString>
#include <cstddef>
#include <functional>

#include "device/PedalLink.h"

// True after a successful Connect, false again after a Disconnect or when the
// pedal went away.
extern bool DeviceConnected;
// True from a Connect that reached the pedal's bootloader until the pedal
// acknowledged the restart into its firmware, or the link closed. Unticking
// Upgrade Mode does not take the pedal out of its bootloader.
extern bool BootloaderConnected;
// Whether settings may go to the pedal: connected, and not to its bootloader
// (in Upgrade Mode the pedal runs no effect, and a live write would reach the
// bootloader as bytes of a command), nor to a pedal that awaits an algorithm
// image.
bool PedalTakesSettings();
// True only while the Request button's handler runs.
extern bool ReadBackActive;

// The pedal's identity from the last whole Request, as hex text ("0C",
// "0008", "01"); empty until an answer brought them.
extern QString FirmwareVersion;
extern QString AlgorithmVersion;
extern QString EffectNumber;

// A complete answer to the device information request: identity, footswitch
// mode, assignments, tuning and the fifteen parameter values.
constexpr std::size_t kDeviceInformationValues = 81;

// How long Connect waits for the bootloader's answer to the sync byte.
constexpr int kBootloaderSyncTimeoutMs = 2000;

// Sends the request, reads the whole answer and, when it is whole, decodes it
// into ReplyValues, logs it, sets the identity (texts and model) and runs
// readBack, all before a live write made during the wait goes out. An answer
// that is not whole is not applied: ReplyValues and the identity stay, and the
// result's problem says what came. Throws platform::ConversionError for an
// answer whose digits do not convert.
ExchangeResult RequestDeviceInformation(const std::function<void()>& readBack = {});
// What the synchronisation got: the last answer as two hex digits (empty
// when none came), and whether the bootloader is ready for a command.
struct BootloaderSync {
    QString received;
    bool ready = false;
};
// Sends the bootloader's sync byte; logs "num of bytes received: ". When
// nothing answers it, the byte goes once more: a bootloader that an earlier
// connection left synchronised took the first as a command code and refuses
// the second as its complement (NACK), after which it takes commands. When an
// upgrade of this run left the bootloader possibly in the middle of a command
// (BootloaderMidCommand), a sync byte that got no answer or an ACK is followed
// by ResyncBootloader's filler, and a refusal of it makes the bootloader ready.
BootloaderSync SynchroniseWithBootloader();
