// The five windows not shown at start are built when something first uses
// them. Built at start or only after the pedal was connected and read, each
// must show the same: the same controls on and off, the same values.

#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextEdit>
#include <sstream>

#include "app/TformPrint.h"
#include "effects/TformNoteTrackingFilter.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "library/tformFXInfo.h"
#include "tests/settings/StoredSettingsSupport.h"
#include "tests/support/ProcessState.h"

namespace {

// Whether `object` belongs to another of the editor's windows inside `window`
// (the five are children of the main window).
bool InAnotherWindow(const QObject* object, const QWidget* window) {
    for (const QObject* o = object; o && o != window; o = o->parent()) {
        const auto* w = qobject_cast<const QWidget*>(o);
        if (w && w->isWindow() && !qobject_cast<const QMenu*>(w)) return true;
    }
    return false;
}

// Every control of a window, by name, with what a player sees of it. Whether
// a control is on is part of it only while the window is shown: a window that
// was never shown keeps the state it was made with until it is, and the way
// it is shown sets it (the settings window by the algorithm list).
std::string Snapshot(QWidget* window) {
    const bool shown = window->isVisible();
    std::ostringstream out;
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* w : widgets) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")) ||
            (w != window && InAnotherWindow(w, window)))
            continue;
        out << w->metaObject()->className() << ' ' << w->objectName().toStdString()
            << " shown=" << w->isVisibleTo(window);
        if (shown) out << " enabled=" << w->isEnabled();
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            out << " text=" << b->text().toStdString() << " checked=" << b->isChecked();
        if (auto* l = qobject_cast<QLabel*>(w)) out << " text=" << l->text().toStdString();
        if (auto* c = qobject_cast<QComboBox*>(w))
            out << " count=" << c->count() << " current=" << c->currentText().toStdString();
        if (auto* e = qobject_cast<QLineEdit*>(w)) out << " text=" << e->text().toStdString();
        if (auto* s = qobject_cast<QAbstractSlider*>(w)) out << " value=" << s->value();
        if (auto* text = qobject_cast<QPlainTextEdit*>(w))
            out << " text=" << text->toPlainText().toStdString();
        if (auto* text = qobject_cast<QTextEdit*>(w))
            out << " text=" << text->toPlainText().toStdString();
        if (auto* list = qobject_cast<QListWidget*>(w))
            out << " count=" << list->count() << " row=" << list->currentRow();
        out << '\n';
    }
    for (QAction* a : window->findChildren<QAction*>()) {
        if (a->text().isEmpty() || InAnotherWindow(a, window)) continue;
        out << "action " << a->text().toStdString() << " checked=" << a->isChecked()
            << " shown=" << a->isVisible();
        if (shown) out << " enabled=" << a->isEnabled();
        out << '\n';
    }
    return out.str();
}

enum class Reached { Started, Connected, Read };

class BuildOrder : public StoredSettingsFixture,
                   public ::testing::WithParamInterface<std::tuple<Reached, bool>> {
protected:
    void BuildAll() {
        ASSERT_NE(formFirmwareUpgrade.get(), nullptr);
        ASSERT_NE(formPrint.get(), nullptr);
        ASSERT_NE(formFXInfo.get(), nullptr);
        ASSERT_NE(formFXsettings.get(), nullptr);
        ASSERT_NE(formNoteTrackingFilter.get(), nullptr);
    }
    void Reach(Reached where) {
        if (where == Reached::Started) return;
        ConnectThroughMenu();
        if (where == Reached::Connected) return;
        ClickAlgorithm(0);
        ClickRequest();
    }
    std::map<std::string, std::string> All() {
        return {{"main", Snapshot(formMain)},
                {"firmware", Snapshot(formFirmwareUpgrade)},
                {"console", Snapshot(formPrint)},
                {"info", Snapshot(formFXInfo)},
                {"settings", Snapshot(formFXsettings)},
                {"note tracking", Snapshot(formNoteTrackingFilter)}};
    }
};

TEST_P(BuildOrder, WindowsBuiltAtStartOrLaterShowTheSame) {
    const auto [where, upgradeMode] = GetParam();
    std::map<std::string, std::string> early, late;
    for (const bool buildFirst : {true, false}) {
        // Each run from the same program-wide state, as a case of its own.
        ProcessStateGuard fresh;
        SetUp();
        // In Upgrade Mode, Connect reaches the pedal's bootloader.
        AddPedal().SetBootOnSync(upgradeMode);
        StartEditor();
        if (upgradeMode) formMain->menuFirmwareUpgradeMode->trigger();
        if (buildFirst) BuildAll();
        Reach(where);
        if (!buildFirst) BuildAll();
        (buildFirst ? early : late) = All();
        TearDown();
    }
    for (const auto& [name, snapshot] : early) EXPECT_EQ(snapshot, late[name]) << name;
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<Reached, bool>>& info) {
    const Reached where = std::get<0>(info.param);
    const std::string reached = where == Reached::Started     ? "Started"
                                : where == Reached::Connected ? "Connected"
                                                              : "Read";
    return reached + (std::get<1>(info.param) ? "InUpgradeMode" : "");
}

INSTANTIATE_TEST_SUITE_P(States, BuildOrder,
                         ::testing::Combine(::testing::Values(Reached::Started, Reached::Connected,
                                                              Reached::Read),
                                            ::testing::Bool()),
                         CaseName);

}  // namespace
