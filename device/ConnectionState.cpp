// The connection flags, defined here until the connection code defines them
// with Connect and Disconnect.
#include "device/Connection.h"

bool DeviceConnected = false;
bool ReadBackActive = false;
