// Seeded random runs of what a guitarist does around the algorithm library
// and the editor's smaller tools, through the real windows and against the
// virtual pedal: choosing, uploading and opening algorithms and their
// information window, the MIDI channel, the note cut, the debug console's
// EEPROM and raw-write tools, presets, backups and restores (with files that
// are not what they should be: a foreign file, a folder, a pipe, a missing
// or unwritable path), Request, Connect, Disconnect, Upgrade Mode, unplugging and plugging
// back in, windows opened and closed in any order. The pedal's answers come
// whole, in pieces, late, not at all, with a garbage tail or cut short; the
// pedal is unplugged while the editor waits; the driver refuses a write now
// and then; and while the editor waits for an answer the player clicks
// something else.
//
// Checked after every step:
// - nothing is left busy, and the pedal parsed exactly the messages that
//   reached it, one a write, in order: no two messages' bytes interleaved,
//   no message taken into an image;
// - nothing is written without a connected pedal, and nothing but the sync
//   byte reaches a pedal in its bootloader; a pedal left waiting for an
//   image is known to the link, which sends it nothing;
// - an upload reported complete delivered the selected algorithm's image
//   exactly; a failed one says so and never reads as complete;
// - after a whole Request the main window and the model name what the pedal
//   runs;
// - the MIDI channel's tick is the channel the pedal was last sent; the note
//   cut boxes are what the pedal holds once Save sent them;
// - a preset or backup that failed to load changes neither the model nor the
//   pedal; a failed save leaves the file it would have replaced as it was;
// - no message box is empty, and a refused file, range or hex text says so
//   in exactly one box;
// - the controls follow the connection.
//
// Each run is fixed by its seed; a failure names the seed, the step and the
// steps before it. Outcomes that depend on how fast the machine is (pieces a
// slow machine does not collect in time) are judged by what came, never by
// what was armed.
//
// What the editor knowingly does not do, and so is not checked:
// - A pedal lost during an operation is reported, and then the operation it
//   stopped says so too; a driver's refusal shows the driver's box before the
//   operation's own. The one-message check leaves those boxes out.
// - Settings are compared with the pedal by the settings run; here only what
//   the library and the tools own is.
// - A pre-upload message that reached the pedal, followed by an image write
//   the driver refused, leaves the pedal waiting for the image, and nothing
//   the editor could send ends that wait. The editor then sends nothing
//   until the next Connect and asks the player to switch the pedal off and
//   on first; the player here does so before that Connect.

#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <algorithm>

#include "app/TformPrint.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "effects/TformNoteTrackingFilter.h"
#include "library/Catalogue.h"
#include "library/PresetFile.h"
#include "library/tformFXInfo.h"
#include "platform/Resources.h"
#include "tests/settings/StoredSettingsSupport.h"
#include "tests/support/NamedPipe.h"
#include "tests/support/RandomRun.h"

