// A bootloader whose answer to a command or an address was lost or garbled
// has taken the command all the same and waits for the rest of it. The
// upgrade that stopped there says it can be started again; that must be true
// whether the user presses Upgrade Firmware again or disconnects and connects
// first, without switching the pedal off and on.
#include <QAction>
#include <QPushButton>
#include <algorithm>

#include "app/TformMain.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "firmware/Bootloader.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "platform/Resources.h"
#include "tests/firmware/FirmwareFixture.h"

namespace {

const QString kRetry = QStringLiteral(
    " Nothing more was sent; the pedal stays in its bootloader, so the upgrade can be started "
    "again.");
const QString kSynchronised =
    QStringLiteral("Connection to bootloader succeeded, ready for firmware upgrade");
// Blocks of 256 and 44 bytes. The bootloader's steps: 0 sync; 1, 2 erase;
// 3-5 block 0 (command, address, data); 6-8 block 1; 9-11 the version
// record; 12-14 reading block 0 back (command, address, count); ...
constexpr int kImageBytes = 300;
constexpr std::size_t kEraseWrites = 4;

// The virtual pedal's driver, refusing one chosen write (the device stays).
class RefusingDriver : public sim::VirtualPedalDriver {
public:
    ftd::FT_STATUS Write(ftd::FT_HANDLE handle, const void* buffer, std::uint32_t toWrite,
                         std::uint32_t& bytesWritten) override {
        if (formMain) statusAtWrite.push_back(formMain->lblStatus->text());
        if (refuseAt_ && Pedal().Messages().size() == *refuseAt_) {
            refuseAt_.reset();
            bytesWritten = 0;
            return ftd::FT_FAILED_TO_WRITE_DEVICE;
        }
        return sim::VirtualPedalDriver::Write(handle, buffer, toWrite, bytesWritten);
    }
    // Refuses the write that would be the pedal's index-th message.
    void RefuseWrite(std::size_t index) { refuseAt_ = index; }
    // What the main window's status line said at each write.
    QStringList statusAtWrite;

private:
    std::optional<std::size_t> refuseAt_;
};

class Resync : public FirmwareFixture {
protected:
    bool UsesScriptedBootloader() const override { return false; }
    void SetUp() override {
        FirmwareFixture::SetUp();
        refusing = UseDriver<RefusingDriver>();
        BootloaderReplyTimeoutMs = BootloaderEraseTimeoutMs = 100;
        // The virtual pedal answers at once.
        BootloaderResyncWaitMs = 5;
        // The sync bytes of a reconnect may go unanswered; no need to wait seconds.
        PedalLink::TimeoutCapMs() = 200;
        image = TestImage(kImageBytes);
        platform::RegisterResource("FIRMWARE_4", image);
    }

    void TearDown() override {
        PedalLink::TimeoutCapMs() = 0;
        FirmwareFixture::TearDown();
    }

    sim::VirtualPedal& StartWithPedal() {
        sim::VirtualPedal& pedal = AddPedal();
        pedal.EnterBootloader();
        StartInBootloader();
        Choose("Firmware_4");
        return pedal;
    }

    void ExpectTheImageRuns(sim::VirtualPedal& pedal) {
        EXPECT_EQ(dialogs->messages, QStringList{kComplete});
        const sim::Bytes& flash = pedal.Flash();
        EXPECT_EQ(sim::Bytes(flash.begin(), flash.begin() + kImageBytes), ToBytes(image));
        EXPECT_EQ(pedal.FirmwareVersion(), 4);
        EXPECT_FALSE(pedal.InBootloader());
    }

    // The single 0xFF writes that open the pedal's messages from `from` on.
    static std::size_t LeadingFiller(const std::vector<sim::Bytes>& messages, std::size_t from) {
        std::size_t n = 0;
        while (from + n < messages.size() && messages[from + n] == sim::Bytes{0xFF}) ++n;
        return n;
    }

