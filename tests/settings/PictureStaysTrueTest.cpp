// Long random runs of what a player does through the real windows, with the
// pedal and its USB bridge misbehaving in between, checked after every step
// against the virtual pedal: the editor's picture of the pedal's settings
// must never drift from what the pedal holds.
//
// The steps: Connect, Request (its answer whole, in pieces, late, missing,
// with a garbage tail, cut short, with a line that is not a value, or the
// pedal unplugged while it comes; a click or a Disconnect while the editor
// waits), the two knobs by keys, drag and typed value, the tracking boxes,
// the pitch, assignment and tuning lists and footswitch buttons, Save
// Parameters, Assign, Set Footswitch Mode, Set Tuning, presets from the
// list, Undo and Redo, Back Up and Restore Pedal, the settings window opened
// and closed, Disconnect, unplug and plug back in; a write the driver
// refuses now and then. Question boxes are answered Yes, now and then No.
//
// Each run is fixed by its seed. A failure names the seed, the step and the
// steps before it; the same seed replays the same run. Timing decides a few
// outcomes (a reply in pieces that the machine is too slow to collect), so
// the checks follow what actually happened (whole answer or not, write
// failed or not), never what the generator hoped for.
//
// What the editor knowingly does not track, and so is not checked:
// - After Disconnect or an unplug the windows keep the last picture, and
//   after the next Connect it stands unread until a Request (the pedal may
//   have been changed meanwhile, or have been another pedal). So the live
//   check covers only the values written or read since the latest Connect;
//   that nothing changes the picture while no pedal is connected is checked.
// - Footswitch behaviour, assignments and tuning are chosen in the window and
//   go to the pedal only with their buttons: until then they differ by
//   design, and are compared with the pedal after a whole Request and after
//   their button sent them.
// - Assigning a tracking function to CTRL III makes the pedal take the tuning
//   as that function's value; the virtual pedal does not model it, so that
//   value leaves the live check until it is next written or read.
// - The debug console's raw write goes around the model by design; these
//   runs do not use it.

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QTimer>
#include <QtMath>
#include <algorithm>
#include <set>
#include <sstream>

#include "effects/EditHistory.h"
#include "effects/KnobText.h"
#include "effects/PedalModel.h"
#include "library/PresetFile.h"
#include "tests/settings/StoredSettingsSupport.h"
#include "tests/support/RandomRun.h"

namespace {

constexpr int kStepsPerRun = 250;
// Short waits keep a run of a few hundred steps to a second or two; replies
// in pieces come 30 ms apart, well inside it.
constexpr int kTimeoutCapMs = 60;
constexpr std::int64_t kPieceGapMs = 30;

const QString kWriteFailed = QStringLiteral("FT_Write - Failed to write...");

// The editor's picture, as far as the pedal holds it too.
struct Picture {
    std::vector<std::uint32_t> values;
    std::array<int, AssignableControlCount> entries{};
    std::uint8_t footswitch = 0;
    std::uint8_t tuning = 0;

