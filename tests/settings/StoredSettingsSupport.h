#pragma once
// The assignment, tuning and read-back suites start from here: the editor
// connected through its menus to a virtual pedal, with helpers for the
// pedal's stored settings in the shape of its reply.

#include <QAbstractButton>
#include <QAction>
#include <QPushButton>
#include <QTest>
#include <array>
#include <optional>
#include <ostream>

#include "effects/PedalModel.h"
#include "tests/effects/SettingsFixture.h"
#include "tests/support/RandomRun.h"

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// Bytes 1 ... 15 of an assignment message: five flags, then five codes
// (high byte first). A control without a code is not assigned (flag 0, FFFF).
inline std::array<std::uint8_t, 15> AssignmentBytes(
    const std::array<std::optional<std::uint16_t>, 5>& codes) {
    std::array<std::uint8_t, 15> bytes{};
    for (std::size_t c = 0; c < 5; ++c) {
        const std::uint16_t code = codes[c].value_or(0xFFFF);
        bytes[c] = codes[c] ? 1 : 0;
        bytes[5 + 2 * c] = static_cast<std::uint8_t>(code >> 8);
        bytes[6 + 2 * c] = static_cast<std::uint8_t>(code & 0xFF);
    }
    return bytes;
}

class StoredSettingsFixture : public SettingsFixture {
protected:
    sim::VirtualPedal& Pedal() { return driver->Pedal(); }

    // The fifteen values as the editor's model holds them, and as the pedal does.
    std::vector<std::uint32_t> ModelValues() {
        std::vector<std::uint32_t> values;
        for (int s = 0; s < ParameterSlotCount; ++s) values.push_back(Model().Value(s));
        return values;
    }
    std::vector<std::uint32_t> PedalValues() {
        std::vector<std::uint32_t> values;
        for (std::size_t s = 0; s < 15; ++s) values.push_back(Pedal().SlotValue(s));
        return values;
    }

    // Scan and Connect from the main window's menu, as the user does.
    void ConnectThroughMenu() {
        formMain->menuScan->trigger();
        formMain->menuConnect->trigger();
        ASSERT_TRUE(DeviceConnected);
        dialogs->messages.clear();
    }

    void ClickRequest() { QTest::mouseClick(formMain->btnRequest, Qt::LeftButton); }
    void Click(QPushButton* button) {
        ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Connected, the built-in algorithm chosen, a first Request made (which
    // enables the setting buttons); the log and the pedal's record cleared.
    void StartReady() {
        AddPedal();
        StartEditor();
        ConnectThroughMenu();
        ClickAlgorithm(0);
        ClickRequest();
        Pedal().ClearMessages();
        dialogs->messages.clear();
        dialogs->questions.clear();
        clock->sleepLog.clear();
        NewConsoleLines();
    }
};