    RefusingDriver* refusing = nullptr;
    QByteArray image;
};

struct FaultCase {
    const char* name;
    std::function<void(sim::VirtualPedal&, RefusingDriver&)> inject;
    QString failure;  // the message of the attempt that stopped, without the hint
    // Filler bytes the retry sends before the erase: what the bootloader's
    // unfinished command still needs, then the refused byte (0: it was left
    // in step, and the retry sends exactly what a first attempt sends).
    std::size_t filler;
};
void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

const FaultCase kFaults[] = {
    // Erase count FF, then FF where the global erase's checksum 00 belongs.
    {"SilenceAfterTheEraseCommand",
     [](sim::VirtualPedal& p, RefusingDriver&) {
         p.FailBootloaderStep(1, {sim::BootFault::NoAnswer});
     },
     "no answer from the bootloader to the Erase command.", 2},
    // FF FF FF FF with the checksum FF (their XOR is 00).
    {"WrongByteAfterAWriteCommand",
     [](sim::VirtualPedal& p, RefusingDriver&) {
         p.FailBootloaderStep(6, {sim::BootFault::WrongByte, 0x00});
     },
     "the bootloader answered 00 instead of ACK to the Write Memory command for block 1 at "
     "address 08000100.",
     5},
    // A whole Write Memory frame of FF (count, 256 bytes, checksum FF) that
    // the bootloader accepts on erased flash, then a command byte FF and its
    // wrong complement FF.
    {"SilenceAfterTheAddressOfABlock",
     [](sim::VirtualPedal& p, RefusingDriver&) {
         p.FailBootloaderStep(7, {sim::BootFault::NoAnswer});
     },
     "no answer from the bootloader to the address frame for block 1 at address 08000100.",
     1 + 256 + 1 + 2},
    // The count byte FF and its complement, which would be 00.
    {"SilenceAfterAReadAddress",
     [](sim::VirtualPedal& p, RefusingDriver&) {
         p.FailBootloaderStep(13, {sim::BootFault::NoAnswer});
     },
     "no answer from the bootloader to the read address frame for block 0 at address 08000000.", 2},
    // The driver refuses block 0's 100th data byte: the bootloader has the
    // count and 99 bytes and waits for 157 more and the checksum, which the
    // filler's FF does not match.
    {"DataOfABlockCutShort",
     [](sim::VirtualPedal& p, RefusingDriver& d) {
         d.RefuseWrite(p.Messages().size() + kEraseWrites + 2 + 5 + 1 + 99);
     },
     "the data of block 0 at address 08000000 could not be sent to the pedal.", 157 + 1},
    // A refusal leaves the bootloader waiting for a command: no filler.
    {"RefusedBlock", [](sim::VirtualPedal& p, RefusingDriver&) { p.NackWriteMemory(1); },
     "the bootloader refused the data of block 1 at address 08000100 (NOT ACK).", 0},
};

class ResyncAfterFault : public Resync,
                         public ::testing::WithParamInterface<std::tuple<FaultCase, bool>> {};

// The first attempt stops with the retry hint; the retry (straight away, or
// after Disconnect and Connect) brings the bootloader back in step, writes
// the image and starts it.
TEST_P(ResyncAfterFault, TheRetryCompletesWithoutSwitchingThePedalOffAndOn) {
    const auto& [c, reconnect] = GetParam();
    sim::VirtualPedal& pedal = StartWithPedal();
    c.inject(pedal, *refusing);
    ClickUpgrade();
    const QString stopped = "Firmware upgrade stopped: " + c.failure + kRetry;
    ASSERT_EQ(dialogs->messages.back(), stopped);
    ASSERT_TRUE(pedal.InBootloader());
    pedal.Bootloader().ClearFaults();
    dialogs->messages.clear();
    NewConsoleLines();

    if (reconnect) {
        formMain->menuDisconnect->trigger();
        const QString status = formMain->lblStatus->text();
        refusing->statusAtWrite.clear();
        formMain->menuConnect->trigger();
        ASSERT_EQ(dialogs->messages, QStringList{kSynchronised});
        dialogs->messages.clear();
        // Connect found the bootloader: the upgrade itself sends no filler.
        EXPECT_EQ(BootloaderMidCommand, false);
        // Meanwhile the window said why Connect may take its time, when the
        // bootloader was left in the middle of a command.
        ASSERT_FALSE(refusing->statusAtWrite.isEmpty());
        EXPECT_EQ(refusing->statusAtWrite.front().startsWith("Finding the bootloader"),
                  c.filler > 0)
            << refusing->statusAtWrite.front().toStdString();
        EXPECT_EQ(formMain->lblStatus->text(), status);
    }
    const std::size_t from = pedal.Messages().size();
    ClickUpgrade();
    ExpectTheImageRuns(pedal);

    // After a reconnect the sync bytes themselves may have ended the command.
    if (reconnect) return;
    const QStringList back = NewConsoleLines().filter("the bootloader is back in step");
    EXPECT_EQ(LeadingFiller(pedal.Messages(), from), c.filler);
    ASSERT_GT(pedal.Messages().size(), from + c.filler);
    EXPECT_EQ(pedal.Messages()[from + c.filler], sim::Bytes{0x43}) << "then the erase";
    if (c.filler) {
        EXPECT_EQ(back.size(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, ResyncAfterFault,
                         ::testing::Combine(::testing::ValuesIn(kFaults), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_AfterReconnect" : "_Directly");
                         });

// A bootloader that refuses none of the filler is beyond mending from here:
// the upgrade says so and what helps, sends nothing but the filler, and the
// advice holds (switched off and on, connected again, the upgrade completes).
TEST_F(Resync, ABootloaderThatRefusesNothingEndsWithThePowerCycleAdvice) {
    sim::VirtualPedal& pedal = StartWithPedal();
    pedal.SetBootOnSync(true);
    pedal.FailBootloaderStep(7, {sim::BootFault::NoAnswer});
    ClickUpgrade();
    ASSERT_EQ(dialogs->messages.size(), 1);
    for (std::size_t step = pedal.BootloaderSteps(); step < pedal.BootloaderSteps() + 300; ++step)
        pedal.FailBootloaderStep(step, {sim::BootFault::NoAnswer});
    dialogs->messages.clear();
    const std::size_t from = pedal.Messages().size();
    ClickUpgrade();

    EXPECT_EQ(dialogs->messages,
              QStringList{QStringLiteral(
                              "Firmware upgrade stopped: the bootloader did not come back in step: "
                              "it refused none of the %1 bytes sent to end the command it was "
                              "left in. No upgrade step was sent. Switch the pedal off and on, "
                              "then connect it again with Upgrade Mode ticked and start the "
                              "upgrade again.")
                              .arg(kResyncMaxBytes)});
    EXPECT_EQ(pedal.Messages().size() - from, std::size_t(kResyncMaxBytes));
    EXPECT_EQ(LeadingFiller(pedal.Messages(), from), std::size_t(kResyncMaxBytes));
    EXPECT_TRUE(formFirmwareUpgrade->btnUpgradeFirmware->isEnabled());

    pedal.Bootloader().ClearFaults();
    formMain->menuDisconnect->trigger();
    driver->Unplug(0);
    driver->PlugIn(0);
    dialogs->messages.clear();
    const std::size_t beforeConnect = pedal.Messages().size();
    formMain->menuConnect->trigger();
    ASSERT_EQ(dialogs->messages, QStringList{kSynchronised});
    // A pedal switched off and on waits for no half command: the sync byte
    // alone, no filler.
    EXPECT_EQ(pedal.Messages().size() - beforeConnect, 1u);
    dialogs->messages.clear();
    ClickUpgrade();
    ExpectTheImageRuns(pedal);
}

}  // namespace
