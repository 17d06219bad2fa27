// Seeded random runs of what a player does around a firmware upgrade, through
// the real windows and against the virtual pedal's bootloader, checked after
// every step:
// - every upgrade that is pressed ends (nothing hangs), with exactly one
//   message, and with the locks off so that it can be tried again; an attempt
//   with no fault armed on a bootloader this connection synchronised
//   completes, however earlier attempts on it ended (a bootloader they left
//   in the middle of a command is brought back in step first);
// - the completion message comes only when the flash holds the image and its
//   version record and the pedal acknowledged Go;
// - nothing but the bootloader's own single bytes (the upgrade's, the sync
//   byte, the filler that brings it back in step) reaches the pedal while it
//   is in its bootloader: no parameter write, no Request, no other message;
//   the settings controls and Undo/Redo are off then, and on again once the
//   pedal runs its effect on a connection outside Upgrade Mode;
// - the main window's and the upgrade window's controls follow the link.
//
// The steps: Upgrade Mode ticked and unticked, Connect, Disconnect, Start
// Firmware Upgrade and Upgrade Firmware (with and without an image chosen),
// knob turns, Undo and Request tried at any time, unplugging and plugging the
// pedal back in, and bootloader faults at a random step of the next exchange
// (a refusal, a wrong byte, silence, an answer in pieces, a byte the flash
// stores wrong, the pedal unplugged). The pedal goes into its bootloader on
// the sync byte, as when the player holds its boot button.
//
// Each run is fixed by its seed; a failure names the seed, the step and the
// steps before it. Outcomes that depend on how fast the machine is (an answer
// in pieces) are judged by what actually came, never by what was armed.
//
// What the editor knowingly does not track, and so is not exercised:
// - A Connect outside Upgrade Mode exchanges nothing, so it cannot see that a
//   pedal it was disconnected from is still in its bootloader; the player
//   here switches the pedal off and on (unplug and plug) before connecting
//   that way, as the upgrade's own failure messages tell them to.
// - A bootloader that never answers the sync byte looks exactly like a pedal
//   running its effect (which never answers it either), so Connect leaves
//   Request on then; the sync answers spoilt here are refusals and wrong
//   bytes, which prove the bootloader is there.
// - A Go the pedal did not acknowledge leaves it in its bootloader, yet the
//   editor puts Request and Upload back for after the switch off and on its
//   message asks for; the player here does that at once.

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "device/PedalLink.h"
#include "effects/EditHistory.h"
#include "effects/TformFXsettings.h"
#include "firmware/Bootloader.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "platform/Resources.h"
#include "tests/firmware/FirmwareFixture.h"
#include "tests/support/RandomRun.h"

