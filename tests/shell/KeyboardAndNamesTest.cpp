// Keyboard-only use and what screen readers are told, through the real
// windows.
#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QTextBrowser>

#include "app/TformMain.h"
#include "app/TformPrint.h"
#include "device/PedalLink.h"
#include "effects/QuendleDial.h"
#include "effects/TformFXsettings.h"
#include "effects/TformNoteTrackingFilter.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "library/tformFXInfo.h"
#include "tests/support/EditorFixture.h"

namespace {

// The name a screen reader speaks. Qt gives a drop-down on Linux the entry it
// shows as its name and says what it is through the label linked to it (or
// the accessible name when it has no label).
QString NameOf(QWidget* widget) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget);
    if (!a) return QString();
    if (qobject_cast<QComboBox*>(widget)) {
        const auto labels = a->relations(QAccessible::Label);
        if (!labels.isEmpty()) return labels.first().first->text(QAccessible::Name);
        return widget->accessibleName();
    }
    return a->text(QAccessible::Name);
}

bool Interactive(QWidget* w) {
    // Parts of a composite control (a list's scroll bars, a drop-down's own
    // field) are named by their control.
    for (QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (qobject_cast<QAbstractScrollArea*>(p) || qobject_cast<QComboBox*>(p) ||
            qobject_cast<QuendleDial*>(p))
            return false;
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
           qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractScrollArea*>(w) ||
           qobject_cast<QAbstractSlider*>(w) || qobject_cast<QProgressBar*>(w) ||
           qobject_cast<QuendleDial*>(w);
}

TEST_F(EditorFixture, EveryControlOfEveryWindowHasAUniqueNameAndEachWindowIsAWindow) {
    StartEditor();
    for (QWidget* window :
         std::initializer_list<QWidget*>{formMain, formFXsettings, formPrint,
                                         formNoteTrackingFilter, formFirmwareUpgrade, formFXInfo}) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(window);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), QAccessible::Window) << window->objectName().toStdString();
        QMap<QString, QString> owners;
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (w->window() != window || !w->isVisibleTo(window) || !Interactive(w)) continue;
            const QString name = NameOf(w);
            const std::string who =
                (window->objectName() + QLatin1Char('/') + w->objectName()).toStdString();
            EXPECT_FALSE(name.trimmed().isEmpty()) << who;
            EXPECT_FALSE(owners.contains(name)) << who << " has the name \"" << name.toStdString()
                                                << "\" of " << owners.value(name).toStdString();
            owners.insert(name, w->objectName());
        }
    }
    TformFXsettings& s = *formFXsettings;
    // Names say what a control is, whatever it holds.
    EXPECT_EQ(NameOf(s.cmbAssignCtrlUNO), QStringLiteral("Control I"));
    EXPECT_EQ(NameOf(s.cmbAssignRemote), QStringLiteral("Remote Footswitch"));
    EXPECT_EQ(NameOf(s.cmbVariableWavePitch), QStringLiteral("1st Harmonic Pitch"));
    EXPECT_EQ(NameOf(s.cmbGuitarTuning), QStringLiteral("Tracking Functions"));
    EXPECT_EQ(NameOf(s.chkBypassShortPress), QStringLiteral("Short press: Bypass"));
    EXPECT_EQ(NameOf(s.chkChangePresetLongPress), QStringLiteral("Long press: Change Preset"));
    EXPECT_EQ(NameOf(formMain->lstEffects), QStringLiteral("Algorithms"));
    // A speech synthesiser reads "#" as a number sign.
    const std::pair<QWidget*, const char*> notes[] = {
        {formNoteTrackingFilter->chkA2, "A2"},
        {formNoteTrackingFilter->chkAdiesis2, "A sharp 2"},
        {formNoteTrackingFilter->chkCdiesis3, "C sharp 3"},
        {formNoteTrackingFilter->chkDdiesis3, "D sharp 3"}};
    for (const auto& [box, spoken] : notes) EXPECT_EQ(NameOf(box).toStdString(), spoken);

    // The look menu keeps its numbers and names the looks; the current look
    // and MIDI channel are marked.
    const QList<QAction*> looks = formMain->menuLook->actions();
    ASSERT_EQ(looks.size(), 7);
    EXPECT_EQ(looks[2]->text(), QStringLiteral("2"));
    EXPECT_EQ(looks[2]->toolTip(), QStringLiteral("Look 2: High contrast"));
    QAccessibleInterface* lookMenu = QAccessible::queryAccessibleInterface(formMain->menuLook);
    ASSERT_NE(lookMenu, nullptr);
    ASSERT_NE(lookMenu->child(2), nullptr);
    EXPECT_EQ(lookMenu->child(2)->text(QAccessible::Name), QStringLiteral("2"));
    EXPECT_EQ(lookMenu->child(2)->text(QAccessible::Description),
              QStringLiteral("Look 2: High contrast"));
    EXPECT_TRUE(looks[0]->isChecked());
    looks[3]->trigger();
    EXPECT_TRUE(looks[3]->isChecked());
    EXPECT_FALSE(looks[0]->isChecked());
    EXPECT_TRUE(lookMenu->child(3)->state().checked);
    EXPECT_FALSE(lookMenu->child(0)->state().checked);
    // A channel is ticked once the pedal has been sent it.
    AddPedal();
    ASSERT_EQ(PedalLink::Instance().Open(QStringLiteral("QMK3TEST")), ftd::FT_OK);
    QAction* channel = formMain->menuMIDIchannel->actions().value(5);
    ASSERT_NE(channel, nullptr);
    channel->trigger();
    EXPECT_TRUE(channel->isChecked());
}

