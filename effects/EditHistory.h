#pragma once
// The player's edits in the settings window, for Undo and Redo. Each step
// holds the values it changed, before and after; undoing or redoing one puts
// those values into the model with their live writes, exactly as a hand on
// the knob would. Only the player's edits are steps: a read-back replaces the
// picture the steps were made against, so it clears the history.

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <cstdint>
#include <utility>
#include <vector>

class QAction;

class EditHistory : public QObject {
    Q_OBJECT
public:
    static EditHistory& Instance();

    // A player's edit of one value: into the model with its live write, and
    // a step. Moves of one control in a row make one step, so a knob turned
    // in many small moves is undone in one.
    void Edit(int slot, std::uint32_t value);
    // Several values as one step (a loaded preset), named for the Edit menu.
    // Stops at a value the pedal did not take: the step holds those it did,
    // and the result is false.
    bool EditAll(const QString& name, const std::vector<std::pair<int, std::uint32_t>>& values);
    void Clear();
    // Whether the pedal takes settings now. While it does not, Undo and Redo
    // are off, as the window's controls are: a step taken back then would
    // change the picture and never reach the pedal.
    void SetLive(bool live);

    QUndoStack& Stack() { return stack_; }
    // Ctrl+Z and Ctrl+Shift+Z; shared by the main window's Edit menu and the
    // settings window's context menu, enabled only when there is a step.
    QAction* UndoAction() const { return undo_; }
    QAction* RedoAction() const { return redo_; }

private:
    EditHistory();
    void ShowActions();
    QUndoStack stack_;
    bool live_ = false;
    QAction* undo_;
    QAction* redo_;
};
