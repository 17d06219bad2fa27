#pragma once
// The settings window's tests start from here: the editor with a virtual pedal,
// helpers to click an algorithm in the main window's list and to stand for a
// successful Connect.

#include <QListWidget>
#include <QTest>

#include "device/PedalLink.h"
#include "app/TformMain.h"
#include "device/Connection.h"
#include "device/D2XXUnit.h"
#include "effects/TformFXsettings.h"
#include "platform/Resources.h"
#include "tests/support/EditorFixture.h"

// One line of hex text shaped like an algorithm image: byte 0 is 0, bytes 1-2
// the length (0x1220), then the address table words, then program bytes.
inline QString AlgorithmImageLine(const QStringList& words) {
    QString line = QStringLiteral("001220") + words.join(QString());
    while (line.size() < 9280) line += QStringLiteral("5A");
    return line;
}

class SettingsFixture : public EditorFixture {
protected:
    void ClickAlgorithm(int row) {
        QListWidget* list = formMain->lstEffects;
        QListWidgetItem* item = list->item(row);
        ASSERT_NE(item, nullptr) << "no algorithm at row " << row;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualItemRect(item).center());
    }

    // What a successful Connect leaves behind: the pedal open and the window's
    // controls enabled.
    void ConnectPedal() {
        ASSERT_EQ(PedalLink::Instance().Open(QStringLiteral("QMK3TEST")), ftd::FT_OK);
        DeviceConnected = true;
        formFXsettings->SetSettingsEnabled(true);
    }

    // The editor connected, the built-in algorithm clicked, nothing sent yet.
    void StartConnectedWithAlgorithm() {
        AddPedal();
        StartEditor();
        ConnectPedal();
        ClickAlgorithm(0);
        ASSERT_TRUE(formFXsettings->isVisible());
        driver->Pedal().ClearMessages();
    }

    std::vector<sim::Bytes> Writes() { return driver->Pedal().Messages(); }
};