namespace {

constexpr int kStepsPerRun = 200;
// Two blocks and a short third, so a fault can hit every kind of step.
constexpr int kImageBytes = 600;
// The steps of one upgrade: erase, three blocks, the version record, the
// read-back of all four, Go.
constexpr int kUpgradeSteps = 2 + 3 * 3 + 3 + 4 * 3 + 2;
// The virtual pedal answers at once; short waits keep the silences cheap.
constexpr int kWaitMs = 100;
constexpr std::uint8_t kVersion = 4;
const QString kSynchronised =
    QStringLiteral("Connection to bootloader succeeded, ready for firmware upgrade");

// One write the editor made, with where the pedal was when it came.
struct Write {
    sim::Bytes bytes;
    bool pedalInBootloader = false;
    bool upgradeRunning = false;
};

// The virtual pedal's driver, noting for every write whether the pedal was in
// its bootloader when it arrived.
class WatchingDriver : public sim::VirtualPedalDriver {
public:
    ftd::FT_STATUS Write(ftd::FT_HANDLE handle, const void* buffer, std::uint32_t toWrite,
                         std::uint32_t& bytesWritten) override {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        writes.push_back({sim::Bytes(bytes, bytes + toWrite),
                          AttachedCount() > 0 && Pedal().InBootloader(), FirmwareUpgradeRunning});
        return sim::VirtualPedalDriver::Write(handle, buffer, toWrite, bytesWritten);
    }
    std::vector<::Write> writes;
};

struct Step {
    std::string what;
    bool upgradePressed = false;  // Upgrade Firmware clicked while it was enabled
    bool faultArmed = false;      // a bootloader fault waits for this step's exchanges
    bool cleanAttempt = false;    // an upgrade that nothing stands in the way of
    bool requestClicked = false;  // Request clicked while the pedal takes settings
    // Connect in Upgrade Mode with the pedal plugged in and its answer not
    // spoilt: it must reach the bootloader, whatever earlier upgrades left it doing.
    bool connectMustSync = false;
};

class UpgradeRandomRun : public EditorFixture, public ::testing::WithParamInterface<unsigned> {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        watch_ = UseDriver<WatchingDriver>();
        PedalLink::TimeoutCapMs() = kWaitMs;
        savedReply_ = BootloaderReplyTimeoutMs;
        savedErase_ = BootloaderEraseTimeoutMs;
        BootloaderReplyTimeoutMs = BootloaderEraseTimeoutMs = kWaitMs;
        savedResync_ = BootloaderResyncWaitMs;
        BootloaderResyncWaitMs = 5;
        // The seeds may share one process: each starts where the editor does.
        DeviceConnected = BootloaderConnected = FirmwareUpgradeMode = BootloaderMidCommand = false;
        FirmwareResourceName.clear();
        EditHistory::Instance().Clear();
    }
    void TearDown() override {
        PedalLink::TimeoutCapMs() = 0;
        BootloaderReplyTimeoutMs = savedReply_;
        BootloaderEraseTimeoutMs = savedErase_;
        BootloaderResyncWaitMs = savedResync_;
        EditorFixture::TearDown();
    }

    int Pick(int n) { return run_.Pick(n); }
    bool Chance(int percent) { return run_.Chance(percent); }

    sim::VirtualPedal& Pedal() { return driver->Pedal(); }
    bool Open() { return PedalLink::Instance().IsOpen(); }
    TformFXsettings* Settings() {
        TformFXsettings* w = formFXsettings.built();
        return w && w->isVisible() ? w : nullptr;
    }
    TformFirmwareUpgrade* UpgradeWindow() {
        TformFirmwareUpgrade* w = formFirmwareUpgrade.built();
        return w && w->isVisible() ? w : nullptr;
    }

    // ---- the player's steps -----------------------------------------------------

    // A fault in one of the next exchanges of the bootloader.
    void ArmBootloaderFault(Step& step) {
        const std::size_t at = Pedal().BootloaderSteps() + Pick(kUpgradeSteps);
        step.faultArmed = true;
        switch (Pick(8)) {
            case 0:
                Pedal().FailBootloaderStep(at, {sim::BootFault::Nack});
                step.what += " [NACK at " + std::to_string(at) + "]";
                break;
            case 1:
                Pedal().FailBootloaderStep(at, {sim::BootFault::WrongByte, 0x55});
                step.what += " [wrong byte at " + std::to_string(at) + "]";
                break;
            case 2:
                Pedal().FailBootloaderStep(at, {sim::BootFault::NoAnswer});
                step.what += " [silent at " + std::to_string(at) + "]";
                break;
            case 3:
                Pedal().FailBootloaderStep(at, {sim::BootFault::Split, 0, 2, 7});
                step.what += " [pieces at " + std::to_string(at) + "]";
                break;
            case 4:
                Pedal().UnplugAtBootloaderStep(at);
                step.what += " [unplugged at " + std::to_string(at) + "]";
                break;
            case 5:
                Pedal().FailBootloaderStep(at, {sim::BootFault::Tail, 0x79});
                step.what += " [tail at " + std::to_string(at) + "]";
                break;
            case 6: {
                const int n = Pick(3);
                Pedal().NackWriteMemory(static_cast<std::size_t>(n));
                step.what += " [data of write " + std::to_string(n) + " refused]";
                break;
            }
            default: {
                const auto address = static_cast<std::uint32_t>(kFlashStart + Pick(kImageBytes));
                Pedal().CorruptFlashWrite(address, static_cast<std::uint8_t>(1 << Pick(8)));
                step.what += " [byte at " + Hex8(address).toStdString() + " stored wrong]";
            }
        }
    }

