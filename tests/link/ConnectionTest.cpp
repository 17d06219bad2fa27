// Scan, Connect, Disconnect and Request through the real main window against
// the virtual pedal.

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/TformMain.h"
#include "app/TformPrint.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "effects/TformNoteTrackingFilter.h"
#include "tests/link/LinkSupport.h"
#include "tests/support/EditorFixture.h"

namespace {

using namespace linktest;

// Cases show their names in test listings.
template <class Case>
auto operator<<(std::ostream& os, const Case& c) -> decltype(c.name, os) {
    return os << c.name;
}

constexpr const char* kStartState = "UpgradeModeBox Scan Connect";
constexpr const char* kConnectedState = "Upload Request OpenFX Disconnect";
constexpr const char* kDisconnectedState = "Scan Connect";

class Link : public EditorFixture {
protected:
    // The link's start-up state, also when the cases share one process.
    void SetUp() override {
        EditorFixture::SetUp();
        DeviceConnected = false;
        ReadBackActive = false;
        ReplyValues.clear();
        DeviceSerialNumber.clear();
    }

    void Start() {
        StartEditor();
        console =
            std::make_unique<ConsoleRecorder>([](const QString& line, platform::Scroll scroll) {
                if (formPrint) formPrint->AddLine(line, scroll == platform::Scroll::ToEnd);
            });
    }

    // The controls the connection state drives, named as on screen, that
    // are enabled now.
    static QString EnabledControls() {
        const std::pair<const char*, bool> controls[] = {
            {"Upload", formMain->btnUpload->isEnabled()},
            {"Request", formMain->btnRequest->isEnabled()},
            {"OpenFX", formMain->btnOpenEffect->isEnabled()},
            {"Assign", formMain->btnAssign->isEnabled()},
            {"SaveParameters", formMain->btnSaveParameters->isEnabled()},
            {"SetFootswitchMode", formMain->btnSetFootswitchMode->isEnabled()},
            {"SetTuning", formMain->btnSetTuning->isEnabled()},
            {"UpgradeModeBox", formMain->chkFirmwareUpgradeMode->isEnabled()},
            {"Scan", formMain->menuScan->isEnabled()},
            {"Connect", formMain->menuConnect->isEnabled()},
            {"Disconnect", formMain->menuDisconnect->isEnabled()},
            {"StartFirmwareUpgrade", formMain->menuStartFirmwareUpgrade->isEnabled()},
        };
        QStringList enabled;
        for (const auto& [name, on] : controls)
            if (on) enabled << QLatin1String(name);
        return enabled.join(QLatin1Char(' '));
    }

    // Whether the device label shows the whole of its text in the space the
    // window gives it.
    // The whole text fits the label's line, or it is cut short keeping
    // " connected" and the whole text is in the tooltip.
    static bool DeviceLabelShowsItsState() {
        QLabel* label = formMain->lblDeviceName;
        QCoreApplication::processEvents();  // the layout follows the new text
        label->grab();                      // and the label draws it
        const QString text = label->text();
        if (label->fontMetrics().horizontalAdvance(text) <= label->contentsRect().width())
            return label->toolTip().isEmpty();
        return text.endsWith(QStringLiteral(" connected")) && label->toolTip() == text;
    }

    static void Scan() { formMain->menuScan->trigger(); }
    static void Connect() { formMain->menuConnect->trigger(); }
    static void Disconnect() { formMain->menuDisconnect->trigger(); }
    static void ClickRequest() { QTest::mouseClick(formMain->btnRequest, Qt::LeftButton); }

    // The lines a Request adds after the value listing.
    QStringList IdentityLines() const {
        QStringList lines;
        for (const QString& line : console->Texts())
            if (line.startsWith("Firmware Version") || line.startsWith("Algorithm version") ||
                line.startsWith("Effect Number") || line.startsWith("Settings read-back"))
                lines << line;
        return lines;
    }

    // Runs action after delayMs while the handler started by start waits.
    static void During(int delayMs, std::function<void()> action,
                       const std::function<void()>& start) {
        QTimer::singleShot(delayMs, formMain, std::move(action));
        start();
    }

