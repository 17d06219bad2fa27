#include <QAction>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenuBar>
#include <QScrollBar>
#include <QTest>

#include "app/TformMain.h"
#include "app/TformPrint.h"
#include "platform/Console.h"
#include "tests/support/EditorFixture.h"

namespace {

using Console = EditorFixture;

TEST_F(Console, OnlyCtrlShiftPShowsTheConsole) {
    StartEditor();
    const std::pair<Qt::KeyboardModifiers, bool> cases[] = {
        {Qt::NoModifier, false},
        {Qt::ControlModifier, false},
        {Qt::ShiftModifier, false},
        {Qt::ControlModifier | Qt::ShiftModifier, true},
        // Other modifiers are not looked at.
        {Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier, true},
    };
    // Whichever part of the main window has the focus.
    for (QWidget* focused :
         {static_cast<QWidget*>(formMain->lstEffects), static_cast<QWidget*>(formMain->btnUpload),
          static_cast<QWidget*>(formMain->MenuBar1), static_cast<QWidget*>(formMain)}) {
        for (const auto& [modifiers, shows] : cases) {
            formPrint->hide();
            QTest::keyClick(focused, Qt::Key_P, modifiers);
            EXPECT_EQ(formPrint->isVisible(), shows)
                << focused->objectName().toStdString() << " " << modifiers;
        }
    }
}

TEST_F(Console, LinesLoggedWhileHiddenAreThereWhenShownAgain) {
    StartEditor();
    QTest::keyClick(formMain->lstEffects, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    ConsolePrint("first");
    formPrint->close();
    EXPECT_FALSE(formPrint->isVisible());
    formMain->menuInfo->aboutToShow();  // a click on "Info"
    ConsolePrint("");
    QTest::keyClick(formMain->lstEffects, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(formPrint->isVisible());
    EXPECT_EQ(ConsoleLines(), (QStringList{"first", "current app version: " + CurrentVersion, ""}));
}

TEST_F(Console, ClearStartsTheLogAgain) {
    StartEditor();
    ConsolePrint("a");
    ConsolePrint("b");
    formPrint->btnClear->click();
    ConsolePrint("c");
    EXPECT_EQ(ConsoleLines(), QStringList{"c"});
}

TEST_F(Console, ScrollFollowsTheEndOnlyWhileScrollDownIsTicked) {
    StartEditor();
    formPrint->show();
    QScrollBar* bar = formPrint->Memo1->verticalScrollBar();
    for (int i = 0; i < 200; ++i) ConsolePrint(QString::number(i));
    EXPECT_EQ(bar->value(), bar->maximum());

    formPrint->btnScrollTop->click();
    EXPECT_EQ(bar->value(), 0);
    formPrint->CheckBox1->setChecked(false);
    EXPECT_FALSE(AutoScroll);
    ConsolePrint("while unticked");
    EXPECT_EQ(bar->value(), 0);

    formPrint->CheckBox1->setChecked(true);
    EXPECT_EQ(bar->value(), 0);  // ticking alone does not scroll
    ConsoleAppend("direct line");
    EXPECT_EQ(bar->value(), 0);  // direct lines never scroll
    ConsolePrint("next");
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(ConsoleLines().mid(200), (QStringList{"while unticked", "direct line", "next"}));
}

// Showing the console must not move the view to the text cursor (the end of
// the last line): it opens where the log's own scrolling left it.
TEST_F(Console, ShowingTheConsoleKeepsTheViewTheLogChose) {
    StartEditor();
    QScrollBar* vertical = formPrint->Memo1->verticalScrollBar();
    QScrollBar* horizontal = formPrint->Memo1->horizontalScrollBar();
    const QString wide = QStringLiteral("a line much wider than the console window ").repeated(8);
    // Never shown yet: the newest line in view, from its left edge.
    for (int i = 0; i < 200; ++i) ConsolePrint(QString::number(i));
    ConsolePrint(wide);
    QTest::keyClick(formMain->lstEffects, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(formPrint->isVisible());
    EXPECT_EQ(horizontal->value(), 0);
    EXPECT_EQ(vertical->value(), vertical->maximum());

    // With scrollDOWN unticked, lines logged while hidden leave the view where it was.
    formPrint->btnScrollTop->click();
    formPrint->CheckBox1->setChecked(false);
    formPrint->close();
    ConsolePrint(wide);
    ConsoleAppend(wide);
    formPrint->show();
    EXPECT_EQ(vertical->value(), 0);
    EXPECT_EQ(horizontal->value(), 0);
}

// What was logged before the console was first opened goes in all at once;
// it must read and sit exactly as the lines one by one would have.
TEST_F(Console, LinesLoggedBeforeTheConsoleIsBuiltReadAsLogged) {
    StartEditor();
    ASSERT_EQ(formPrint.built(), nullptr);
    QStringList logged;
    for (int i = 0; i < 200; ++i) {
        logged << QString::number(i);
        ConsolePrint(logged.constLast());
    }
    for (int i = 0; i < 50; ++i) {
        logged << QStringLiteral("direct %1").arg(i);
        ConsoleAppend(logged.constLast());
        // A pedal's answer can end in a carriage return; such a line stays
        // one line followed by an empty one, as when it was added alone.
        if (i == 20) {
            ConsoleAppend(QStringLiteral("received Byte: 7\r"));
            logged << QStringLiteral("received Byte: 7") << QString();
        }
    }
    formPrint->show();
    EXPECT_EQ(ConsoleLines(), logged);
    // The view went down with the lines that scroll, and stayed there for
    // the direct lines after them, which are below it.
    QScrollBar* vertical = formPrint->Memo1->verticalScrollBar();
    EXPECT_GE(vertical->value(), 190);
    EXPECT_LT(vertical->value(), vertical->maximum());
}

TEST_F(Console, UpOnAnEmptyLogDoesNothing) {
    StartEditor();
    formPrint->btnScrollTop->click();
    EXPECT_TRUE(ConsoleLines().isEmpty());
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

}  // namespace