    void ToggleUpgradeMode(Step& step) {
        step.what = "Upgrade Mode";
        if (!formMain->menuFirmwareUpgradeMode->isEnabled()) {
            step.what += " (disabled)";
            return;
        }
        formMain->menuFirmwareUpgradeMode->trigger();
        step.what += FirmwareUpgradeMode ? " on" : " off";
    }

    void Connect(Step& step) {
        step.what = "Connect";
        if (!formMain->menuConnect->isEnabled()) {
            step.what += " (disabled)";
            return;
        }
        if (!FirmwareUpgradeMode && Pedal().InBootloader()) {
            // Not tracked by the editor (see the top of the file).
            step.what += " after switching the pedal off and on";
            driver->Unplug(0);
            driver->PlugIn(0);
        }
        const bool spoilt = FirmwareUpgradeMode && Chance(15);
        if (spoilt) {
            const std::size_t at = Pedal().InBootloader() ? Pedal().BootloaderSteps() : 0;
            Pedal().FailBootloaderStep(
                at, {Chance(50) ? sim::BootFault::Nack : sim::BootFault::WrongByte, 0x55});
            step.what += " [sync answer spoilt]";
        }
        formMain->menuScan->trigger();
        step.connectMustSync = FirmwareUpgradeMode && !spoilt && driver->AttachedCount() > 0;
        if (formMain->menuConnect->isEnabled()) formMain->menuConnect->trigger();
    }

    void PressUpgrade(Step& step) {
        step.what = "Upgrade Firmware";
        if (!UpgradeWindow()) {
            step.what = "Start Firmware Upgrade";
            if (!formMain->menuStartFirmwareUpgrade->isEnabled()) {
                step.what += " (disabled)";
                return;
            }
            formMain->menuStartFirmwareUpgrade->trigger();
            if (Chance(50)) return;
            step.what += ", Upgrade Firmware";
        }
        TformFirmwareUpgrade* w = UpgradeWindow();
        if (!w) return;
        if (w->cmbFirmwareChoose->currentIndex() < 0 && Chance(70)) {
            step.what += " with Firmware_4 chosen";
            w->cmbFirmwareChoose->setCurrentIndex(w->cmbFirmwareChoose->findText("Firmware_4"));
        }
        if (!Usable(w->btnUpgradeFirmware)) {
            step.what += " (disabled)";
            return;
        }
        // A completed upgrade locks the button for the rest of the editor's
        // run, so most attempts meet a fault: the failures and their retries
        // are what a run is for.
        if (Chance(92)) ArmBootloaderFault(step);
        step.upgradePressed = true;
        // An unplug leaves the link open until the editor next calls the
        // driver, so the pedal's cable counts on its own.
        step.cleanAttempt = !step.faultArmed && w->cmbFirmwareChoose->currentIndex() >= 0 &&
                            FirmwareUpgradeMode && BootloaderConnected && Open() && synced_ &&
                            driver->AttachedCount() > 0 && Pedal().InBootloader();
        QTest::mouseClick(w->btnUpgradeFirmware, Qt::LeftButton);
    }

    // What the player may try at any moment, in the bootloader or not.
    void TrySettings(Step& step) {
        TformFXsettings* w = Settings();
        switch (Pick(4)) {
            case 0:
                step.what = "Request";
                step.requestClicked = Usable(formMain->btnRequest) && PedalTakesSettings();
                if (!Usable(formMain->btnRequest)) step.what += " (disabled)";
                QTest::mouseClick(formMain->btnRequest, Qt::LeftButton);
                break;
            case 1:
                step.what = "undo";
                if (EditHistory::Instance().UndoAction()->isEnabled())
                    EditHistory::Instance().UndoAction()->trigger();
                else
                    step.what += " (disabled)";
                break;
            default:
                if (!w) {
                    step.what = "open the settings window";
                    ClickAlgorithm();
                    return;
                }
                QuendleDial* dial = Chance(50) ? w->dialInputLevel : w->dialClipWave;
                step.what = "turn " + dial->objectName().toStdString();
                if (!dial->isEnabled()) step.what += " (disabled)";
                QTest::keyClick(dial, Chance(50) ? Qt::Key_PageUp : Qt::Key_PageDown);
        }
    }