namespace {

constexpr int kStepsPerRun = 250;
// Short waits keep a run to a few seconds; pieces come 30 ms apart, inside it.
constexpr int kTimeoutCapMs = 60;
constexpr std::int64_t kPieceGapMs = 30;

// The catalogue of these runs: the built-in algorithm, a second one with its
// own image, and one whose image the editor does not carry.
const char* const kAlgorithms[] = {"Quendle MK3 0008", "Quendle MK3 0009", "Lost Echo"};
const QString kUploadComplete = QStringLiteral("Upload complete");

// One write the editor made, and where the pedal and the link were then.
struct Write {
    sim::Bytes bytes;
    ftd::FT_STATUS status = ftd::FT_OK;
    bool linkOpen = false;
    bool connected = false;
    bool pedalInBootloader = false;
};

class WatchingDriver : public sim::VirtualPedalDriver {
public:
    ftd::FT_STATUS Write(ftd::FT_HANDLE handle, const void* buffer, std::uint32_t toWrite,
                         std::uint32_t& bytesWritten) override {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        ::Write w{sim::Bytes(bytes, bytes + toWrite), ftd::FT_OK, PedalLink::Instance().IsOpen(),
                  DeviceConnected, AttachedCount() > 0 && Pedal().InBootloader()};
        // Only an algorithm image is this long.
        if (refuseImage && toWrite > 64) {
            refuseImage = false;
            bytesWritten = 0;
            w.status = ftd::FT_FAILED_TO_WRITE_DEVICE;
        } else {
            w.status = sim::VirtualPedalDriver::Write(handle, buffer, toWrite, bytesWritten);
        }
        writes.push_back(std::move(w));
        return writes.back().status;
    }
    std::vector<::Write> writes;
    // The next image's write is refused (after its pre-upload message went).
    bool refuseImage = false;
};

struct Step {
    std::string what;
    bool request = false;          // Request clicked with the link free
    bool upload = false;           // Upload clicked with the link free, answered Yes
    QByteArray expectedImage;      // the selected algorithm's image then
    bool fileMustNotLoad = false;  // a preset or backup that is not one
    bool oneBox = false;           // a refusal that must be said in exactly one box
    QString savedOver;             // a save to this path that may fail
    QByteArray savedOverBytes;     // what it held before (empty: no file)
    bool noteCutSaved = false;
};

class LibraryRandomRun : public StoredSettingsFixture,
                         public ::testing::WithParamInterface<unsigned> {
protected:
    void SetUp() override {
        StoredSettingsFixture::SetUp();
        watch_ = UseDriver<WatchingDriver>();
        PedalLink::TimeoutCapMs() = kTimeoutCapMs;
        // The seeds may share one process: each starts where the editor does.
        DeviceConnected = BootloaderConnected = FirmwareUpgradeMode = false;
        SelectedAlgorithmName.clear();
        NoteCutCount = 0;
        platform::RegisterResource(QStringLiteral("OCTAVE"), QByteArray(kAlgorithms[0]) + "\r\n" +
                                                                 kAlgorithms[1] + "\r\n" +
                                                                 kAlgorithms[2] + "\r\n");
        const QByteArray builtIn =
            platform::ReadResource(QStringLiteral("QUENDLE_MK3_0008")).trimmed();
        // The same header and address table, another program.
        QByteArray other = builtIn.left(74);
        while (other.size() < builtIn.size()) other += "A5";
        platform::RegisterResource(QStringLiteral("QUENDLE_MK3_0009"), other);
        platform::RegisterResource(QStringLiteral("EFFECT_LIST"),
                                   "01:Quendle MK3 0008\r\n02:Quendle MK3 0009\r\n");
    }
    void TearDown() override {
        PedalLink::TimeoutCapMs() = 0;
        for (const char* name : {"OCTAVE", "QUENDLE_MK3_0009", "EFFECT_LIST"})
            platform::UnregisterResource(QString::fromLatin1(name));
        StoredSettingsFixture::TearDown();
    }

    int Pick(int n) { return run_.Pick(n); }
    bool Chance(int percent) { return run_.Chance(percent); }
    bool Open() { return PedalLink::Instance().IsOpen(); }
    bool Unplugged() { return driver->AttachedCount() == 0; }

    static QByteArray ImageOf(const QString& algorithm) {
        const auto found = platform::FindResource(ResourceNameFor(algorithm));
        return found ? QByteArray::fromHex(found->trimmed()) : QByteArray();
    }

    // ---- the files the player points the dialogs at ------------------------------

    QString Docs(const QString& name) const { return documents.filePath(name); }

    void WriteFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(bytes);
    }

    void MakeFiles() {
        ASSERT_TRUE(QDir().mkpath(PresetFolder()));
        ASSERT_TRUE(QDir().mkpath(Docs("folder.txt")));
        PresetValues values{};
        for (std::size_t k = 0; k < PresetFieldCount; ++k)
            values[k] = static_cast<std::uint32_t>(k * 0x11000);
        WriteFile(PresetFolder() + "/Good.txt", PresetFileBytes(PresetText(values)));
        WriteFile(Docs("not a preset.txt"), "not a preset\r\n");
        WriteFile(Docs("not a backup.json"), "{\"format\": \"something else\"}");
        WriteFile(Docs("huge.txt"), QByteArray(70 * 1024, '0'));
        WriteFile(Docs("a file"), "a file, not a folder");
        pipe_ = std::make_unique<NamedPipe>(Docs("pipe.txt"));
        ASSERT_TRUE(pipe_->made());
    }

