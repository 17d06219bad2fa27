#pragma once
// What every secondary window (settings, console, note cut, firmware,
// information) shares: Escape closes it, and screen readers see it as a
// window rather than an anonymous pane.

#include <functional>

class QWidget;

// Escape closes the window; a field or list that uses Escape itself (an open
// drop-down, a knob's value field) takes it first. With mayClose, only while
// it says so (the firmware window stays while it writes to the pedal).
void CloseOnEscape(QWidget* window, std::function<bool()> mayClose = {});
// Makes the plain top-level windows report the window role. Runs once.
void InstallWindowAccessibility();