    void ClickAlgorithm() {
        QListWidget* list = formMain->lstEffects;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualItemRect(list->item(0)).center());
    }

    Step RandomStep() {
        Step step;
        // A player without a connection mostly makes one, most often to
        // upgrade.
        if (!Open() && Chance(45)) {
            if (driver->AttachedCount() == 0 && Chance(70)) {
                step.what = "plug back in, ";
                driver->PlugIn(0);
            }
            if (!FirmwareUpgradeMode && Chance(60)) formMain->menuFirmwareUpgradeMode->trigger();
            const std::string before = step.what;
            Connect(step);
            step.what = before + (FirmwareUpgradeMode ? "in Upgrade Mode " : "") + step.what;
            return step;
        }
        const int roll = Pick(100);
        if (roll < 8) {
            ToggleUpgradeMode(step);
        } else if (roll < 22) {
            Connect(step);
        } else if (roll < 29) {
            step.what = "Disconnect";
            if (formMain->menuDisconnect->isEnabled())
                formMain->menuDisconnect->trigger();
            else
                step.what += " (disabled)";
        } else if (roll < 66) {
            PressUpgrade(step);
        } else if (roll < 88) {
            TrySettings(step);
        } else if (driver->AttachedCount() == 0) {
            // The editor may not have noticed yet: the player disconnects.
            step.what = "plug back in";
            if (formMain->menuDisconnect->isEnabled()) formMain->menuDisconnect->trigger();
            driver->PlugIn(0);
        } else {
            step.what = "unplug";
            driver->Unplug(0);
            if (Chance(50)) {
                step.what += " and plug back in";
                if (formMain->menuDisconnect->isEnabled()) formMain->menuDisconnect->trigger();
                driver->PlugIn(0);
            }
        }
        return step;
    }

    // ---- the checks -----------------------------------------------------------

    void Violation(const std::string& what) { run_.Fail(stepNumber_, what); }

    bool FlashHoldsTheImage() {
        const sim::Bytes& flash = Pedal().Flash();
        const sim::Bytes image = ToBytes(image_);
        if (!std::equal(image.begin(), image.end(), flash.begin())) return false;
        const std::size_t record = kVersionRecordAddress - kFlashStart;
        const sim::Bytes expected{0, 0, 0, 0, 0, 0, 0, kVersion};
        return std::equal(expected.begin(), expected.end(), flash.begin() + record);
    }

    void CheckWrites(std::size_t from) {
        for (std::size_t i = from; i < watch_->writes.size(); ++i) {
            const Write& w = watch_->writes[i];
            if (!w.pedalInBootloader) continue;
            // The bootloader gets every byte in a write of its own: the
            // upgrade's, and Connect's sync byte.
            const bool bootloaderByte =
                w.bytes.size() == 1 &&
                (w.upgradeRunning || w.bytes[0] == 0x7F || w.bytes[0] == 0xFF);
            if (!bootloaderByte)
                Violation("a write of " + std::to_string(w.bytes.size()) + " bytes starting " +
                          Hex2(w.bytes.front()).toStdString() +
                          " reached the pedal in its bootloader");
        }
    }

    void CheckControls() {
        TformMain& m = *formMain;
        const bool open = Open();
        if (FirmwareUpgradeRunning) Violation("an upgrade still runs after its step");
        if (PedalLink::Instance().IsBusy()) Violation("the link is still busy after the step");
        if (m.menuDisconnect->isEnabled() != open || m.menuConnect->isEnabled() == open ||
            m.menuScan->isEnabled() == open)
            Violation(std::string("Connect/Disconnect do not follow the link, which is ") +
                      (open ? "open" : "closed"));
        if (!m.menuFirmwareUpgradeMode->isEnabled())
            Violation("Upgrade Mode is locked with no upgrade running");
        if (m.menuFirmwareUpgradeMode->isChecked() != FirmwareUpgradeMode)
            Violation("the Upgrade Mode check mark differs from the mode");
        if (!open && (m.btnRequest->isEnabled() || m.btnUpload->isEnabled()))
            Violation("Request or Upload enabled without a connection");
        if (open && BootloaderConnected && (m.btnRequest->isEnabled() || m.btnUpload->isEnabled()))
            Violation("Request or Upload enabled while connected to the bootloader");
        if (open && Pedal().InBootloader() && PedalTakesSettings())
            Violation("the editor sends settings to a pedal in its bootloader");
        if (open && Pedal().InBootloader() && m.btnRequest->isEnabled())
            Violation("Request enabled while the pedal is in its bootloader");
        const bool takes = PedalTakesSettings();
        if (TformFXsettings* w = formFXsettings.built())
            for (QWidget* c : std::initializer_list<QWidget*>{
                     w->dialInputLevel, w->dialClipWave, w->chkDominantNoteCut,
                     w->cmbVariableWavePitch, w->AssignmentList(0), w->cmbGuitarTuning})
                if (c->isEnabled() != takes)
                    Violation(c->objectName().toStdString() + (takes ? " off" : " on") +
                              " while the pedal " + (takes ? "takes" : "takes no") + " settings");
        if (!takes && (EditHistory::Instance().UndoAction()->isEnabled() ||
                       EditHistory::Instance().RedoAction()->isEnabled()))
            Violation("Undo or Redo on while the pedal takes no settings");
        if (TformFirmwareUpgrade* w = formFirmwareUpgrade.built()) {
            if (w->lblDoNotUnplug->isVisibleTo(w))
                Violation("'Do not unplug' shown with no upgrade running");
            if (!w->cmbFirmwareChoose->isEnabled())
                Violation("the image list is locked with no upgrade running");
        }
    }

    void CheckUpgrade(const Step& step, const QStringList& boxes, std::size_t logFrom) {
        const std::vector<std::string>& log = Pedal().BootloaderLog();
        bool went = false;
        for (std::size_t i = std::min(logFrom, log.size()); i < log.size(); ++i)
            if (log[i] == "go 08000000") went = true;
        const bool complete = boxes.contains(kComplete);
        const bool writtenNotStarted = !boxes.filter("written and verified").isEmpty();
        if (complete && !FlashHoldsTheImage())
            Violation("the upgrade was reported complete but the flash differs from the image");
        if (complete && (!went || Pedal().InBootloader()))
            Violation("the upgrade was reported complete without an acknowledged Go");
        if (writtenNotStarted && !FlashHoldsTheImage())
            Violation("the image was reported written and verified but the flash differs");
        if (!step.upgradePressed) return;
        if (boxes.size() != 1)
            Violation("the upgrade ended with " + std::to_string(boxes.size()) +
                      " messages instead of one");
        if (step.cleanAttempt && !complete)
            Violation("an upgrade with nothing in its way did not complete");
        TformFirmwareUpgrade* w = formFirmwareUpgrade.built();
        if (!complete && !writtenNotStarted && w && !w->btnUpgradeFirmware->isEnabled())
            Violation("Upgrade Firmware stays locked after a failure");
        if (complete) {
            lastUpgradeFailed_ = false;
            if (FirmwareUpgradeMode) Violation("Upgrade Mode still on after the upgrade");
            if (w && w->isVisible()) Violation("the upgrade window stays after the upgrade");
        } else {
            // The flash holds the new firmware when only its start failed.
            lastUpgradeFailed_ = !writtenNotStarted;
        }
    }

    void Check(const Step& step, std::size_t writesFrom, int boxesFrom, std::size_t logFrom,
               std::size_t requestsFrom) {
        const QStringList boxes = dialogs->messages.mid(boxesFrom);
        CheckWrites(writesFrom);
        CheckUpgrade(step, boxes, logFrom);
        CheckControls();
        if (step.connectMustSync && !boxes.contains(kSynchronised))
            Violation("Connect in Upgrade Mode did not reach the pedal's bootloader");
        if (step.requestClicked && Open() && !Pedal().InBootloader()) {
            // Settings work again: the pedal got the Request and answered it whole.
            bool asked = false;
            for (std::size_t i = requestsFrom; i < watch_->writes.size(); ++i)
                if (watch_->writes[i].bytes.front() == 0x02) asked = true;
            if (!asked || !boxes.isEmpty())
                Violation("a Request to the pedal running its effect did not go through");
        }
    }

    void OneStep(const std::function<Step()>& act) {
        const std::size_t writesFrom = watch_->writes.size();
        const int boxesFrom = static_cast<int>(dialogs->messages.size());
        const std::size_t logFrom = Pedal().BootloaderLog().size();
        Step step = act();
        // Nothing armed for this step reaches a later one.
        Pedal().Bootloader().ClearFaults();
        const QStringList boxes = dialogs->messages.mid(boxesFrom);
        if (!boxes.filter("did not restart").isEmpty()) {
            // Not tracked (see the top of the file): the player switches the
            // pedal off and on.
            step.what += " {the pedal switched off and on}";
            driver->Unplug(0);
            if (formMain->menuDisconnect->isEnabled()) formMain->menuDisconnect->trigger();
            driver->PlugIn(0);
        }
        if (dialogs->messages.mid(boxesFrom).contains(kSynchronised))
            synced_ = true;
        else if (!Open() || !BootloaderConnected)
            synced_ = false;
        run_.Took(stepNumber_, step.what, dialogs->messages.mid(boxesFrom), NewConsoleLines());
        Check(step, writesFrom, boxesFrom, logFrom, writesFrom);
    }

    // The player's way back after a failed upgrade, as its message says:
    // Upgrade Firmware again, connecting first (Upgrade Mode ticked) when the
    // steps since have left no bootloader connection. The pedal is not
    // switched off and on: a bootloader left in the middle of a command must
    // be brought back in step by the editor. It must complete.
    void RetryAfterFailure() {
        OneStep([this] {
            Step step{"retry: Upgrade Mode on"};
            if (!FirmwareUpgradeMode) formMain->menuFirmwareUpgradeMode->trigger();
            return step;
        });
        if (!Open() || !BootloaderConnected || !synced_)
            OneStep([this] {
                Step step{"retry: Disconnect, Connect"};
                if (formMain->menuDisconnect->isEnabled()) formMain->menuDisconnect->trigger();
                if (driver->AttachedCount() == 0) {
                    step.what += " (plugged back in)";
                    driver->PlugIn(0);
                }
                formMain->menuScan->trigger();
                formMain->menuConnect->trigger();
                if (!BootloaderConnected)
                    Violation("the retry's Connect did not reach the bootloader");
                return step;
            });
        OneStep([this] {
            Step step{"retry: Upgrade Firmware"};
            formMain->menuStartFirmwareUpgrade->trigger();
            TformFirmwareUpgrade* w = UpgradeWindow();
            if (!w) {
                Violation("the upgrade window did not open for the retry");
                return step;
            }
            if (w->cmbFirmwareChoose->currentIndex() < 0) w->cmbFirmwareChoose->setCurrentIndex(0);
            step.upgradePressed = true;
            step.cleanAttempt = true;
            QTest::mouseClick(w->btnUpgradeFirmware, Qt::LeftButton);
            return step;
        });
    }

    void Run() {
        run_.Start(GetParam());
        image_ = TestImage(kImageBytes);
        platform::RegisterResource("FIRMWARE_4", image_);
        AddPedal().SetBootOnSync(true);
        StartEditor();
        NewConsoleLines();
        for (stepNumber_ = 1; stepNumber_ <= kStepsPerRun && !run_.Failed(); ++stepNumber_)
            OneStep([this] { return RandomStep(); });
        if (lastUpgradeFailed_ && !run_.Failed()) RetryAfterFailure();
    }

    RandomRun run_;
    WatchingDriver* watch_ = nullptr;
    QByteArray image_;
    int savedReply_ = 0, savedErase_ = 0, savedResync_ = 0;
    // Connected to a bootloader this connection synchronised.
    bool synced_ = false;
    bool lastUpgradeFailed_ = false;
    int stepNumber_ = 0;
};

TEST_P(UpgradeRandomRun, ThroughUpgradeModeConnectionsAndBootloaderFaults) {
    Run();
}

INSTANTIATE_TEST_SUITE_P(Seeds, UpgradeRandomRun,
                         ::testing::Values(3u, 77u, 2024u, 65537u, 5u, 808u, 31337u, 424242u,
                                           7012u),
                         [](const auto& info) { return "Seed" + std::to_string(info.param); });

}  // namespace
