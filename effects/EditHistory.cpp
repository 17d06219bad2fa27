#include "effects/EditHistory.h"

#include <QAction>
#include <QKeySequence>
#include <QUndoCommand>

#include "effects/PedalModel.h"

namespace {

struct Change {
    int slot;
    std::uint32_t before;
    std::uint32_t after;
};

class ValueStep : public QUndoCommand {
public:
    ValueStep(const QString& name, std::vector<Change> changes, bool mergeable)
        : QUndoCommand(name), changes_(std::move(changes)), mergeable_(mergeable) {}

    // The push's own redo: the edit has been made already.
    void redo() override {
        if (pushed_) {
            pushed_ = false;
            return;
        }
        for (const Change& c : changes_) Put(c.slot, c.after);
    }
    void undo() override {
        for (auto c = changes_.rbegin(); c != changes_.rend(); ++c) Put(c->slot, c->before);
    }
    int id() const override { return mergeable_ ? changes_.front().slot + 1 : -1; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const ValueStep*>(other);
        if (!mergeable_ || !next->mergeable_ ||
            next->changes_.front().slot != changes_.front().slot)
            return false;
        changes_.front().after = next->changes_.front().after;
        // Turned back to where it started: nothing is left to undo.
        setObsolete(changes_.front().after == changes_.front().before);
        return true;
    }

private:
    // Assignments change only with a read-back, which clears the history, so
    // a step never meets a parameter that became assigned after it was made.
    static void Put(int slot, std::uint32_t value) { Model().SetValue(slot, value, true); }

    std::vector<Change> changes_;
    bool mergeable_;
    bool pushed_ = true;
};

QString SlotName(int slot) {
    return ParameterAt(slot).name();
}

}  // namespace

EditHistory& EditHistory::Instance() {
    static EditHistory* history = new EditHistory;
    return *history;
}

EditHistory::EditHistory() {
    undo_ = stack_.createUndoAction(this, QStringLiteral("&Undo"));
    undo_->setObjectName(QStringLiteral("menuUndo"));
    undo_->setShortcut(QKeySequence::Undo);
    redo_ = stack_.createRedoAction(this, QStringLiteral("&Redo"));
    redo_->setObjectName(QStringLiteral("menuRedo"));
    redo_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    // Connected after the actions' own, so these have the last word.
    connect(&stack_, &QUndoStack::canUndoChanged, this, &EditHistory::ShowActions);
    connect(&stack_, &QUndoStack::canRedoChanged, this, &EditHistory::ShowActions);
    ShowActions();
}

void EditHistory::SetLive(bool live) {
    live_ = live;
    ShowActions();
}

void EditHistory::ShowActions() {
    undo_->setEnabled(live_ && stack_.canUndo());
    redo_->setEnabled(live_ && stack_.canRedo());
}

void EditHistory::Edit(int slot, std::uint32_t value) {
    const std::uint32_t before = Model().Value(slot);
    if (!Model().SetValue(slot, value, true) || before == value) return;
    stack_.push(new ValueStep(SlotName(slot), {{slot, before, value}}, true));
}

bool EditHistory::EditAll(const QString& name,
                          const std::vector<std::pair<int, std::uint32_t>>& values) {
    std::vector<Change> changes;
    bool taken = true;
    for (const auto& [slot, value] : values) {
        const std::uint32_t before = Model().Value(slot);
        // Once the pedal stops taking values (unplugged, or the driver
        // refuses), the rest are not put into the model either.
        if (!Model().SetValue(slot, value, true)) {
            taken = false;
            break;
        }
        if (before != value) changes.push_back({slot, before, value});
    }
    if (!changes.empty()) stack_.push(new ValueStep(name, std::move(changes), false));
    return taken;
}

void EditHistory::Clear() {
    stack_.clear();
}
