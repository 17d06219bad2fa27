// The main window's algorithm list: filled from the catalogue at start, and
// its Up and Down keys.
#include <QKeyEvent>

#include "app/TformMain.h"
#include "library/Catalogue.h"
#include "platform/Console.h"

void FillCatalogue() {
    formMain->lstEffects->clear();
    LoadResourceLines(QStringLiteral("octave"));
    formMain->lstEffects->addItems(ResourceLines);
}

int SelectedAlgorithmRow() {
    // Not the list's current row: that can point at an item that is not
    // selected (the list makes its first item current when it gets focus).
    const QList<QListWidgetItem*> selected = formMain->lstEffects->selectedItems();
    return selected.isEmpty() ? -1 : formMain->lstEffects->row(selected.first());
}

void TformMain::move_up_or_down(QKeyEvent* event, bool& handled) {
    const int key = event->key();
    if (key != Qt::Key_Up && key != Qt::Key_Down) return;
    // The list itself must not move the selection a second time for this key.
    handled = true;
    const int row = SelectedAlgorithmRow();
    if (key == Qt::Key_Up) {
        ConsolePrint(QStringLiteral("arrow up pressed"));
        if (row > 0) lstEffects->setCurrentRow(row - 1);
    } else {
        ConsolePrint(QStringLiteral("arrow down pressed"));
        if (row < lstEffects->count() - 1) lstEffects->setCurrentRow(row + 1);
    }
}