    static Picture OfModel() {
        Picture p;
        for (int s = 0; s < ParameterSlotCount; ++s) p.values.push_back(Model().Value(s));
        for (int c = 0; c < AssignableControlCount; ++c) p.entries[c] = Model().AssignmentEntry(c);
        p.footswitch = Model().FootswitchCode();
        p.tuning = Model().Tuning();
        return p;
    }
    bool SettingsEqual(const Picture& o) const {
        return entries == o.entries && footswitch == o.footswitch && tuning == o.tuning;
    }
};

std::string Hex(std::uint32_t v) {
    std::ostringstream os;
    os << std::hex << v;
    return os.str();
}

// What a step did besides its clicks, for the checks that follow it.
struct Step {
    std::string what;
    bool request = false;       // a Request was clicked
    bool valuesStay = false;    // the step must not change any value
    bool pictureStays = false;  // nor footswitch, assignments or tuning
    bool singleEdit = false;    // one value, one write: a failed write changes nothing
    std::set<int> movedDuringWait;
};

class PictureStaysTrue : public StoredSettingsFixture,
                         public ::testing::WithParamInterface<unsigned> {
protected:
    void SetUp() override {
        StoredSettingsFixture::SetUp();
        PedalLink::TimeoutCapMs() = kTimeoutCapMs;
    }
    void TearDown() override {
        PedalLink::TimeoutCapMs() = 0;
        StoredSettingsFixture::TearDown();
    }

    // ---- random choices --------------------------------------------------

    int Pick(int n) { return run_.Pick(n); }
    bool Chance(int percent) { return run_.Chance(percent); }

    // A value of the kind the pedal keeps in that slot.
    std::uint32_t SlotValueFor(int slot) {
        switch (slot) {
            case SlotWave:
                return Chance(50) ? 0x00400000 : 0x00600000;
            case SlotSplit:
            case SlotDominantNoteCut:
            case SlotHighNotesCut:
                return static_cast<std::uint32_t>(Pick(2));
            case SlotLowPass:
                return static_cast<std::uint32_t>(Pick(25));
            case SlotHighPass:
                return static_cast<std::uint32_t>(Pick(17));
            case SlotRange:
                return static_cast<std::uint32_t>(Pick(23));
            case SlotHarmonicPitch:
                return PitchTable[static_cast<std::size_t>(Pick(25))];
            default:
                return static_cast<std::uint32_t>(Pick(0x800000));
        }
    }

    // What CTRL I ... the remote footswitch carry for these list entries, as
    // the pedal keeps it (addresses from the pedal's own table).
    std::array<std::uint8_t, 15> AssignmentBytesFor(const std::array<int, 5>& entries) {
        const int ctrl12[] = {-1, SlotInputLevel, SlotHarmonicPitch, SlotWaveClip};
        const int ctrl34[] = {-1, SlotDominantNoteCut, SlotHighNotesCut};
        std::array<std::optional<std::uint16_t>, 5> codes{};
        for (int c = 0; c < 5; ++c) {
            const int e = entries[static_cast<std::size_t>(c)];
            if (e == 0) continue;
            if (c <= CtrlII)
                codes[c] = Pedal().SlotAddress(static_cast<std::size_t>(ctrl12[e]));
            else if (c <= CtrlIV)
                codes[c] = Pedal().SlotAddress(static_cast<std::size_t>(ctrl34[e]));
            else
                codes[c] = e == 1 ? RemoteBypassCode : RemotePresetCode;
        }
        return AssignmentBytes(codes);
    }

    void GivePedalRandomSettings() {
        for (int s = 0; s < ParameterSlotCount; ++s)
            Pedal().SetSlotValue(static_cast<std::size_t>(s), SlotValueFor(s));
        Pedal().SetFootswitchMode(static_cast<std::uint8_t>(Pick(4)));
        Pedal().SetTuning(static_cast<std::uint8_t>(Pick(5)));
        Pedal().SetAssignments(AssignmentBytesFor({Pick(4), Pick(4), Pick(3), Pick(3), Pick(3)}));
    }

    QString PresetDir() const { return documents.filePath("VORKEL/Quendle MK3/Preset"); }

    // Three presets and one file in the folder that is not a preset.
    void WritePresets() {
        ASSERT_TRUE(QDir().mkpath(PresetDir()));
        for (const char* name : {"Alpha", "Bravo", "Charlie"}) {
            PresetValues values{};
            for (std::size_t k = 0; k < PresetFieldCount; ++k)
                values[k] = SlotValueFor(static_cast<int>(k));
            QFile file(PresetDir() + "/" + name + ".txt");
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(PresetFileBytes(PresetText(values)));
        }
        QFile broken(PresetDir() + "/Broken.txt");
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write("not a preset\r\n");
    }

    // ---- the windows, as the player reaches them -----------------------------

    TformFXsettings* Window() {
        TformFXsettings* w = formFXsettings.built();
        return w && w->isVisible() ? w : nullptr;
    }
    bool Connected() { return DeviceConnected && PedalLink::Instance().IsOpen(); }
    bool Unplugged() { return driver->AttachedCount() == 0; }

    void Press(QPushButton* button, Step& step) {
        step.what += " " + button->text().toStdString();
        if (Usable(button))
            QTest::mouseClick(button, Qt::LeftButton);
        else
            step.what += " (disabled)";
    }
    // The question box the command asks, answered Yes mostly.
    void AnswerNextQuestion(Step& step) {
        const bool no = Chance(20);
        dialogs->answers.push_back(no ? platform::Answer::No : platform::Answer::Yes);
        step.what += no ? " [No]" : " [Yes]";
    }
    void MaybeFailNextWrite(Step& step) {
        if (!Chance(12)) return;
        driver->FailNext("Write", ftd::FT_FAILED_TO_WRITE_DEVICE);
        step.what += " [write fails]";
    }

    void MouseOnDial(QuendleDial* dial, QEvent::Type type, int angle, Qt::MouseButtons buttons) {
        const double rad = qDegreesToRadians(static_cast<double>(angle));
        const QPointF at = dial->KnobCentre() + QPointF(std::cos(rad), -std::sin(rad)) * 20;
        QMouseEvent event(type, at, dial->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(dial, &event);
    }

    void TurnKnob(Step& step) {
        TformFXsettings* w = Window();
        const bool input = Chance(50);
        QuendleDial* dial = input ? w->dialInputLevel : w->dialClipWave;
        step.what = std::string("turn ") + (input ? "Input Level" : "Wave Clip");
        switch (Pick(3)) {
            case 0: {
                const Qt::Key keys[] = {Qt::Key_Left,     Qt::Key_Right, Qt::Key_PageUp,
                                        Qt::Key_PageDown, Qt::Key_Home,  Qt::Key_End};
                const Qt::Key key = keys[Pick(6)];
                step.what += " key " + std::to_string(key);
                step.singleEdit = true;
                MaybeFailNextWrite(step);
                QTest::keyClick(dial, key);
                break;
            }
            case 1: {
                const int from = 60 - Pick(120);
                const int to = from + 40 - Pick(80);
                step.what += " drag " + std::to_string(from) + ">" + std::to_string(to);
                MaybeFailNextWrite(step);
                MouseOnDial(dial, QEvent::MouseButtonPress, from, Qt::LeftButton);
                MouseOnDial(dial, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
                MouseOnDial(dial, QEvent::MouseMove, to, Qt::LeftButton);
                MouseOnDial(dial, QEvent::MouseButtonRelease, to, Qt::NoButton);
                break;
            }
            default: {
                const int typed = Pick(101);
                step.what += " typed " + std::to_string(typed);
                step.singleEdit = true;
                MaybeFailNextWrite(step);
                QTest::mouseDClick(dial, Qt::LeftButton, Qt::NoModifier,
                                   dial->KnobCentre().toPoint());
                if (QLineEdit* field = dial->ValueEditor()) {
                    field->setText(QString::number(typed));
                    QTest::keyClick(field, Qt::Key_Return);
                }
                if (QLineEdit* field = dial->ValueEditor()) QTest::keyClick(field, Qt::Key_Escape);
            }
        }
    }

    void FlipSwitch(Step& step) {
        TformFXsettings* w = Window();
        QCheckBox* box = Chance(50) ? w->chkDominantNoteCut : w->chkHighNoteCut;
        step.what = "flip " + box->text().toStdString();
        step.singleEdit = true;
        MaybeFailNextWrite(step);
        if (Usable(box)) ClickOption(box);
    }

    void PickPitch(Step& step) {
        QComboBox* list = Window()->cmbVariableWavePitch;
        const int index = Pick(25);
        step.what = "pitch " + std::to_string(index);
        step.singleEdit = true;
        MaybeFailNextWrite(step);
        if (Usable(list)) list->setCurrentIndex(index);
    }

    // Assignment lists, tuning list and footswitch buttons: the choice stays
    // in the editor until its button sends it.
    void ChooseSetting(Step& step) {
        step.valuesStay = true;
        step.what = ::ChooseSetting(*Window(), run_);
    }

    void LoadPresetFromList(Step& step) {
        QListWidget* list = Window()->lstPresets;
        step.what = "preset from list";
        if (!Usable(list) || list->count() == 0) return;
        const int row = Pick(list->count());
        step.what += " " + list->item(row)->text().toStdString();
        MaybeFailNextWrite(step);
        list->setFocus();
        list->setCurrentRow(row);
        QTest::keyClick(list, Qt::Key_Return);
    }

    // A backup of what the editor shows, or a restore of the last one (which
    // reads the pedal back at its end).
    void BackUpOrRestore(Step& step) {
        const QString path = documents.filePath("VORKEL/Quendle MK3/backup.json");
        if (!QFile::exists(path) || Chance(40)) {
            step.what = "Back Up Pedal";
            step.pictureStays = step.valuesStay = true;
            if (!formMain->menuBackUpPedal->isEnabled()) return;
            dialogs->fileNames.push_back(path);
            formMain->menuBackUpPedal->trigger();
            return;
        }
        step.what = "Restore Pedal";
        if (!formMain->menuRestorePedal->isEnabled()) return;
        AnswerNextQuestion(step);
        MaybeFailNextWrite(step);
        dialogs->fileNames.push_back(path);
        formMain->menuRestorePedal->trigger();
    }

    void UndoOrRedo(Step& step) {
        const bool undo = Chance(60);
        QAction* action =
            undo ? EditHistory::Instance().UndoAction() : EditHistory::Instance().RedoAction();
        step.what = undo ? "undo" : "redo";
        if (!action->isEnabled()) return;
        step.what += " " + action->text().toStdString();
        MaybeFailNextWrite(step);
        action->trigger();
    }

    void Request(Step& step) {
        step.request = true;
        step.what = "Request";
        if (!Usable(formMain->btnRequest)) {
            step.what += " (disabled)";
            return;
        }
        sim::VirtualPedal& p = Pedal();
        bool slow = false;
        switch (Pick(12)) {
            case 0:
            case 1: {
                auto& f = p.NextReplyFault();
                f.splitAfter = {90, 190};
                f.splitGapMs = kPieceGapMs;
                step.what += " [pieces]";
                slow = true;
                break;
            }
            case 2:
                p.DelayNextReply(kTimeoutCapMs + 30);
                step.what += " [late]";
                slow = true;
                break;
            case 3:
                p.SwallowNextReply();
                step.what += " [silent]";
                slow = true;
                break;
            case 4:
                p.GarbageAfterNextReply({'7', '\r', '\n', 0x55});
                step.what += " [garbage tail]";
                break;
            case 5: {
                const auto cut = static_cast<std::size_t>(1 + Pick(250));
                p.TruncateNextReply(cut);
                step.what += " [truncated " + std::to_string(cut) + "]";
                slow = true;
                break;
            }
            case 6: {
                const auto line = static_cast<std::size_t>(Pick(81));
                p.FourDigitValueInNextReply(line);
                step.what += " [line " + std::to_string(line) + " not a value]";
                break;
            }
            case 7: {
                auto& f = p.NextReplyFault();
                f.splitAfter = {90, 190};
                f.splitGapMs = kPieceGapMs;
                during_.Arm(
                    40, [this] { driver->Unplug(0); }, "unplug");
                step.what += " [unplugged mid-wait]";
                return;
            }
            default:
                break;
        }
        if (!slow || !Chance(60)) return;
        // A click while the editor waits for the answer.
        TformFXsettings* w = formFXsettings.built();
        switch (Pick(4)) {
            case 0:
                if (!w) return;
                during_.Arm(
                    15,
                    [w, &step] {
                        step.movedDuringWait.insert(SlotWaveClip);
                        if (Usable(w->dialClipWave))
                            QTest::keyClick(w->dialClipWave, Qt::Key_PageUp);
                    },
                    "Wave Clip PageUp");
                break;
            case 1:
                if (!w) return;
                during_.Arm(
                    15,
                    [this, w, &step] {
                        step.movedDuringWait.insert(SlotHarmonicPitch);
                        if (Usable(w->cmbVariableWavePitch))
                            w->cmbVariableWavePitch->setCurrentIndex(Pick(25));
                    },
                    "pitch list");
                break;
            case 2: {
                QPushButton* b = Chance(50) ? formMain->btnSaveParameters : formMain->btnRequest;
                during_.Arm(
                    15, [b] { QTest::mouseClick(b, Qt::LeftButton); }, b->text().toStdString());
                break;
            }
            default:
                during_.Arm(
                    15, [] { formMain->menuDisconnect->trigger(); }, "Disconnect");
        }
    }

    void ConnectThroughTheMenu(Step& step) {
        step.what += " Scan+Connect";
        step.pictureStays = true;
        formMain->menuScan->trigger();
        if (formMain->menuConnect->isEnabled()) formMain->menuConnect->trigger();
    }

    // One step of the run, chosen among what the player can reach now.
    Step RandomStep() {
        Step step;
        TformFXsettings* w = Window();
        // A player without a connection mostly makes one.
        if (!Connected() && Chance(40)) {
            step.pictureStays = true;
            if (Unplugged()) {
                // The editor may not have noticed yet: the player disconnects.
                step.what = "plug back in";
                if (formMain->menuDisconnect->isEnabled()) formMain->menuDisconnect->trigger();
                driver->PlugIn(0);
            } else {
                step.what = "Connect";
            }
            if (formMain->menuConnect->isEnabled()) ConnectThroughTheMenu(step);
            return step;
        }
        const int roll = Pick(100);
        if (roll < 12) {
            Request(step);
            QTest::mouseClick(formMain->btnRequest, Qt::LeftButton);
        } else if (roll < 34 && w) {
            TurnKnob(step);
        } else if (roll < 40 && w) {
            FlipSwitch(step);
        } else if (roll < 45 && w) {
            PickPitch(step);
        } else if (roll < 55 && w) {
            ChooseSetting(step);
        } else if (roll < 65) {
            QPushButton* const buttons[] = {formMain->btnSaveParameters, formMain->btnAssign,
                                            formMain->btnSetFootswitchMode, formMain->btnSetTuning};
            QPushButton* b = buttons[Pick(4)];
            step.what = "button";
            // Assign may take the tuning into CTRL III's function; the others
            // change nothing in the editor.
            step.valuesStay = b != formMain->btnAssign;
            step.pictureStays = step.valuesStay;
            if (b != formMain->btnSetFootswitchMode && Usable(b)) AnswerNextQuestion(step);
            MaybeFailNextWrite(step);
            Press(b, step);
        } else if (roll < 71 && w) {
            LoadPresetFromList(step);
        } else if (roll < 77 && w) {
            UndoOrRedo(step);
        } else if (roll < 79) {
            BackUpOrRestore(step);
        } else if (roll < 85) {
            step.pictureStays = true;
            if (w && Chance(40)) {
                step.what = "close the settings window";
                w->close();
            } else {
                step.what = "open the settings window";
                ClickAlgorithm(0);
            }
        } else if (roll < 88) {
            step.what = "Disconnect";
            step.pictureStays = true;
            if (formMain->menuDisconnect->isEnabled()) formMain->menuDisconnect->trigger();
        } else if (roll < 91) {
            step.what = "unplug";
            step.pictureStays = true;
            driver->Unplug(0);
        } else {
            Request(step);
            QTest::mouseClick(formMain->btnRequest, Qt::LeftButton);
        }
        return step;
    }

    // ---- the checks ------------------------------------------------------------

    void Violation(const std::string& what) { run_.Fail(stepNumber_, what); }

    void ExpectValuesAsPedal(const std::set<int>& which, const char* when) {
        for (int s : which)
            if (Model().Value(s) != Pedal().SlotValue(static_cast<std::size_t>(s)))
                Violation(std::string(when) + ": slot " + std::to_string(s) + " shows " +
                          Hex(Model().Value(s)) + ", the pedal has " +
                          Hex(Pedal().SlotValue(static_cast<std::size_t>(s))));
    }

    // The settings window's controls show the model.
    void ExpectWindowShowsModel() {
        TformFXsettings* w = formFXsettings.built();
        if (!w) return;
        const PedalModel& m = Model();
        const std::tuple<QuendleDial*, int, KnobScale> dials[] = {
            {w->dialDry, SlotDry, LevelKnob},
            {w->dialSubMix, SlotSubMix, LevelKnob},
            {w->dialMinus1Oct, SlotMinus1Oct, LevelKnob},
            {w->dialMinus2Oct, SlotMinus2Oct, LevelKnob},
            {w->dialLowPass, SlotLowPass, LowPassKnob},
            {w->dialHighPass, SlotHighPass, HighPassKnob},
            {w->dial1stHarmonic, Slot1stHarmonic, LevelKnob},
            {w->dialRange, SlotRange, RangeKnob},
            {w->dialInputLevel, SlotInputLevel, LevelKnob},
            {w->dialClipWave, SlotWaveClip, LevelKnob}};
        for (const auto& [dial, slot, scale] : dials) {
            const std::uint32_t v = m.Value(slot);
            // Either angle where two meet at the top of the arc shows the value.
            const bool exact = PedalModel::DialScale(slot) == 0x800000 &&
                               SnapDialAngle(dial->angle()) == dial->angle() &&
                               DialAngleToValue(dial->angle()) == v;
            if (!exact && dial->angle() != PedalModel::DialAngleFor(slot, v))
                Violation(dial->objectName().toStdString() + " stands at " +
                          std::to_string(dial->angle()) + " for the value " + Hex(v));
            if (dial->valueText() != KnobValueText(v, scale))
                Violation(dial->objectName().toStdString() + " reads " +
                          dial->valueText().toStdString() + " for the value " + Hex(v));
        }
        for (const auto& [sw, slot] :
             {std::pair{w->swtWave, int{SlotWave}}, std::pair{w->swtSplit, int{SlotSplit}}}) {
            const int key = PedalModel::DisplayKey(slot, m.Value(slot));
            if (key >= 0 && sw->isOn() != (key == 1))
                Violation(sw->objectName().toStdString() + " does not show " + Hex(m.Value(slot)));
        }
        const int pitch = PedalModel::DisplayKey(SlotHarmonicPitch, m.Value(SlotHarmonicPitch));
        if (pitch >= 0 && w->cmbVariableWavePitch->currentIndex() != pitch)
            Violation("the pitch list shows entry " +
                      std::to_string(w->cmbVariableWavePitch->currentIndex()) + ", the model " +
                      std::to_string(pitch));
        for (const auto& [box, slot] : {std::pair{w->chkDominantNoteCut, int{SlotDominantNoteCut}},
                                        std::pair{w->chkHighNoteCut, int{SlotHighNotesCut}}})
            if (box->isChecked() != (m.Value(slot) == 1))
                Violation(box->objectName().toStdString() + " does not show " + Hex(m.Value(slot)));
        for (int c = 0; c < AssignableControlCount; ++c)
            if (w->AssignmentList(c)->currentIndex() != m.AssignmentEntry(c))
                Violation("assignment list " + std::to_string(c) + " shows " +
                          std::to_string(w->AssignmentList(c)->currentIndex()) + ", the model " +
                          std::to_string(m.AssignmentEntry(c)));
        if (w->cmbGuitarTuning->currentIndex() != m.Tuning())
            Violation("the tuning list does not show the model's tuning");
        const int code = m.FootswitchCode();
        if (w->chkChangePresetShortPress->isChecked() != (code / 2 == 1) ||
            w->chkBypassShortPress->isChecked() != (code / 2 == 0) ||
            w->chkBypassLongPress->isChecked() != (code % 2 == 1) ||
            w->chkChangePresetLongPress->isChecked() != (code % 2 == 0))
            Violation("the footswitch buttons do not show code " + std::to_string(code));
    }

    void Check(const Step& step, const Picture& before, bool wasConnected, std::size_t sentBefore,
               int messagesBefore) {
        const Picture now = Picture::OfModel();
        const auto& sent = Pedal().Messages();
        const QStringList boxes = dialogs->messages.mid(messagesBefore);
        const bool writeFailed = boxes.contains(kWriteFailed);
        const bool connected = Connected();

        // What went to the pedal in this step.
        bool stored = false, assigned = false, footswitch = false, tuning = false, asked = false;
        for (std::size_t i = sentBefore; i < sent.size(); ++i) {
            const sim::Bytes& m = sent[i];
            switch (m.front()) {
                case 0x01: {
                    const std::uint16_t address = static_cast<std::uint16_t>(m[1] * 256 + m[2]);
                    bool owned = false;
                    for (int s = 0; s < ParameterSlotCount; ++s)
                        if (Pedal().SlotAddress(static_cast<std::size_t>(s)) == address) {
                            owned = true;
                            tracked_.insert(s);
                        }
                    // Only a parameter's own address is written: anything
                    // else changes something in the pedal no control shows.
                    if (!owned) Violation("a parameter write went to address " + Hex(address));
                    break;
                }
                case 0x02:
                    asked = true;
                    break;
                case 0x03:
                    stored = true;
                    for (int s = SlotInputLevel; s < ParameterSlotCount; ++s) tracked_.insert(s);
                    break;
                case 0x04:
                    assigned = true;
                    break;
                case 0x08:
                    footswitch = true;
                    break;
                case 0x09:
                    tuning = true;
                    break;
                default:
                    break;
            }
        }

        // Values the user moved while the answer was on its way are theirs.
        auto exceptMoved = [&](std::vector<std::uint32_t> values) {
            for (int s : step.movedDuringWait)
                values[static_cast<std::size_t>(s)] = now.values[static_cast<std::size_t>(s)];
            return values;
        };

        if (step.request) {
            bool whole = asked && connected;
            for (const QString& box : boxes)
                if (box.startsWith(QStringLiteral("The pedal"))) whole = false;
            if (whole) {
                std::set<int> all;
                for (int s = 0; s < ParameterSlotCount; ++s) all.insert(s);
                ExpectValuesAsPedal(all, "after a whole Request");
                if (now.footswitch != Pedal().FootswitchMode())
                    Violation("after a whole Request the footswitch code is " +
                              std::to_string(now.footswitch) + ", the pedal's " +
                              std::to_string(Pedal().FootswitchMode()));
                if (now.tuning != Pedal().Tuning())
                    Violation("after a whole Request the tuning differs from the pedal's");
                if (AssignmentBytesFor(now.entries) != Pedal().Assignments())
                    Violation("after a whole Request the assignments differ from the pedal's");
                tracked_ = all;
            } else {
                if (exceptMoved(before.values) != now.values ||
                    (step.movedDuringWait.empty() && !before.SettingsEqual(now)))
                    Violation("a Request without a whole answer changed the picture");
            }
        }
        // Without a pedal to take them, the window's controls are off: no
        // value can change that the pedal would then not have.
        if (!wasConnected && before.values != now.values)
            Violation("a value changed while no pedal was connected");
        if (step.valuesStay && before.values != now.values)
            Violation("the step changed a value it must leave alone");
        if (step.pictureStays && !before.SettingsEqual(now))
            Violation("the step changed the footswitch, an assignment or the tuning");
        if (step.singleEdit && writeFailed && before.values != now.values)
            Violation("an edit whose write failed was kept");

        // What a button sent is what the pedal now keeps.
        if (stored)
            ExpectValuesAsPedal({SlotInputLevel, SlotHarmonicPitch, SlotWaveClip,
                                 SlotDominantNoteCut, SlotHighNotesCut},
                                "after Save Parameters");
        if (assigned && AssignmentBytesFor(now.entries) != Pedal().Assignments())
            Violation("the pedal's assignments differ from the window's after Assign");
        if (assigned && now.entries[CtrlIII] != 0 && now.tuning != NoTuning)
            tracked_.erase(now.entries[CtrlIII] == 1 ? SlotDominantNoteCut : SlotHighNotesCut);
        if (footswitch && Pedal().FootswitchMode() != now.footswitch)
            Violation("the pedal's footswitch code differs from the window's after sending it");
        if (tuning && Pedal().Tuning() != now.tuning)
            Violation("the pedal's tuning differs from the window's after sending it");

        // Nothing the player sees differs from what the pedal plays.
        if (connected && !PedalLink::Instance().IsBusy())
            ExpectValuesAsPedal(tracked_, "connected and idle");
        ExpectWindowShowsModel();
    }

    void Run() {
        run_.Start(GetParam());
        AddPedal();
        GivePedalRandomSettings();
        WritePresets();
        StartEditor();
        // A new connection starts with nothing known to match the pedal.
        QObject::connect(&PedalLink::Instance(), &PedalLink::opened, formMain,
                         [this] { tracked_.clear(); });
        for (stepNumber_ = 1; stepNumber_ <= kStepsPerRun && !run_.Failed(); ++stepNumber_) {
            const Picture before = Picture::OfModel();
            const bool wasConnected = Connected();
            const std::size_t sentBefore = Pedal().Messages().size();
            const int messagesBefore = static_cast<int>(dialogs->messages.size());
            during_.Begin();

            Step step = RandomStep();

            // Nothing armed for this step reaches a later one. (A reply fault
            // whose Request never went out stays for the pedal's next reply.)
            during_.Stop();
            driver->ForgetFailures();
            dialogs->answers.clear();
            dialogs->fileNames.clear();
            if (during_.Ran()) step.what += " {meanwhile: " + during_.What() + "}";
            run_.Took(stepNumber_, step.what, dialogs->messages.mid(messagesBefore),
                      NewConsoleLines());
            Check(step, before, wasConnected, sentBefore, messagesBefore);
        }
    }

    RandomRun run_;
    ClickDuringWait during_;
    // The slots written or read since the latest Connect.
    std::set<int> tracked_;
    int stepNumber_ = 0;
};

TEST_P(PictureStaysTrue, ThroughARandomRunOfPlayerStepsAndPedalFaults) {
    Run();
}

INSTANTIATE_TEST_SUITE_P(Seeds, PictureStaysTrue, ::testing::Values(1u, 42u, 1234u, 90210u),
                         [](const auto& info) { return "Seed" + std::to_string(info.param); });

}  // namespace
