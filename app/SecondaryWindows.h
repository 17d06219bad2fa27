#pragma once
// What every secondary window (settings, console, note cut, firmware,
// information) shares: Escape closes it, and screen readers see it as a
// window rather than an anonymous pane.

class QWidget;

// Escape closes the window; a field or list that uses Escape itself (an open
// drop-down, a knob's value field) takes it first.
void CloseOnEscape(QWidget* window);
// Makes the plain top-level windows report the window role. Runs once.
void InstallWindowAccessibility();