    // A path for the open dialogs: mostly a good file, now and then one that
    // is not what it should be.
    QString PathToOpen(const QString& good, Step& step) {
        const QString bad[] = {Docs("not a preset.txt"), Docs("not a backup.json"),
                               Docs("folder.txt"),       Docs("pipe.txt"),
                               Docs("missing.txt"),      Docs("huge.txt")};
        if (!good.isEmpty() && Chance(55)) return good;
        step.fileMustNotLoad = true;
        step.oneBox = true;
        return bad[Pick(6)];
    }
    // A path for the save dialogs: a new or existing file, or one that cannot
    // be written (a folder, a path under a file, a file of the system that
    // not even the administrator may replace).
    QString PathToSave(const QString& usual, Step& step) {
        const QString paths[] = {Docs("folder.txt"), Docs("a file/inside.txt"),
                                 QStringLiteral("/proc/version")};
        const QString path = Chance(60) ? usual : paths[Pick(3)];
        step.savedOver = path;
        QFile file(path);
        if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly))
            step.savedOverBytes = file.readAll();
        return path;
    }

    // ---- the player's steps ------------------------------------------------------

    void MaybeFailNextWrite(Step& step) {
        if (!Chance(10)) return;
        driver->FailNext("Write", ftd::FT_FAILED_TO_WRITE_DEVICE);
        step.what += " [write refused]";
    }

    // A fault for the pedal's next answer; true when the answer is slow
    // enough for a click to land in its wait.
    bool ArmAnswerFault(Step& step) {
        sim::VirtualPedal& p = Pedal();
        switch (Pick(10)) {
            case 0:
            case 1: {
                auto& f = p.NextReplyFault();
                f.splitAfter = {5, 12};
                f.splitGapMs = kPieceGapMs;
                step.what += " [pieces]";
                return true;
            }
            case 2:
                p.DelayNextReply(kTimeoutCapMs + 30);
                step.what += " [late]";
                return true;
            case 3:
                p.SwallowNextReply();
                step.what += " [silent]";
                return true;
            case 4:
                p.GarbageAfterNextReply({'7', '\r', '\n', 0x55});
                step.what += " [garbage tail]";
                return false;
            case 5: {
                const auto cut = static_cast<std::size_t>(1 + Pick(10));
                p.TruncateNextReply(cut);
                step.what += " [cut after " + std::to_string(cut) + "]";
                return true;
            }
            case 6: {
                auto& f = p.NextReplyFault();
                f.splitAfter = {5};
                f.splitGapMs = kPieceGapMs;
                during_.Arm(
                    15, [this] { driver->Unplug(0); }, "unplug");
                step.what += " [unplugged mid-wait]";
                return false;
            }
            case 7:
                MaybeFailNextWrite(step);
                return false;
            default:
                return false;
        }
    }

    // A click on something else while the editor waits.
    void ClickMeanwhile() {
        switch (Pick(9)) {
            case 0:
                during_.Arm(
                    15,
                    [this] {
                        dialogs->answers.push_front(platform::Answer::Yes);
                        QTest::mouseClick(formMain->btnUpload, Qt::LeftButton);
                    },
                    "Upload");
                break;
            case 1:
                during_.Arm(
                    15, [] { QTest::mouseClick(formMain->btnRequest, Qt::LeftButton); }, "Request");
                break;
            case 2: {
                const int channel = Pick(17);
                during_.Arm(
                    15, [channel] { formMain->menuMIDIchannel->actions()[channel]->trigger(); },
                    "MIDI " + std::to_string(channel));
                break;
            }
            case 3:
                during_.Arm(
                    15, [] { formNoteTrackingFilter->btnSave->click(); }, "note cut Save");
                break;
            case 4:
                during_.Arm(
                    15, [] { formPrint->btnReadEEPROM->click(); }, "Read E2P");
                break;
            case 5:
                during_.Arm(
                    15,
                    [] {
                        formPrint->edtAddress->setText("0010");
                        formPrint->edtData->setText("0000007F");
                        formPrint->btnSend->click();
                    },
                    "raw Send");
                break;
            case 6:
                during_.Arm(
                    15, [this] { ClickRow(Pick(3)); }, "an algorithm");
                break;
            case 7:
                during_.Arm(
                    15,
                    [this] {
                        dialogs->fileNames.push_front(PresetFolder() + "/Good.txt");
                        formMain->menuLoadPreset->trigger();
                    },
                    "Load Preset");
                break;
            default:
                during_.Arm(
                    15, [] { formMain->menuDisconnect->trigger(); }, "Disconnect");
        }
    }

    void ClickRow(int row) {
        QListWidget* list = formMain->lstEffects;
        if (QListWidgetItem* item = list->item(row))
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                              list->visualItemRect(item).center());
    }

    void SelectAlgorithm(Step& step) {
        const int row = Pick(3);
        step.what = std::string("select ") + kAlgorithms[row];
        if (!formMain->lstEffects->item(row)) step.what += " (not listed)";
        ClickRow(row);
    }

    void Upload(Step& step) {
        step.what = "Upload Selected";
        if (!Usable(formMain->btnUpload)) {
            step.what += " (disabled)";
            return;
        }
        step.what += " of '" + SelectedAlgorithmName.toStdString() + "'";
        const bool no = Chance(10);
        dialogs->answers.push_back(no ? platform::Answer::No : platform::Answer::Yes);
        step.what += no ? " [No]" : " [Yes]";
        step.upload = !no;
        step.expectedImage = ImageOf(SelectedAlgorithmName);
        if (!no && Chance(8)) {
            watch_->refuseImage = true;
            step.what += " [image write refused]";
        } else if (!no && ArmAnswerFault(step) && Chance(60)) {
            ClickMeanwhile();
        }
        QTest::mouseClick(formMain->btnUpload, Qt::LeftButton);
    }

    void Request(Step& step) {
        step.what = "Request";
        if (!Usable(formMain->btnRequest)) {
            step.what += " (disabled)";
            return;
        }
        step.request = true;
        if (ArmAnswerFault(step) && Chance(60)) ClickMeanwhile();
        QTest::mouseClick(formMain->btnRequest, Qt::LeftButton);
    }

    void OpenEffectOrInfo(Step& step) {
        // Both buttons are hidden in the main window; their handlers are what
        // a click runs.
        if (Chance(50)) {
            step.what = "Open FX";
            MaybeFailNextWrite(step);
            if (formMain->btnOpenEffect->isEnabled())
                formMain->btnOpenEffect->click();
            else
                step.what += " (disabled)";
            return;
        }
        if (formFXInfo.built() && formFXInfo->isVisible() && Chance(40)) {
            step.what = "close the information window";
            formFXInfo->close();
            return;
        }
        step.what = "Get FX Info";
        if (formMain->btnGetFXInfo->isEnabled())
            formMain->btnGetFXInfo->click();
        else
            step.what += " (disabled)";
    }

    void MidiChannel(Step& step) {
        const int channel = Pick(17);
        QAction* item = formMain->menuMIDIchannel->actions()[channel];
        step.what = "MIDI channel " + item->text().toStdString();
        MaybeFailNextWrite(step);
        item->trigger();
    }

    void NoteCut(Step& step) {
        TformNoteTrackingFilter* w = formNoteTrackingFilter.built();
        if (!w || !w->isVisible()) {
            step.what = "Settings > Note Cut";
            formMain->menuNoteCut->trigger();
            return;
        }
        switch (Pick(4)) {
            case 0:
                step.what = "close Note Cut";
                w->close();
                return;
            case 1:
            case 2: {
                QCheckBox* box = NoteBoxes(*w)[static_cast<std::size_t>(Pick(8))];
                step.what = "note cut " + box->text().toStdString();
                if (Usable(box))
                    ClickOption(box);
                else
                    step.what += " (disabled)";
                return;
            }
            default:
                step.what = "note cut Save";
                step.noteCutSaved = true;
                MaybeFailNextWrite(step);
                w->btnSave->click();
        }
    }

    void ConsoleTool(Step& step) {
        TformPrint* w = formPrint.built();
        if (!w || !w->isVisible()) {
            step.what = "Ctrl+Shift+P";
            QTest::keyClick(formMain, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
            return;
        }
        const int tool = Pick(6);
        if (tool <= 2) {
            // A range: mostly a short good one; upside down, not a number, or
            // above 65535 now and then.
            QString start = QString::number(Pick(64)), end = QString::number(Pick(64) + 64);
            switch (Pick(6)) {
                case 0:
                    std::swap(start, end);
                    step.oneBox = true;
                    break;
                case 1:
                    end = Chance(50) ? "12x" : "";
                    step.oneBox = true;
                    break;
                case 2:
                    start = "65600";
                    end = "65620";
                    break;
                default:
                    break;
            }
            w->edtStartAddress->setText(start);
            w->edtEndAddress->setText(end);
            const bool read = tool != 0;
            step.what = std::string(read ? "Read E2P " : "Erase EEPROM ") + start.toStdString() +
                        ".." + end.toStdString();
            if (read && !step.oneBox && ArmAnswerFault(step) && Chance(60)) ClickMeanwhile();
            if (!read) MaybeFailNextWrite(step);
            (read ? w->btnReadEEPROM : w->btnEraseEeprom)->click();
        } else if (tool <= 4) {
            const bool good = Chance(60);
            const QString address = good ? "0010" : (Chance(50) ? "10" : "00G0");
            const QString data = good ? "0000007F" : (Chance(50) ? "7F" : "0000007F");
            step.oneBox = !good;
            w->edtAddress->setText(address);
            w->edtData->setText(data);
            step.what = "raw Send " + address.toStdString() + " " + data.toStdString();
            MaybeFailNextWrite(step);
            w->btnSend->click();
        } else {
            step.what = "close the console";
            w->close();
        }
    }

    void Preset(Step& step) {
        if (Chance(50)) {
            step.what = "Save Preset";
            if (!formMain->menuSavePreset->isEnabled()) {
                step.what += " (disabled)";
                return;
            }
            const QString path = PathToSave(PresetFolder() + "/Saved.txt", step);
            step.what += " to " + QFileInfo(path).fileName().toStdString();
            dialogs->fileNames.push_back(path);
            formMain->menuSavePreset->trigger();
            return;
        }
        step.what = "Load Preset";
        if (!formMain->menuLoadPreset->isEnabled()) {
            step.what += " (disabled)";
            return;
        }
        const QString saved = PresetFolder() + "/Saved.txt";
        const QString good =
            QFile::exists(saved) && Chance(50) ? saved : PresetFolder() + "/Good.txt";
        const QString path = PathToOpen(good, step);
        step.what += " " + QFileInfo(path).fileName().toStdString();
        dialogs->fileNames.push_back(path);
        MaybeFailNextWrite(step);
        formMain->menuLoadPreset->trigger();
    }

    void BackUpOrRestore(Step& step) {
        const QString backup = Docs("VORKEL/Quendle MK3/backup.json");
        if (Chance(45)) {
            step.what = "Back Up Pedal";
            if (!formMain->menuBackUpPedal->isEnabled()) {
                step.what += " (disabled)";
                return;
            }
            const QString path = PathToSave(backup, step);
            step.what += " to " + QFileInfo(path).fileName().toStdString();
            dialogs->fileNames.push_back(path);
            formMain->menuBackUpPedal->trigger();
            return;
        }
        step.what = "Restore Pedal";
        if (!formMain->menuRestorePedal->isEnabled()) {
            step.what += " (disabled)";
            return;
        }
        const QString path = PathToOpen(QFile::exists(backup) ? backup : QString(), step);
        step.what += " " + QFileInfo(path).fileName().toStdString();
        dialogs->fileNames.push_back(path);
        if (!step.fileMustNotLoad) {
            const bool no = Chance(20);
            dialogs->answers.push_back(no ? platform::Answer::No : platform::Answer::Yes);
            step.what += no ? " [No]" : " [Yes]";
            MaybeFailNextWrite(step);
        }
        formMain->menuRestorePedal->trigger();
    }

    void Connect(Step& step) {
        step.what = FirmwareUpgradeMode ? "Connect in Upgrade Mode" : "Connect";
        if (Unplugged()) {
            // The editor may not have noticed yet: the player disconnects.
            step.what = "plug back in, " + step.what;
            if (formMain->menuDisconnect->isEnabled()) formMain->menuDisconnect->trigger();
            driver->PlugIn(0);
        }
        if (!FirmwareUpgradeMode && Pedal().InBootloader()) {
            // A Connect outside Upgrade Mode cannot tell a pedal left in its
            // bootloader: the player switches it off and on, as told.
            step.what += " after switching the pedal off and on";
            driver->Unplug(0);
            driver->PlugIn(0);
        }
        if (!Open() && Pedal().UploadInProgress()) {
            // Told so when the image did not go out whole.
            step.what += " after switching the pedal, which awaits an image, off and on";
            Pedal().PlugIn();
        }
        formMain->menuScan->trigger();
        if (formMain->menuConnect->isEnabled()) formMain->menuConnect->trigger();
    }

    void WindowsAndConnection(Step& step) {
        switch (Pick(6)) {
            case 0: {
                TformFXsettings* w = formFXsettings.built();
                if (w && w->isVisible()) {
                    step.what = "close the settings window";
                    w->close();
                } else {
                    SelectAlgorithm(step);
                }
                return;
            }
            case 1:
                step.what = "Disconnect";
                if (formMain->menuDisconnect->isEnabled())
                    formMain->menuDisconnect->trigger();
                else
                    step.what += " (disabled)";
                return;
            case 2:
                step.what = "unplug";
                driver->Unplug(0);
                return;
            case 3:
                step.what = "Upgrade Mode";
                formMain->menuFirmwareUpgradeMode->trigger();
                step.what += FirmwareUpgradeMode ? " on" : " off";
                return;
            default:
                Connect(step);
        }
    }

    Step RandomStep() {
        Step step;
        // Upgrade Mode is a detour: the player soon leaves it again.
        if (FirmwareUpgradeMode && Chance(20)) {
            step.what = "Upgrade Mode off";
            formMain->menuFirmwareUpgradeMode->trigger();
            return step;
        }
        // Told to, the player soon switches the pedal off and on and
        // connects again (Connect does the switching).
        if (Open() && PedalLink::Instance().AwaitsImage() && Chance(25)) {
            step.what = "Disconnect";
            formMain->menuDisconnect->trigger();
            step.what += ", ";
            Step again;
            Connect(again);
            step.what += again.what;
            return step;
        }
        // A player without a connection mostly makes one.
        if (!Open() && Chance(50)) {
            Connect(step);
            return step;
        }
        const int roll = Pick(100);
        if (roll < 10)
            SelectAlgorithm(step);
        else if (roll < 24)
            Upload(step);
        else if (roll < 34)
            Request(step);
        else if (roll < 40)
            OpenEffectOrInfo(step);
        else if (roll < 46)
            MidiChannel(step);
        else if (roll < 56)
            NoteCut(step);
        else if (roll < 70)
            ConsoleTool(step);
        else if (roll < 78)
            Preset(step);
        else if (roll < 85)
            BackUpOrRestore(step);
        else
            WindowsAndConnection(step);
        return step;
    }

    // ---- the checks --------------------------------------------------------------

    void Violation(const std::string& what) { run_.Fail(stepNumber_, what); }

    static std::array<QCheckBox*, 8> NoteBoxes(TformNoteTrackingFilter& w) {
        return {w.chkA2,       w.chkAdiesis2, w.chkB2,       w.chkC3,
                w.chkCdiesis3, w.chkD3,       w.chkDdiesis3, w.chkE3};
    }

    static QString Hex(const sim::Bytes& bytes, std::size_t max = 8) {
        QByteArray raw(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<qsizetype>(std::min(bytes.size(), max)));
        return QString::fromLatin1(raw.toHex(' ').toUpper());
    }

    void CheckWrites(std::size_t from) {
        for (std::size_t i = from; i < watch_->writes.size(); ++i) {
            const Write& w = watch_->writes[i];
            if (!w.linkOpen)
                Violation("a write of " + Hex(w.bytes).toStdString() + " with the link closed");
            if (w.pedalInBootloader && !(w.bytes.size() == 1 && w.bytes[0] == 0x7F))
                Violation("the write " + Hex(w.bytes).toStdString() +
                          " reached the pedal in its bootloader");
            if (!w.pedalInBootloader && w.status == ftd::FT_OK && w.bytes.size() == 2 &&
                w.bytes[0] == 0x07)
                midiSent_ = w.bytes[1];
        }
    }

    // One write, one message: the pedal parsed exactly what reached it, in
    // order, so no two messages ran into each other.
    void CheckParsed(std::size_t writesFrom, std::size_t commandsBefore) {
        std::vector<sim::Bytes> written;
        for (std::size_t i = writesFrom; i < watch_->writes.size(); ++i) {
            const Write& w = watch_->writes[i];
            // The sync byte sends a running pedal into its bootloader (as if
            // its boot button were held): no message of the effect.
            if (w.status == ftd::FT_OK && !w.pedalInBootloader && w.bytes != sim::Bytes{0x7F})
                written.push_back(w.bytes);
        }
        const auto& commands = Pedal().Commands();
        const std::vector<sim::Bytes> parsed(
            commands.begin() +
                static_cast<std::ptrdiff_t>(std::min(commandsBefore, commands.size())),
            commands.end());
        if (parsed == written) return;
        std::string text = "the pedal parsed";
        for (const auto& m : parsed) text += " [" + Hex(m).toStdString() + "]";
        text += " from the writes";
        for (const auto& m : written) text += " [" + Hex(m).toStdString() + "]";
        Violation(text);
    }

    void CheckControls() {
        TformMain& m = *formMain;
        const bool open = Open();
        if (PedalLink::Instance().IsBusy()) Violation("the link is still busy after the step");
        if (m.menuDisconnect->isEnabled() != open || m.menuConnect->isEnabled() == open ||
            m.menuScan->isEnabled() == open)
            Violation(std::string("Connect/Disconnect do not follow the link, which is ") +
                      (open ? "open" : "closed"));
        for (QPushButton* b : {m.btnRequest, m.btnUpload, m.btnOpenEffect, m.btnAssign,
                               m.btnSaveParameters, m.btnSetFootswitchMode, m.btnSetTuning})
            if (!open && b->isEnabled())
                Violation(b->objectName().toStdString() + " enabled without a connection");
        const bool awaitsImage = PedalLink::Instance().AwaitsImage();
        if (open && !BootloaderConnected && !awaitsImage &&
            (!m.btnRequest->isEnabled() || !m.btnUpload->isEnabled()))
            Violation("Request or Upload off while connected to the running pedal");
        if (open && awaitsImage && (m.btnRequest->isEnabled() || m.btnUpload->isEnabled()))
            Violation("Request or Upload on while the pedal awaits an image");
        if (open && BootloaderConnected && (m.btnRequest->isEnabled() || m.btnUpload->isEnabled()))
            Violation("Request or Upload on while connected to the bootloader");
        const bool takes = PedalTakesSettings();
        if (m.menuLoadPreset->isEnabled() != takes || m.menuRestorePedal->isEnabled() != takes)
            Violation(std::string("Load Preset or Restore ") + (takes ? "off" : "on") +
                      " while the pedal " + (takes ? "takes" : "takes no") + " settings");
        // A window that is not shown takes the state when it is (a click on an
        // algorithm whose image is missing builds it and stops before that).
        TformFXsettings* w = formFXsettings.built();
        if (w && w->isVisible())
            for (QWidget* c : std::initializer_list<QWidget*>{w->dialInputLevel, w->dialClipWave,
                                                              w->chkDominantNoteCut})
                if (c->isEnabled() != takes)
                    Violation(c->objectName().toStdString() + (takes ? " off" : " on") +
                              " while the pedal " + (takes ? "takes" : "takes no") + " settings");
    }

    void CheckMidiTick() {
        QAction* ticked = nullptr;
        for (QAction* a : formMain->menuMIDIchannel->actions())
            if (a->isChecked()) ticked = a;
        if (!midiSent_) {
            if (ticked) Violation("channel " + ticked->text().toStdString() + " ticked, none sent");
            return;
        }
        const QString expected =
            *midiSent_ == 0 ? QStringLiteral("OMNI") : QString::number(*midiSent_);
        if (!ticked || ticked->text() != expected)
            Violation("the MIDI tick is on " +
                      (ticked ? ticked->text().toStdString() : std::string("nothing")) +
                      ", the pedal was last sent " + expected.toStdString());
    }

    void CheckNoteCut(const Step& step, std::size_t writesFrom) {
        TformNoteTrackingFilter* w = formNoteTrackingFilter.built();
        if (!w) return;
        int checked = 0;
        std::vector<std::uint8_t> codes;
        for (std::size_t i = 0; i < 8; ++i)
            if (NoteBoxes(*w)[i]->isChecked()) {
                ++checked;
                codes.push_back(static_cast<std::uint8_t>(i));
            }
        if (checked > 2) Violation("more than two notes to cut are ticked");
        for (QCheckBox* box : NoteBoxes(*w))
            if (!box->isChecked() && box->isEnabled() == (checked == 2))
                Violation("note box " + box->text().toStdString() +
                          (checked == 2 ? " on with two ticked" : " off with fewer than two"));
        if (!step.noteCutSaved) return;
        bool reached = false;
        for (std::size_t i = writesFrom; i < watch_->writes.size(); ++i) {
            const Write& wr = watch_->writes[i];
            if (wr.status == ftd::FT_OK && !wr.pedalInBootloader && wr.bytes.size() == 3 &&
                wr.bytes[0] == 0x09)
                reached = true;
        }
        if (!reached) return;
        codes.resize(2, 0xFF);
        const auto held = Pedal().NoteFilter();
        if (held.first != codes[0] || held.second != codes[1])
            Violation("the note cut shows " + std::to_string(codes[0]) + "/" +
                      std::to_string(codes[1]) + ", the pedal holds " + std::to_string(held.first) +
                      "/" + std::to_string(held.second));
    }

    void CheckUpload(const Step& step, const QString& statusBefore, std::size_t uploadsBefore) {
        const QString status = formMain->lblStatus->text();
        const bool delivered = Pedal().UploadCount() > uploadsBefore;
        if (!step.upload) {
            if (status == kUploadComplete && statusBefore != kUploadComplete)
                Violation("the status reads complete after a step that uploaded nothing");
            return;
        }
        if (status == kUploadComplete) {
            const sim::Bytes last = Pedal().LastUpload();
            if (!delivered || QByteArray(reinterpret_cast<const char*>(last.data()),
                                         static_cast<qsizetype>(last.size())) != step.expectedImage)
                Violation("the upload reads complete but the pedal holds " +
                          std::to_string(last.size()) + " other bytes");
        } else if (status == QStringLiteral("Uploading...")) {
            // The pedal's own text of another answer is shown as it came.
            Violation("an upload that did not complete still reads as uploading");
        }
    }

    void CheckFiles(const Step& step, const std::vector<std::uint32_t>& valuesBefore,
                    std::size_t writesFrom, const QStringList& boxes) {
        if (step.fileMustNotLoad) {
            if (ModelValues() != valuesBefore)
                Violation("a file that is not one changed the model");
            for (std::size_t i = writesFrom; i < watch_->writes.size(); ++i)
                if (watch_->writes[i].status == ftd::FT_OK)
                    Violation("a file that is not one sent " +
                              Hex(watch_->writes[i].bytes).toStdString());
        }
        if (!step.savedOver.isEmpty()) {
            bool failed = false;
            for (const QString& box : boxes)
                if (box.startsWith("Error saving file") ||
                    box.startsWith("The backup was not saved"))
                    failed = true;
            QFile file(step.savedOver);
            const QByteArray now =
                QFileInfo(step.savedOver).isFile() && file.open(QIODevice::ReadOnly)
                    ? file.readAll()
                    : QByteArray();
            if (failed && now != step.savedOverBytes)
                Violation("a failed save changed " + step.savedOver.toStdString());
            const bool saved = !boxes.filter("saved successfully").isEmpty();
            if (saved && step.savedOver.endsWith(".txt")) {
                const auto values = PresetValuesFromFile(now);
                PresetValues expected{};
                for (std::size_t k = 0; k < PresetFieldCount; ++k)
                    expected[k] = Model().Value(static_cast<int>(k));
                if (!values || *values != expected)
                    Violation("a preset said saved does not hold the model's values");
            }
            if (!boxes.filter("Backup saved").isEmpty() && now.isEmpty())
                Violation("a backup said saved left no file");
        }
    }

    void CheckBoxes(const Step& step, const QStringList& boxes) {
        for (const QString& box : boxes)
            if (box.trimmed().isEmpty()) Violation("an empty message box");
        // A click made during the wait is a command of its own, with its own box.
        if (during_.Ran()) return;
        // Left out of the count: Scan's report of what it found, and a
        // driver's own box, which comes at once by design, before the
        // operation says what the failure means for it.
        QStringList counted = boxes;
        counted.removeIf([](const QString& b) {
            return b.endsWith(" found, click Connect") || b.startsWith("FT_");
        });
        // Known (see the top of the file): a lost pedal is reported, and then
        // the operation it stopped says so too.
        const bool lost = !counted.filter("The pedal was disconnected").isEmpty();
        if (lost) return;
        if (step.oneBox && counted.size() != 1)
            Violation("a refusal was said in " + std::to_string(counted.size()) + " boxes");
        if (counted.size() > 1)
            Violation("one step showed " + std::to_string(counted.size()) + " boxes");
    }

    // After a whole Request the model and the main window name what the
    // pedal runs; the algorithm list marks the one the editor works with.
    void CheckIdentity(const Step& step, const QStringList& console) {
        QListWidget* list = formMain->lstEffects;
        const QList<QListWidgetItem*> selected = list->selectedItems();
        if (!selected.isEmpty() && selected.first()->text() != SelectedAlgorithmName)
            Violation("the list marks " + selected.first()->text().toStdString() +
                      ", the editor works with '" + SelectedAlgorithmName.toStdString() + "'");
        // Logged only from a whole answer.
        if (!step.request || console.filter("Firmware Version: ").isEmpty()) return;
        const auto& id = Model().identity();
        if (!id || id->firmwareVersion != Pedal().FirmwareVersion() ||
            id->algorithmVersion != Pedal().AlgorithmVersion() ||
            id->effectNumber != Pedal().EffectNumber())
            Violation("after a whole Request the model does not name what the pedal runs");
        const QString shown =
            QStringLiteral("Firmware Version: ") +
            QStringLiteral("%1").arg(Pedal().FirmwareVersion(), 2, 16, QLatin1Char('0')).toUpper();
        if (formMain->lblFirmwareVersion->text() != shown)
            Violation("after a whole Request the main window shows '" +
                      formMain->lblFirmwareVersion->text().toStdString() + "'");
    }

    void Run() {
        run_.Start(GetParam());
        AddPedal().SetBootOnSync(true);
        MakeFiles();
        StartEditor();
        NewConsoleLines();
        for (stepNumber_ = 1; stepNumber_ <= kStepsPerRun && !run_.Failed(); ++stepNumber_) {
            const std::size_t writesFrom = watch_->writes.size();
            const int boxesFrom = static_cast<int>(dialogs->messages.size());
            const std::size_t unrecognisedBefore = Pedal().Unrecognised().size();
            const std::size_t uploadsBefore = Pedal().UploadCount();
            const std::size_t commandsBefore = Pedal().Commands().size();
            const QString statusBefore = formMain->lblStatus->text();
            const std::vector<std::uint32_t> valuesBefore = ModelValues();
            during_.Begin();

            Step step = RandomStep();

            // Nothing armed for this step reaches a later one.
            during_.Stop();
            driver->ForgetFailures();
            watch_->refuseImage = false;
            dialogs->answers.clear();
            dialogs->fileNames.clear();
            if (during_.Ran()) step.what += " {meanwhile: " + during_.What() + "}";
            const QStringList boxes = dialogs->messages.mid(boxesFrom);
            const QStringList console = NewConsoleLines();
            run_.Took(stepNumber_, step.what, boxes, console);
            if (Open() && Pedal().UploadInProgress() && !PedalLink::Instance().AwaitsImage())
                Violation("the pedal waits for an algorithm image the link does not know of");

            CheckWrites(writesFrom);
            CheckParsed(writesFrom, commandsBefore);
            if (Pedal().Unrecognised().size() > unrecognisedBefore) {
                std::string writes;
                for (std::size_t i = writesFrom; i < watch_->writes.size(); ++i)
                    writes += " [" + Hex(watch_->writes[i].bytes).toStdString() + " (" +
                              std::to_string(watch_->writes[i].bytes.size()) + ")]";
                Violation("the pedal got bytes it could not make sense of: " +
                          Hex(Pedal().Unrecognised().back()).toStdString() + "; the step wrote" +
                          writes);
            }
            CheckControls();
            CheckMidiTick();
            CheckNoteCut(step, writesFrom);
            CheckUpload(step, statusBefore, uploadsBefore);
            CheckFiles(step, valuesBefore, writesFrom, boxes);
            CheckBoxes(step, boxes);
            CheckIdentity(step, console);
        }
    }

    RandomRun run_;
    WatchingDriver* watch_ = nullptr;
    std::unique_ptr<NamedPipe> pipe_;
    ClickDuringWait during_;
    // The channel byte of the last MIDI message that reached the running pedal.
    std::optional<std::uint8_t> midiSent_;
    int stepNumber_ = 0;
};

TEST_P(LibraryRandomRun, ThroughTheLibraryToolsAndFilesWithPedalFaults) {
    Run();
}

INSTANTIATE_TEST_SUITE_P(Seeds, LibraryRandomRun,
                         ::testing::Values(7u, 99u, 2718u, 31415u, 4u, 1861u, 6008u),
                         [](const auto& info) { return "Seed" + std::to_string(info.param); });

}  // namespace
