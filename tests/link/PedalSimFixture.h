#pragma once
// The editor on its serial-port backend, talking to quendle-pedal-sim on a
// pseudo-terminal: the real serial path end to end.

#include <QProcess>
#include <QStringList>
#include <chrono>
#include <memory>
#include <thread>

#include "device/SerialPortDriver.h"
#include "platform/Time.h"
#include "tests/support/EditorFixture.h"

// Real sleeps: over a terminal the pedal's answer needs the pause before the
// reading to arrive whole.
class SleepingClock : public platform::Clock {
public:
    void SleepMs(int milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    void BusyPause(std::uint64_t iterations) override {
        platform::PreciseSleepNs(platform::PauseNanoseconds(iterations));
    }
};

class PedalSimFixture : public EditorFixture {
protected:
    void TearDown() override {
        EditorFixture::TearDown();
        if (pedalSim.state() != QProcess::NotRunning) {
            pedalSim.terminate();
            pedalSim.waitForFinished(5000);
        }
    }
    // Starts quendle-pedal-sim; the path of its terminal, empty when it did
    // not start.
    QString LaunchPedalSim(const QStringList& options) {
        pedalSim.start(QStringLiteral(QUENDLE_PEDAL_SIM_PATH), options);
        if (!pedalSim.waitForStarted(5000)) return {};
        while (!pedalSim.canReadLine())
            if (!pedalSim.waitForReadyRead(5000)) return {};
        return QString::fromLocal8Bit(pedalSim.readLine()).trimmed();
    }
    // Starts the editor with the serial-port backend given this --port path.
    void StartOnPort(const QString& path) {
        driver = nullptr;  // the fixture's virtual pedal is not used here
        ftd::InstallDriver(std::make_unique<SerialPortDriver>(QStringList{path}));
        platform::InstallClock(std::make_unique<SleepingClock>());
        StartEditor();
    }
    // Both: the pedal on its terminal and the editor on it; the path.
    QString StartPedalSim(const QStringList& options) {
        const QString path = LaunchPedalSim(options);
        if (!path.isEmpty()) StartOnPort(path);
        return path;
    }
    QProcess pedalSim;
};
