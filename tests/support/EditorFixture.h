#pragma once
// What most editor tests start from: a virtual pedal driver, a dialog recorder
// answering from a script, a clock that counts sleeps instead of spending
// them, and a temporary documents folder. StartEditor() creates the windows
// as the program does. Whatever a case changes program-wide (flags, tables,
// registered resources, the seams) is put back when it ends, so cases run one
// after another in a process each start from the same state.

#include <gtest/gtest.h>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "device/FtDriver.h"

#include "platform/Dialogs.h"
#include "platform/Network.h"
#include "platform/Time.h"
#include "sim/VirtualPedalDriver.h"
#include "tests/support/ProcessState.h"

// Keeps editor tests off the internet: every GET is recorded and answered as
// if the maker's site published the editor's own version; opened addresses are
// recorded. Tests of the real client install platform::MakeQtNetwork().
class OfflineNetwork : public platform::Network {
public:
    platform::HttpResponse Get(const QUrl& url, int timeoutMs) override;
    void OpenUrl(const QUrl& url) override { opened << url; }
    QList<QUrl> gets, opened;
};

class EditorFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the six windows (the main window shown off-screen).
    void StartEditor();
    // Attaches a virtual bridge before or after start.
    sim::VirtualPedal& AddPedal(const std::string& serial = "QMK3TEST",
                                const std::string& description = "FT230X Basic UART");
    // The console's log, one entry per line.
    QStringList ConsoleLines() const;
    // Lines logged since the last call.
    QStringList NewConsoleLines();
    // Puts D, a virtual pedal driver that watches or spoils what goes by, in
    // the place of the fixture's own, before the editor starts; returns it
    // (driver is it too).
    template <class D>
    D* UseDriver() {
        auto owned = std::make_unique<D>();
        D* installed = owned.get();
        driver = installed;
        ftd::InstallDriver(std::move(owned));
        return installed;
    }
    // Writes the host made to the pedal at index, in order.
    std::vector<sim::Bytes> Sent(std::size_t pedal = 0) { return driver->Pedal(pedal).Messages(); }

    sim::VirtualPedalDriver* driver = nullptr;
    platform::RecordingDialogs* dialogs = nullptr;
    platform::CountingClock* clock = nullptr;
    OfflineNetwork* network = nullptr;
    QTemporaryDir documents;

private:
    // Made before SetUp, gone after TearDown (the windows are gone by then).
    ProcessStateGuard processState_;
    int consoleMark_ = 0;
};

// Bytes from a hex text such as "01 00 0A 00 7F E0 00" (spaces ignored).
sim::Bytes HexBytes(const char* text);