    std::unique_ptr<ConsoleRecorder> console;
};

const QStringList kIdentity0C0008{"Firmware Version: 0C", "Algorithm version: 0008",
                                  "Effect Number: 01"};

// ---------------------------------------------------------------------------

struct ScanCase {
    const char* name;
    bool unplugFirst;  // the bridge listed at start is gone by the time of the Scan
    std::vector<std::pair<std::string, std::string>> added;
    QStringList log;
    QStringList boxes;
    QString labelAtFirstBox;
    QString label;
    QString selected;
};

class ScanDevicesTest : public Link, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(ScanDevicesTest, LogsListsAndSelectsTheLastDevice) {
    const ScanCase& c = GetParam();
    AddPedal("QM0");
    Start();
    if (c.unplugFirst) driver->Unplug(0);
    for (const auto& [serial, description] : c.added) AddPedal(serial, description);
    QStringList labelsAtBoxes;
    dialogs->onMessage = [&](const QString&) { labelsAtBoxes << formMain->lblDeviceName->text(); };

    Scan();
    EXPECT_EQ(console->Texts(), c.log);
    EXPECT_EQ(dialogs->messages, c.boxes);
    ASSERT_FALSE(labelsAtBoxes.isEmpty());
    EXPECT_EQ(labelsAtBoxes.front(), c.labelAtFirstBox);
    EXPECT_EQ(formMain->lblDeviceName->text(), c.label);
    EXPECT_EQ(DeviceSerialNumber, c.selected);
    EXPECT_EQ(formMain->menuSerialNumber->text(), "Serial Number: QM0");
    EXPECT_EQ(EnabledControls(), kStartState);

