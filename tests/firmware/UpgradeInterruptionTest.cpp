// The upgrade interrupted as a user can interrupt it: the window closed in
// the middle, the pedal unplugged at any phase, and a Disconnect and Connect
// after an upgrade that stopped, with the pedal still in its bootloader.
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/PedalLink.h"
#include "effects/TformFXsettings.h"
#include "firmware/Bootloader.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "platform/Resources.h"
#include "tests/firmware/FirmwareFixture.h"

namespace {

using Step = ScriptedBootloaderDriver::Step;
using Upgrade = FirmwareFixture;

const QString kUnplugged = QStringLiteral(
    "The pedal was disconnected (FT_GetQueueStatus - General IO error...). Plug it in again, "
    "then use Scan and Connect.");

// Neither the title bar's close nor Escape takes the window away while the
// flash is being written; once the upgrade is over, both close it again.
TEST_F(Upgrade, WindowCannotBeClosedWhileTheUpgradeRuns) {
    const QByteArray image = TestImage(2000);
    platform::RegisterResource("FIRMWARE_4", image);
    StartInBootloader();
    Choose("Firmware_4");
    bool visibleAfterClose = false, visibleAfterEscape = false;
    boot->OnStep(Step::WriteData, 2, [&] {
        QTimer::singleShot(0, [&] {
            formFirmwareUpgrade->close();
            visibleAfterClose = formFirmwareUpgrade->isVisible();
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(formFirmwareUpgrade, &escape);
            visibleAfterEscape = formFirmwareUpgrade->isVisible();
        });
    });
    ClickUpgrade();
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_TRUE(visibleAfterEscape);
    EXPECT_EQ(dialogs->messages, QStringList{kComplete});
    EXPECT_EQ(boot->Started(), 0x08000000u);

    formMain->menuStartFirmwareUpgrade->trigger();
    ASSERT_TRUE(formFirmwareUpgrade->isVisible());
    formFirmwareUpgrade->close();
    EXPECT_FALSE(formFirmwareUpgrade->isVisible());
}

// Nor does the main window's close box end the editor while the flash is
// being written: the close is refused with the reason in the status line.
TEST_F(Upgrade, EditorIsNotClosedWhileTheUpgradeRuns) {
    platform::RegisterResource("FIRMWARE_4", TestImage(2000));
    StartInBootloader();
    Choose("Firmware_4");
    bool closeAccepted = true;
    QString status;
    boot->OnStep(Step::WriteData, 2, [&] {
        QTimer::singleShot(0, [&] {
            QCloseEvent close;
            QCoreApplication::sendEvent(formMain, &close);
            closeAccepted = close.isAccepted();
            status = formMain->lblStatus->text();
        });
    });
    ClickUpgrade();
    EXPECT_FALSE(closeAccepted);
    EXPECT_EQ(status, QStringLiteral(
                          "Firmware upgrade running: the editor can be closed once it has ended"));
    EXPECT_EQ(dialogs->messages, QStringList{kComplete});
    EXPECT_EQ(boot->Started(), 0x08000000u);
}

class VirtualUpgrade : public FirmwareFixture {
protected:
    bool UsesScriptedBootloader() const override { return false; }
};

struct UnplugCase {
    const char* name;
    std::size_t step;  // the bootloader step (0 is the sync) that never gets its answer
};
void PrintTo(const UnplugCase& c, std::ostream* os) {
    *os << c.name;
}

class UnplugDuringUpgrade : public VirtualUpgrade,
                            public ::testing::WithParamInterface<UnplugCase> {};

// Whenever the pedal goes, the link says so once, no completion box comes,
// the bar says the upgrade stopped and the locks come off, with the main
// window disconnected.
TEST_P(UnplugDuringUpgrade, StopsWithOneMessageAndTheWindowSaysSo) {
    platform::RegisterResource("FIRMWARE_4", TestImage(300));
    sim::VirtualPedal& pedal = AddPedal();
    pedal.EnterBootloader();
    StartInBootloader();
    pedal.UnplugAtBootloaderStep(GetParam().step);
    Choose("Firmware_4");
    ClickUpgrade();

    EXPECT_EQ(dialogs->messages, QStringList{kUnplugged});
    EXPECT_EQ(formFirmwareUpgrade->ProgressBar1->text(), "Upgrade stopped");
    EXPECT_TRUE(formFirmwareUpgrade->isVisible());
    EXPECT_TRUE(formFirmwareUpgrade->btnUpgradeFirmware->isEnabled());
    EXPECT_FALSE(formFirmwareUpgrade->lblDoNotUnplug->isVisibleTo(formFirmwareUpgrade));
    EXPECT_TRUE(formMain->menuFirmwareUpgradeMode->isEnabled());
    EXPECT_TRUE(formMain->menuConnect->isEnabled());
    EXPECT_FALSE(formMain->menuDisconnect->isEnabled());
    EXPECT_FALSE(formMain->btnRequest->isEnabled());
    EXPECT_FALSE(formMain->btnUpload->isEnabled());
}

// For a 300-byte image: 1-2 erase, 3-8 the two blocks, 9-11 the version
// record, 12-20 the read-back, 21-22 Go.
INSTANTIATE_TEST_SUITE_P(Phases, UnplugDuringUpgrade,
                         ::testing::Values(UnplugCase{"Erase", 2}, UnplugCase{"VersionRecord", 11},
                                           UnplugCase{"ReadBack", 17}, UnplugCase{"GoCommand", 21},
                                           UnplugCase{"GoAddress", 22}),
                         [](const auto& info) { return std::string(info.param.name); });

// An upgrade stopped by a refused block leaves the bootloader synchronised.
// Disconnect and Connect must find it again, the upgrade then completes, and
// the pedal answers a Request with its new firmware.
TEST_F(VirtualUpgrade, ReconnectingToTheBootloaderAfterAFailureLetsTheUpgradeComplete) {
    const QByteArray image = TestImage(300);
    platform::RegisterResource("FIRMWARE_4", image);
    sim::VirtualPedal& pedal = AddPedal();
    pedal.EnterBootloader();
    StartInBootloader();
    pedal.NackWriteMemory(1);
    Choose("Firmware_4");
    ClickUpgrade();
    ASSERT_EQ(dialogs->messages.size(), 1);
    ASSERT_TRUE(dialogs->messages.front().contains("refused the data of block 1"));
    dialogs->messages.clear();

    formMain->menuDisconnect->trigger();
    // The bootloader keeps quiet for the first sync byte; no need to wait seconds.
    PedalLink::TimeoutCapMs() = 200;
    NewConsoleLines();
    formMain->menuConnect->trigger();
    EXPECT_EQ(dialogs->messages,
              QStringList{"Connection to bootloader succeeded, ready for firmware upgrade"});
    const QStringList lines = NewConsoleLines();
    EXPECT_TRUE(lines.contains("the bootloader was already synchronised"));
    EXPECT_EQ(lines.filter("received Byte: "), QStringList{"received Byte: 1F"});
    EXPECT_FALSE(formMain->btnRequest->isEnabled());

    dialogs->messages.clear();
    ClickUpgrade();
    EXPECT_EQ(dialogs->messages, QStringList{kComplete});
    const sim::Bytes& flash = pedal.Flash();
    EXPECT_EQ(sim::Bytes(flash.begin(), flash.begin() + 300), ToBytes(image));
    EXPECT_FALSE(pedal.InBootloader());
    formMain->btnRequest->click();
    ASSERT_EQ(ReplyValues.size(), 81u);
    EXPECT_EQ(ReplyValues[0], 4);
}

// Upgrade Firmware pressed after a Disconnect: the upgrade says why it cannot
// run instead of ending with the bar's "Upgrade stopped" alone.
TEST_F(VirtualUpgrade, WithNoPedalConnectedTheUpgradeSaysSoAndCanBeTriedAgain) {
    platform::RegisterResource("FIRMWARE_4", TestImage(300));
    sim::VirtualPedal& pedal = AddPedal();
    pedal.EnterBootloader();
    StartInBootloader();
    Choose("Firmware_4");
    formMain->menuDisconnect->trigger();
    const std::size_t sent = pedal.Messages().size();
    ClickUpgrade();
    EXPECT_EQ(dialogs->messages,
              QStringList{"No pedal is connected: with Upgrade Mode ticked, use Scan and Connect "
                          "before upgrading the firmware."});
    EXPECT_EQ(pedal.Messages().size(), sent);
    EXPECT_TRUE(formFirmwareUpgrade->btnUpgradeFirmware->isEnabled());

    dialogs->messages.clear();
    // The bootloader keeps quiet for the first sync byte; no need to wait seconds.
    PedalLink::TimeoutCapMs() = 200;
    formMain->menuConnect->trigger();
    ClickUpgrade();
    PedalLink::TimeoutCapMs() = 0;
    EXPECT_EQ(dialogs->messages.back(), kComplete);
}

// A sync byte answered with anything but ACK still came from the bootloader
// (the effect never answers it): neither Request, Upload nor a live write may
// follow it there, Upgrade Mode unticked or not.
TEST_F(VirtualUpgrade, ABootloaderThatAnsweredTheSyncWronglyGetsNothingForTheEffect) {
    sim::VirtualPedal& pedal = AddPedal();
    pedal.SetBootOnSync(true);
    pedal.FailBootloaderStep(0, {sim::BootFault::WrongByte, 0x55});
    StartEditor();
    formMain->lstEffects->setCurrentRow(0);
    QTest::keyClick(formMain->lstEffects, Qt::Key_Return);
    ASSERT_TRUE(formFXsettings->isVisible());
    formMain->menuFirmwareUpgradeMode->trigger();
    formMain->menuConnect->trigger();
    ASSERT_EQ(dialogs->messages, QStringList{"Connection to bootloader failed"});
    ASSERT_TRUE(pedal.InBootloader());

    formMain->menuFirmwareUpgradeMode->trigger();
    ASSERT_FALSE(FirmwareUpgradeMode);
    EXPECT_FALSE(formMain->btnRequest->isEnabled());
    EXPECT_FALSE(formMain->btnUpload->isEnabled());
    EXPECT_FALSE(formFXsettings->dialInputLevel->isEnabled());
    QTest::keyClick(formFXsettings->dialInputLevel, Qt::Key_PageUp);
    QTest::mouseClick(formMain->btnRequest, Qt::LeftButton);
    EXPECT_EQ(Sent(), std::vector<sim::Bytes>{sim::Bytes{0x7F}});
    EXPECT_TRUE(formMain->menuDisconnect->isEnabled());
}

// Upgrade Mode ticked after a plain Connect, or a Connect whose sync byte the
// running effect left unanswered: the firmware window, open from before, must
// not send the erase to the effect as a command of its own.
struct NotInBootloaderCase {
    const char* name;
    bool tickBeforeConnect;
};
void PrintTo(const NotInBootloaderCase& c, std::ostream* os) {
    *os << c.name;
}
class NotInBootloader : public VirtualUpgrade,
                        public ::testing::WithParamInterface<NotInBootloaderCase> {};

TEST_P(NotInBootloader, UpgradeFirmwareSaysSoAndSendsNothing) {
    platform::RegisterResource("FIRMWARE_4", TestImage(300));
    sim::VirtualPedal& pedal = AddPedal();
    const sim::Bytes flash = pedal.Flash();
    StartEditor();
    // The effect never answers a sync byte; no need to wait seconds for it.
    PedalLink::TimeoutCapMs() = 200;
    if (GetParam().tickBeforeConnect) formMain->menuFirmwareUpgradeMode->trigger();
    formMain->menuConnect->trigger();
    if (!GetParam().tickBeforeConnect) formMain->menuFirmwareUpgradeMode->trigger();
    PedalLink::TimeoutCapMs() = 0;
    ASSERT_TRUE(FirmwareUpgradeMode);
    ASSERT_FALSE(pedal.InBootloader());
    formFirmwareUpgrade->show();
    Choose("Firmware_4");
    const std::size_t sent = pedal.Messages().size();
    dialogs->messages.clear();
    ClickUpgrade();
    EXPECT_EQ(dialogs->messages,
              QStringList{"The pedal is not in its bootloader: use Disconnect, then Connect with "
                          "Upgrade Mode ticked before upgrading the firmware."});
    EXPECT_EQ(pedal.Messages().size(), sent);
    EXPECT_EQ(pedal.Flash(), flash);
    EXPECT_TRUE(formFirmwareUpgrade->btnUpgradeFirmware->isEnabled());
    EXPECT_TRUE(formMain->menuDisconnect->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Connects, NotInBootloader,
                         ::testing::Values(NotInBootloaderCase{"TickedAfterAPlainConnect", false},
                                           NotInBootloaderCase{"SyncLeftUnanswered", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
