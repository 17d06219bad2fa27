#pragma once
// The listing of attached bridges that start-up runs, into the main window's
// device label and serial-number menu item.

void ListDevicesAtStart();
