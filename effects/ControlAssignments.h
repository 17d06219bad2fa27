#pragma once
// What the pedal's four control buttons and the remote footswitch take over,
// and how its own footswitch behaves: the two messages that the main window's
// Assign and Set Footswitch Mode buttons send.

#include <QString>
#include <array>

#include "device/PedalMessages.h"
#include "effects/ParameterModel.h"

// Per control (CtrlI ... RemoteFootswitch): true while its assignment list
// shows anything but its own "Not Assigned" item.
extern std::array<bool, AssignableControlCount> ControlAssigned;

// The 16-byte assignment message as hex text: 04, five flags, four parameter
// addresses and the remote footswitch's code. Logs the message and its
// length. (Once Assign has sent it, CTRL III's tracking parameter takes the
// current tuning times 256 as its value.)
PedalMessage BuildAssignMessage();
// The 3-byte footswitch behaviour message as hex text; logs it.
PedalMessage BuildFootswitchMessage();