TEST_F(EditorFixture, TheKeyboardOpensTheSettingsWindowAndEscapeClosesTheSecondaryWindows) {
    StartEditor();
    QListWidget* list = formMain->lstEffects;
    list->setFocus();
    list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    ASSERT_TRUE(list->selectedItems().isEmpty());
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
        QTest::keyClick(list, key);
        ASSERT_TRUE(formFXsettings->isVisible()) << key;
        EXPECT_EQ(formFXsettings->windowTitle(), list->item(0)->text());
        QTest::keyClick(formFXsettings->dialInputLevel, Qt::Key_Escape);
        EXPECT_FALSE(formFXsettings->isVisible()) << key;
    }

    // The others close on Escape as well.
    for (QWidget* window : std::initializer_list<QWidget*>{formPrint, formNoteTrackingFilter,
                                                           formFirmwareUpgrade, formFXInfo}) {
        window->show();
        QWidget* target = window->focusWidget() ? window->focusWidget() : window;
        QTest::keyClick(target, Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();
    }

    // Not while the firmware is being written: the window keeps the progress
    // in sight.
    formFirmwareUpgrade->show();
    FirmwareUpgradeRunning = true;
    QTest::keyClick(formFirmwareUpgrade, Qt::Key_Escape);
    EXPECT_TRUE(formFirmwareUpgrade->isVisible());
    FirmwareUpgradeRunning = false;

    // The menus answer to Alt and a letter.
    for (QMenu* menu : {formMain->menuFile, formMain->menuConnection, formMain->menuSettings,
                        formMain->menuFirmwareUpgrade, formMain->menuInfo})
        EXPECT_TRUE(menu->title().contains(QLatin1Char('&'))) << menu->title().toStdString();
}

TEST_F(EditorFixture, ALongDeviceNameIsCutShortButKeepsConnectedAndTheWholeTextInItsTooltip) {
    StartEditor();
    QLabel* label = formMain->lblDeviceName;
    const QString whole =
        QStringLiteral("A very long bridge description from some maker connected");
    label->setText(whole);
    const QImage picture = label->grab().toImage();  // paints it
    Q_UNUSED(picture);
    EXPECT_EQ(label->text(), whole);
    EXPECT_EQ(label->toolTip(), whole);
    label->setText(QStringLiteral("Device Name"));
    label->grab();
    EXPECT_TRUE(label->toolTip().isEmpty());
}

}  // namespace

// Tab through the target's window until the target has its focus (at most
// a full round).
static bool TabTo(QWidget* target) {
    QWidget* window = target->window();
    for (int i = 0; i < 60 && window->focusWidget() != target; ++i) {
        QWidget* from = window->focusWidget();
        QTest::keyClick(from ? from : window, Qt::Key_Tab);
    }
    return window->focusWidget() == target;
}

// Connect, Request, open the settings window, turn a knob and store it, with
// the keyboard alone.
TEST_F(EditorFixture, AKeyboardAloneConnectsRequestsEditsAndStores) {
    sim::VirtualPedal& pedal = AddPedal();
    StartEditor();
    formMain->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(formMain));

    QTest::keyClick(formMain, Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(formMain->menuConnection->isVisible());
    QTest::keyClick(formMain->menuConnection, Qt::Key_C);
    QTRY_VERIFY(formMain->menuDisconnect->isEnabled());

    formMain->lstEffects->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(TabTo(formMain->btnRequest));
    QTest::keyClick(formMain->btnRequest, Qt::Key_Space);
    ASSERT_TRUE(formMain->btnSaveParameters->isEnabled());

    ASSERT_TRUE(TabTo(formMain->lstEffects));
    QTest::keyClick(formMain->lstEffects, Qt::Key_Down);
    QTest::keyClick(formMain->lstEffects, Qt::Key_Return);
    ASSERT_TRUE(formFXsettings->isVisible());
    ASSERT_TRUE(TabTo(formFXsettings->dialClipWave));
    pedal.ClearMessages();
    QTest::keyClick(formFXsettings->dialClipWave, Qt::Key_PageUp);
    ASSERT_EQ(pedal.Messages().size(), 1u);
    const std::uint32_t turned = pedal.SlotValue(SlotWaveClip);
    EXPECT_NE(turned, 0u);

    QTest::keyClick(formFXsettings->dialClipWave, Qt::Key_Escape);
    EXPECT_FALSE(formFXsettings->isVisible());
    ASSERT_TRUE(TabTo(formMain->btnSaveParameters));
    QTest::keyClick(formMain->btnSaveParameters, Qt::Key_Space);
    ASSERT_FALSE(pedal.Messages().empty());
    const sim::Bytes store = pedal.Messages().back();
    ASSERT_EQ(store.size(), 21u);
    EXPECT_EQ(store[0], 0x03);
    EXPECT_EQ(pedal.StoreCount(), 1u);
    EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->messages.join('|').toStdString();
}
