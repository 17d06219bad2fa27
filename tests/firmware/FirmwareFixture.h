#pragma once
// The editor talking to a bootloader in the state Connect leaves in Upgrade
// Mode when the bootloader answered the synchronisation byte. By default the
// bootloader is a scripted one; fixtures that want the virtual pedal's (or a
// real serial port) say so.

#include <QByteArray>
#include <QStringList>
#include <ostream>

#include "tests/firmware/ScriptedBootloaderDriver.h"
#include "tests/support/EditorFixture.h"

// The box at the end of an upgrade the pedal acknowledged.
inline const QString kComplete =
    QStringLiteral("Firmware Upgrade Complete, device will now restart");

class FirmwareFixture : public EditorFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // False: keep the fixture's virtual pedal driver (or install another).
    virtual bool UsesScriptedBootloader() const { return true; }

    // Opens the device with Upgrade Mode on and synchronises with its
    // bootloader (no windows needed).
    void OpenBootloader(const QString& serial = ScriptedBootloaderDriver::kSerial);
    // Starts the editor, ticks Upgrade Mode, connects (which synchronises
    // with the listed device's bootloader) and opens the Firmware Upgrade
    // window, as the user does.
    void StartInBootloader();
    // Chooses an item of cmbFirmwareChoose as the user does.
    void Choose(const QString& text);
    void ClickUpgrade();
    // Every console line since the capture began, "P " for a logged line (with
    // scroll), "A " for one appended directly.
    void CaptureConsole();
    QStringList captured;

    // Installs a clock that records its pauses among the bytes written, and
    // records message boxes there too; Timeline() then reads e.g.
    // "31 s1 CE s1 s20 ... A1 b B2 b": bytes in hex, sN a sleep of N ms, b a
    // busy pause of the data-byte length, MSG a message box.
    void RecordTimeline();
    QString Timeline() const;

    ScriptedBootloaderDriver* boot = nullptr;

private:
    std::vector<std::pair<std::size_t, QString>> events_;  // (writes so far, event)
    std::size_t timelineFrom_ = 0;
};

// A firmware image of the given size with bytes that differ from block to
// block (so a block written in the wrong place shows).
QByteArray TestImage(int size);
// Bytes of a QByteArray, for comparing with the flash.
sim::Bytes ToBytes(const QByteArray& bytes);

// Readable failure output for texts and logs.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