    // Connect opens the device the Scan selected.
    dialogs->messages.clear();
    Connect();
    EXPECT_EQ(QString::fromStdString(driver->LastOpenedSerial()), c.selected);
    EXPECT_TRUE(DeviceLabelShowsItsState()) << formMain->lblDeviceName->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Devices, ScanDevicesTest,
    ::testing::Values(
        ScanCase{"NoDevice",
                 true,
                 {},
                 {"FT device count: 0"},
                 {"No device found"},
                 "Device Name",
                 "No device found",
                 "QM0"},
        // The bridge's description, not the product name the start-up shows.
        ScanCase{"OneBridge",
                 true,
                 {{"QM1", "FT230X Basic UART"}},
                 {"FT device count: 1", "FT_Device_String: QM1"},
                 {"FT230X Basic UART found, click Connect"},
                 "FT230X Basic UART",
                 "FT230X Basic UART",
                 "QM1"},
        ScanCase{"TwoBridges",
                 false,
                 {{"QM2", "Other Bridge"}},
                 {"FT device count: 2", "FT_Device_String: QM0", "FT_Device_String: QM2"},
                 {"FT230X Basic UART found, click Connect", "Other Bridge found, click Connect"},
                 "FT230X Basic UART",
                 "Other Bridge",
                 "QM2"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------

TEST_F(Link, ConnectDisconnectConnectFollowsTheStateTable) {
    AddPedal("QMK3TEST");
    Start();
    EXPECT_EQ(EnabledControls(), kStartState);

    Connect();
    EXPECT_EQ(formMain->lblDeviceName->text(), "Quendle MK3 connected");
    EXPECT_EQ(EnabledControls(), kConnectedState);
    EXPECT_TRUE(DeviceConnected);
    EXPECT_TRUE(driver->IsOpen());
    EXPECT_EQ(driver->BaudRate(), 115200u);
    EXPECT_EQ(driver->WordLength(), 8);
    EXPECT_EQ(driver->StopBits(), 0);
    EXPECT_EQ(driver->Parity(), 0);
    ASSERT_EQ(console->lines.size(), 3u);
    EXPECT_EQ(console->Texts(), (QStringList{"serial number: QMK3TEST", "FT_HANDLE: 0x00A70000",
                                             "baud rate = 115200"}));
    EXPECT_EQ(console->lines[1].scroll, platform::Scroll::ToEnd);
    EXPECT_EQ(console->lines[2].scroll, platform::Scroll::None);  // a direct line
    EXPECT_TRUE(Sent().empty());

    Disconnect();
    EXPECT_EQ(formMain->lblDeviceName->text(), "Quendle MK3 ");
    EXPECT_EQ(EnabledControls(), kDisconnectedState);
    EXPECT_FALSE(DeviceConnected);
    EXPECT_FALSE(driver->IsOpen());

    Connect();
    EXPECT_EQ(formMain->lblDeviceName->text(), "Quendle MK3  connected");
    EXPECT_TRUE(DeviceLabelShowsItsState());
    EXPECT_EQ(EnabledControls(), kConnectedState);
    EXPECT_TRUE(DeviceConnected);
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(Link, FailedCloseKeepsTheConnectedState) {
    AddPedal("QMK3TEST");
    Start();
    Connect();
    driver->FailNext("Close", ftd::FT_IO_ERROR);
    Disconnect();
    EXPECT_EQ(dialogs->messages, QStringList{"FT_Close - General IO error..."});
    EXPECT_EQ(formMain->lblDeviceName->text(), "Quendle MK3 connected");
    EXPECT_EQ(EnabledControls(), kConnectedState);
    EXPECT_TRUE(DeviceConnected);
}

struct ConnectFailure {
    const char* name;
    bool listedAtStart;
    std::function<void(sim::VirtualPedalDriver&)> fault;
    std::string openedSerial;
    QString box;
};

class ConnectFails : public Link, public ::testing::WithParamInterface<ConnectFailure> {};

TEST_P(ConnectFails, LeavesEveryControlAsItWas) {
    const ConnectFailure& c = GetParam();
    if (c.listedAtStart) AddPedal("QMK3TEST");
    Start();
    if (!c.listedAtStart) AddPedal("QMK3TEST");  // plugged in later, never listed
    c.fault(*driver);
    const QString label = formMain->lblDeviceName->text();

    Connect();
    EXPECT_EQ(driver->LastOpenedSerial(), c.openedSerial);
    EXPECT_EQ(dialogs->messages, QStringList{c.box});
    EXPECT_EQ(formMain->lblDeviceName->text(), label);
    EXPECT_EQ(EnabledControls(), kStartState);
    EXPECT_FALSE(DeviceConnected);
    EXPECT_EQ(console->Texts(), QStringList{QStringLiteral("serial number: ") +
                                            QString::fromStdString(c.openedSerial)});
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ConnectFails,
    ::testing::Values(
        ConnectFailure{"NothingListed", false, [](sim::VirtualPedalDriver&) {}, "",
                       "Open_USB_Device_By_Serial_Number - Device not found..."},
        ConnectFailure{"Unplugged", true, [](sim::VirtualPedalDriver& d) { d.Unplug(0); },
                       "QMK3TEST", "Open_USB_Device_By_Serial_Number - Device not found..."},
        ConnectFailure{
            "InUse", true,
            [](sim::VirtualPedalDriver& d) { d.FailNext("Open", ftd::FT_DEVICE_NOT_OPENED); },
            "QMK3TEST", "Open_USB_Device_By_Serial_Number - Device not opened..."}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------

struct SyncCase {
    const char* name;
    bool plugged;
    std::function<void(sim::VirtualPedal&)> pedalState;
    QString received;
    QStringList boxes;
    QString state;
    bool connected;
    // Sync bytes written: a second one goes when the first got no answer.
    std::size_t syncBytes = 1;
};

class BootloaderSync : public Link, public ::testing::WithParamInterface<SyncCase> {};

TEST_P(BootloaderSync, ReportsTheAnswerAndSetsTheControls) {
    const SyncCase& c = GetParam();
    sim::VirtualPedal& pedal = AddPedal("QMK3TEST");
    Start();
    if (!c.plugged) driver->Unplug(0);
    FirmwareUpgradeMode = true;
    c.pedalState(pedal);

    Connect();
    EXPECT_EQ(dialogs->messages, c.boxes);
    EXPECT_EQ(EnabledControls(), c.state);
    EXPECT_EQ(DeviceConnected, c.connected);
    ASSERT_FALSE(console->lines.empty());
    EXPECT_EQ(console->lines.back().text, c.received);
    EXPECT_EQ(console->lines.back().scroll, platform::Scroll::None);
    if (c.plugged) {
        // Each a write of its own, no purge before it.
        EXPECT_EQ(Sent(), std::vector<sim::Bytes>(c.syncBytes, sim::Bytes{0x7F}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, BootloaderSync,
    ::testing::Values(SyncCase{"Acknowledged",
                               true,
                               [](sim::VirtualPedal& p) { p.EnterBootloader(); },
                               "received Byte: 79",
                               {"Connection to bootloader succeeded, ready for firmware upgrade"},
                               "OpenFX Disconnect StartFirmwareUpgrade",
                               true},
                      SyncCase{"Refused",
                               true,
                               [](sim::VirtualPedal& p) {
                                   p.EnterBootloader();
                                   p.FailBootloaderStep(0, {sim::BootFault::Nack});
                               },
                               "received Byte: 1F",
                               {"Connection to bootloader failed"},
                               // The bootloader answered: nothing for the effect goes to it.
                               "OpenFX Disconnect",
                               true},
                      // Without an open device there is no bootloader to reach: the
                      // open's failure and the verdict, no box per call that
                      // could not be made.
                      SyncCase{"OpenFailed",
                               false,
                               [](sim::VirtualPedal& p) { p.EnterBootloader(); },
                               "received Byte: ",
                               {"Open_USB_Device_By_Serial_Number - Device not found...",
                                "Connection to bootloader failed"},
                               kStartState,
                               false},
                      // A pedal running its effect never answers the sync byte.
                      SyncCase{"Silent",
                               true,
                               [](sim::VirtualPedal&) {},
                               "received Byte: ",
                               {"Connection to bootloader failed"},
                               kConnectedState,
                               true,
                               2}),
    [](const auto& info) { return std::string(info.param.name); });

// Connected to the bootloader, the tools that go around the settings (the
// MIDI channel, the note cut, the console's EEPROM and raw write, Open FX)
// send it nothing: it would read their bytes as commands of its own. The
// main window's status line says why; the MIDI menu ticks no channel.
TEST_F(Link, ToolsSendNothingToThePedalsBootloader) {
    sim::VirtualPedal& pedal = AddPedal("QMK3TEST");
    pedal.EnterBootloader();
    Start();
    FirmwareUpgradeMode = true;
    Connect();
    ASSERT_TRUE(BootloaderConnected);
    dialogs->messages.clear();

    const std::pair<const char*, std::function<void()>> tools[] = {
        {"MIDI channel 5", [] { formMain->menuMIDIchannel->actions()[5]->trigger(); }},
        {"Note Cut Save",
         [] {
             formMain->menuNoteCut->trigger();
             formNoteTrackingFilter->btnSave->click();
         }},
        {"Erase EEPROM", [] { formPrint->btnEraseEeprom->click(); }},
        {"Read E2P", [] { formPrint->btnReadEEPROM->click(); }},
        {"raw Send",
         [] {
             formPrint->edtAddress->setText(QStringLiteral("0010"));
             formPrint->edtData->setText(QStringLiteral("0000007F"));
             formPrint->btnSend->click();
         }},
        {"Open FX", [] { formMain->btnOpenEffect->click(); }},
    };
    for (const auto& [name, use] : tools) {
        formMain->lblStatus->setText(QStringLiteral("Status: "));
        use();
        EXPECT_EQ(Sent(), std::vector<sim::Bytes>{sim::Bytes{0x7F}}) << name;
        EXPECT_TRUE(formMain->lblStatus->text().contains(QStringLiteral("bootloader"))) << name;
        EXPECT_TRUE(dialogs->messages.isEmpty()) << name;
    }
    for (QAction* channel : formMain->menuMIDIchannel->actions())
        EXPECT_FALSE(channel->isChecked()) << channel->text().toStdString();
    EXPECT_TRUE(pedal.InBootloader());
}

// The pedal runs its effect, not its bootloader, and never answers the sync byte.
TEST_F(Link, DisconnectDuringTheBootloaderWaitLeavesTheLinkDisconnected) {
    AddPedal("QMK3TEST");
    Start();
    FirmwareUpgradeMode = true;
    During(
        20, [] { Disconnect(); }, [] { Connect(); });
    EXPECT_EQ(dialogs->messages, (QStringList{"Connection to bootloader failed"}));
    EXPECT_EQ(formMain->lblDeviceName->text(), "Quendle MK3 ");
    EXPECT_EQ(EnabledControls(), kDisconnectedState);
    EXPECT_FALSE(DeviceConnected);
}

// ---------------------------------------------------------------------------

TEST_F(Link, RequestShowsTheIdentityAndEnablesTheSettingButtons) {
    sim::VirtualPedal& pedal = AddPedal("QMK3TEST");
    pedal.SetFirmwareVersion(12);
    Start();
    Connect();
    console->lines.clear();

    ClickRequest();
    EXPECT_EQ(Sent(), std::vector<sim::Bytes>{HexBytes("02 00")});
    EXPECT_EQ(clock->sleepLog.front(), 200);
    EXPECT_EQ(formMain->lblFirmwareVersion->text(), "Firmware Version: 0C");
    EXPECT_EQ(IdentityLines(), kIdentity0C0008);
    EXPECT_EQ(console->lines.front().text, "num of bytes received: 81");
    const auto info = pedal.DeviceInformation();
    EXPECT_EQ(ReplyValues, std::vector<std::uint8_t>(info.begin(), info.end()));
    EXPECT_EQ(EnabledControls(),
              "Upload Request OpenFX Assign SaveParameters SetFootswitchMode SetTuning Disconnect");
    EXPECT_FALSE(ReadBackActive);
    EXPECT_TRUE(dialogs->messages.isEmpty());

    // The next query replaces the identity.
    pedal.SetFirmwareVersion(255);
    ClickRequest();
    EXPECT_EQ(formMain->lblFirmwareVersion->text(), "Firmware Version: FF");
    EXPECT_EQ(FirmwareVersion, "FF");

    // Disconnect leaves none of the four.
    Disconnect();
    EXPECT_EQ(EnabledControls(), kDisconnectedState);
}

struct ShortReplyCase {
    const char* name;
    std::function<void(sim::VirtualPedal&)> fault;
    QString message;
};

class ShortReply : public Link, public ::testing::WithParamInterface<ShortReplyCase> {};

// An answer that stops short is not applied: no identity, no read-back, and
// the setting buttons stay as they were before the Request.
TEST_P(ShortReply, IsNotAppliedAndSaysWhatCame) {
    const ShortReplyCase& c = GetParam();
    sim::VirtualPedal& pedal = AddPedal("QMK3TEST");
    pedal.SetFirmwareVersion(12);
    Start();
    Connect();
    PedalLink::TimeoutCapMs() = 200;
    c.fault(pedal);

    ClickRequest();
    EXPECT_TRUE(IdentityLines().isEmpty());
    EXPECT_EQ(formMain->lblFirmwareVersion->text(), "Firmware Version: ");
    EXPECT_TRUE(ReplyValues.empty());
    EXPECT_FALSE(ReadBackActive);
    EXPECT_EQ(dialogs->messages, QStringList{c.message});
    EXPECT_EQ(EnabledControls(), kConnectedState);
    EXPECT_EQ(Sent(), std::vector<sim::Bytes>{HexBytes("02 00")});
}

// Cuts the pedal's next answer after its first n lines.
std::function<void(sim::VirtualPedal&)> FirstLines(std::size_t n) {
    return [n](sim::VirtualPedal& p) {
        const auto info = p.DeviceInformation();
        p.TruncateNextReply(
            DecimalLines({info.begin(), info.begin() + static_cast<std::ptrdiff_t>(n)}).size());
    };
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ShortReply,
    ::testing::Values(
        ShortReplyCase{"NoCarriageReturn",
                       [](sim::VirtualPedal& p) { p.ReplaceNextReply(Text("12")); },
                       "The pedal's answer was incomplete: 0 of 81 values."},
        ShortReplyCase{"OneValue", FirstLines(1),
                       "The pedal's answer was incomplete: 1 of 81 values."},
        ShortReplyCase{"IdentityOnly", FirstLines(4),
                       "The pedal's answer was incomplete: 4 of 81 values."},
        ShortReplyCase{"LastValueMissing", FirstLines(80),
                       "The pedal's answer was incomplete: 80 of 81 values."},
        ShortReplyCase{"Silence", [](sim::VirtualPedal& p) { p.SwallowNextReply(); },
                       "The pedal did not answer."},
        // Lines that are not values would be decoded into ones
        // the pedal never sent, and every value after them
        // would land one place on.
        ShortReplyCase{"BlankLineFirst",
                       [](sim::VirtualPedal& p) { p.NextReplyFault().prefix = Text("\r\n"); },
                       "The pedal's answer was not understood: line 1 is not a "
                       "value of one to three digits."},
        ShortReplyCase{"NoiseLineFirst",
                       [](sim::VirtualPedal& p) { p.NextReplyFault().prefix = Text("x?z\r\n"); },
                       "The pedal's answer was not understood: line 1 is not a "
                       "value of one to three digits."},
        ShortReplyCase{"FourDigitValue",
                       [](sim::VirtualPedal& p) { p.FourDigitValueInNextReply(25, "1234"); },
                       "The pedal's answer was not understood: line 26 is not a "
                       "value of one to three digits."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Link, ReplySplitOverSeveralReadsIsShownWhole) {
    sim::VirtualPedal& pedal = AddPedal("QMK3TEST");
    pedal.SetFirmwareVersion(12);
    Start();
    Connect();
    // Each piece is readable only once the one before it has been read.
    for (std::size_t cut : {2, 7, 150}) pedal.SplitNextReplyAfter(cut);

    ClickRequest();
    const auto info = pedal.DeviceInformation();
    EXPECT_EQ(ReplyValues, std::vector<std::uint8_t>(info.begin(), info.end()));
    EXPECT_FALSE(pedal.HasUndelivered());
    EXPECT_EQ(IdentityLines(), kIdentity0C0008);
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

// An answer whose last LF comes a moment after its last CR, as when the
// bridge hands it over in the next packet: the Request is whole at the CR,
// and that LF is not taken for the first byte of the next exchange's answer.
struct LateLineEndCase {
    const char* name;
    std::function<void(sim::VirtualPedal&)> next;  // what the next answer is
    QStringList boxes;
};

class LateLineEnd : public Link, public ::testing::WithParamInterface<LateLineEndCase> {};

TEST_P(LateLineEnd, IsNotReadAsTheNextAnswer) {
    sim::VirtualPedal& pedal = AddPedal("QMK3TEST");
    pedal.SetFirmwareVersion(12);
    Start();
    Connect();
    const auto info = pedal.DeviceInformation();
    std::size_t length = 0;
    for (std::uint8_t v : info) length += std::to_string(v).size() + 2;
    sim::ReplyFault& fault = pedal.NextReplyFault();
    fault.splitAfter = {length - 1};
    fault.splitGapMs = 30;

    ClickRequest();
    ASSERT_EQ(dialogs->messages, QStringList{});
    ASSERT_EQ(ReplyValues, std::vector<std::uint8_t>(info.begin(), info.end()));
    ReplyValues.clear();

    GetParam().next(pedal);
    ClickRequest();
    EXPECT_EQ(dialogs->messages, GetParam().boxes);
    if (GetParam().boxes.isEmpty())
        EXPECT_EQ(ReplyValues, std::vector<std::uint8_t>(info.begin(), info.end()));
    else
        EXPECT_TRUE(ReplyValues.empty());
}

INSTANTIATE_TEST_SUITE_P(NextAnswer, LateLineEnd,
                         ::testing::Values(LateLineEndCase{"Whole", [](sim::VirtualPedal&) {}, {}},
                                           LateLineEndCase{
                                               "None",
                                               [](sim::VirtualPedal& p) { p.SwallowNextReply(); },
                                               {"The pedal did not answer."}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Link, UnconvertibleReplyEndsTheRequestAndTheNextOneWorks) {
    sim::VirtualPedal& pedal = AddPedal("QMK3TEST");
    pedal.SetFirmwareVersion(12);
    Start();
    Connect();
    pedal.FourDigitValueInNextReply(3, "K");

    ClickRequest();
    EXPECT_EQ(dialogs->messages, QStringList{"'B' is not a valid integer value"});
    EXPECT_TRUE(IdentityLines().isEmpty());
    EXPECT_TRUE(ReplyValues.empty());
    EXPECT_FALSE(ReadBackActive);
    EXPECT_EQ(EnabledControls(), kConnectedState);

    ClickRequest();
    EXPECT_EQ(IdentityLines(), kIdentity0C0008);
    EXPECT_EQ(dialogs->messages.size(), 1);
}

struct WaitEnd {
    const char* name;
    std::function<void(sim::VirtualPedalDriver&)> event;
    QStringList boxes;
};

class WaitEndsOn : public Link, public ::testing::WithParamInterface<WaitEnd> {};

// Unplugging and Disconnect both leave the editor disconnected at once, with
// one message at most.
TEST_P(WaitEndsOn, RequestStopsAndTheEditorIsDisconnected) {
    const WaitEnd& c = GetParam();
    AddPedal("QMK3TEST").SwallowNextReply();
    Start();
    Connect();
    bool readBackWhileWaiting = false;

    During(
        20,
        [&] {
            readBackWhileWaiting = ReadBackActive;
            c.event(*driver);
        },
        [] { ClickRequest(); });
    EXPECT_TRUE(readBackWhileWaiting);
    EXPECT_EQ(dialogs->messages, c.boxes);
    EXPECT_TRUE(IdentityLines().isEmpty());
    EXPECT_FALSE(ReadBackActive);
    EXPECT_EQ(EnabledControls(), kDisconnectedState);
    EXPECT_FALSE(DeviceConnected);
    EXPECT_FALSE(formMain->lblDeviceName->text().contains("connected"));
}

INSTANTIATE_TEST_SUITE_P(
    Events, WaitEndsOn,
    ::testing::Values(WaitEnd{"Unplug",
                              [](sim::VirtualPedalDriver& d) { d.Unplug(0); },
                              {"The pedal was disconnected (FT_GetQueueStatus - General IO "
                               "error...). Plug it in again, then use Scan and Connect."}},
                      WaitEnd{"Disconnect",
                              [](sim::VirtualPedalDriver&) { formMain->menuDisconnect->trigger(); },
                              {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A second Request, or an Upload, while one waits: refused with a status
// line, nothing sent, no box.
TEST_F(Link, SecondRequestDuringTheWaitDoesNotStart) {
    sim::VirtualPedal& pedal = AddPedal("QMK3TEST");
    pedal.SetFirmwareVersion(12);
    pedal.DelayNextReply(80);
    Start();
    Connect();
    QString status;
    During(
        20,
        [&] {
            formMain->btnRequestClick();  // however it is invoked
            QTest::mouseClick(formMain->btnUpload, Qt::LeftButton);
            status = formMain->lblStatus->text();
        },
        [] { ClickRequest(); });
    EXPECT_EQ(status, "Waiting for the pedal's answer to Request; try again in a moment.");
    EXPECT_TRUE(formMain->btnUpload->isEnabled());
    EXPECT_EQ(Sent(), std::vector<sim::Bytes>{HexBytes("02 00")});
    EXPECT_EQ(IdentityLines(), kIdentity0C0008);
    EXPECT_TRUE(formMain->btnRequest->isEnabled());
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_TRUE(dialogs->questions.isEmpty());
}

// Closing the main window while a wait runs ends the event loop at once,
// without error boxes or a verdict nobody will read.
struct QuitCase {
    const char* name;
    bool upgradeMode;
};

class QuitDuringWait : public Link, public ::testing::WithParamInterface<QuitCase> {};

TEST_P(QuitDuringWait, EndsTheProgramCleanly) {
    AddPedal("QMK3TEST").SwallowNextReply();
    Start();
    FirmwareUpgradeMode = GetParam().upgradeMode;
    if (!FirmwareUpgradeMode) Connect();
    console->lines.clear();

    bool stuck = false;
    QTimer::singleShot(0, formMain, [] {
        if (FirmwareUpgradeMode)
            Connect();
        else
            ClickRequest();
    });
    QTimer::singleShot(30, formMain, [] { formMain->close(); });
    // Only if the wait ignored the close: end it so the test can report.
    QTimer::singleShot(10000, formMain, [&] {
        stuck = true;
        CancelPedalWaits();
        QCoreApplication::exit(1);
    });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(stuck);
    ASSERT_FALSE(Sent().empty());  // the wait had begun
    EXPECT_EQ(Sent().back(), FirmwareUpgradeMode ? sim::Bytes{0x7F} : HexBytes("02 00"));
    EXPECT_FALSE(formMain->isVisible());
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_TRUE(IdentityLines().isEmpty());
    EXPECT_FALSE(ReadBackActive);
}

INSTANTIATE_TEST_SUITE_P(Waits, QuitDuringWait,
                         ::testing::Values(QuitCase{"Request", false},
                                           QuitCase{"BootloaderHandshake", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
