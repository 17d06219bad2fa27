// Seeded random runs of player steps through the real windows over the real
// serial path: the editor's serial-port backend on the pseudo-terminal of
// quendle-pedal-sim, with the "hardware" misbehaving in between. The bridge
// hands answers over whole or in pieces (byte by byte, 3 bytes 10 ms apart,
// 8 and 64 bytes 30 ms apart), the pedal stays silent, cuts an answer short
// or sends its rest after the editor gave up on it, the pedal program
// is killed while the editor is idle or waits for an answer (an unplug: the
// terminal hangs up) and is started again on the same path (plugged back
// in; the editor's --port names a link the program points at its terminal),
// and the player Disconnects in the middle of a wait. The player's steps:
// Scan and Connect, Request, the two knobs by keys and typed values, the
// tracking boxes, the pitch, assignment and tuning lists and footswitch
// buttons, Save Parameters, Assign, Set Footswitch Mode, Set Tuning, Upload
// Selected (question boxes answered Yes, now and then No), the settings
// window opened and closed, Disconnect.
//
// After every step the checks judge what actually happened, never how long
// it took: whether the answer was whole (no box about it, connected after it),
// whether a write went out (the bytes the driver accepted, logged below),
// whether the pedal program was alive. They are:
// - every step ends (a watchdog names the step should one hang); a Request
//   to a silent pedal ends with "The pedal did not answer.";
// - a Request with a whole answer makes the model what the pedal reports
//   (values, footswitch, assignments, tuning, firmware version); one without
//   changes nothing: nothing of one answer is read as another's;
// - connected and idle, every value written or read since the latest
//   Connect is the pedal's (asked of the pedal program itself once it has
//   read every byte the editor wrote to it);
// - Save Parameters, Assign, Set Footswitch Mode and Set Tuning leave the
//   pedal holding what the window shows;
// - no value changes while no pedal is connected, and an edit whose write
//   found the pedal unplugged is not kept;
// - an unplug is reported at most once, a Request to an unplugged pedal
//   reports it, and then the windows show no connection; Connect to a
//   running pedal works, also after it was plugged back in.
//
// What the editor knowingly does not track, and so is not checked:
// - After a Connect the windows keep the last picture until the next
//   Request (the pedal program was started afresh, or it is another pedal):
//   the live check covers only values written or read since the Connect.
// - Footswitch behaviour, assignments and tuning chosen in the window go to
//   the pedal only with their buttons.
// - Assigning a tracking function to CTRL III makes the pedal take the
//   tuning as its value, which the virtual pedal does not model: that value
//   leaves the live check until it is next written or read.
// - The debug console's raw write goes around the model by design; these
//   runs do not use it.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "app/TformMain.h"
#include "device/Connection.h"
#include "device/PedalLink.h"
#include "device/SerialPortDriver.h"
#include "effects/ControlAssignments.h"
#include "effects/PedalModel.h"
#include "effects/QuendleDial.h"
#include "effects/TformFXsettings.h"
#include "tests/link/PedalSimFixture.h"
#include "tests/support/RandomRun.h"

namespace {

constexpr int kStepsPerRun = 60;
// Caps the editor's waits for an answer and for a pedal to fall quiet: a
// silent pedal costs this much, not seconds. Far above the 30 ms between
// pieces; should a busy machine still exceed it, the answer is judged as not
// whole, which the checks accept. The rest of an answer the editor gave up
// on comes 50 ms after the time-out: late, yet well inside the time the
// editor then lets the pedal fall quiet (the time-out again), which is all
// it promises to wait out.
constexpr int kTimeoutCapMs = 400;

const QString kDisconnected = QStringLiteral("The pedal was disconnected");

// The serial-port backend, with a log of what it handed to the system.
class LoggingDriver : public ftd::FtDriver {
public:
    explicit LoggingDriver(const QString& path) : inner_(QStringList{path}) {}

    // Bytes accepted since the pedal program last started, and the writes.
    std::uint64_t written = 0;
    std::vector<QByteArray> writes;

    ftd::FT_STATUS ListDeviceCount(std::uint32_t& c) override { return inner_.ListDeviceCount(c); }
    ftd::FT_STATUS ListSerialNumber(std::uint32_t i, char (&b)[ftd::FT_LIST_TEXT_SIZE]) override {
        return inner_.ListSerialNumber(i, b);
    }
    ftd::FT_STATUS ListDescription(std::uint32_t i, char (&b)[ftd::FT_LIST_TEXT_SIZE]) override {
        return inner_.ListDescription(i, b);
    }
    ftd::FT_STATUS OpenBySerialNumber(const char* s, ftd::FT_HANDLE& h) override {
        return inner_.OpenBySerialNumber(s, h);
    }
    ftd::FT_STATUS Close(ftd::FT_HANDLE h) override { return inner_.Close(h); }
    ftd::FT_STATUS Read(ftd::FT_HANDLE h, void* b, std::uint32_t n, std::uint32_t& r) override {
        return inner_.Read(h, b, n, r);
    }
    ftd::FT_STATUS Write(ftd::FT_HANDLE h, const void* b, std::uint32_t n,
                         std::uint32_t& w) override {
        const ftd::FT_STATUS status = inner_.Write(h, b, n, w);
        if (status == ftd::FT_OK) {
            written += w;
            writes.emplace_back(static_cast<const char*>(b), static_cast<int>(w));
        }
        return status;
    }
    ftd::FT_STATUS Purge(ftd::FT_HANDLE h, std::uint32_t m) override { return inner_.Purge(h, m); }
    ftd::FT_STATUS GetQueueStatus(ftd::FT_HANDLE h, std::uint32_t& r) override {
        return inner_.GetQueueStatus(h, r);
    }
    ftd::FT_STATUS SetBaudRate(ftd::FT_HANDLE h, std::uint32_t b) override {
        return inner_.SetBaudRate(h, b);
    }
    ftd::FT_STATUS SetDataCharacteristics(ftd::FT_HANDLE h, std::uint8_t w, std::uint8_t s,
                                          std::uint8_t p) override {
        return inner_.SetDataCharacteristics(h, w, s, p);
    }
    void WaitForData(ftd::FT_HANDLE h, int ms) override { inner_.WaitForData(h, ms); }
    int WatchForData(ftd::FT_HANDLE h, std::function<void()> wake) override {
        return inner_.WatchForData(h, std::move(wake));
    }
    void StopWatching(ftd::FT_HANDLE h) override { inner_.StopWatching(h); }

private:
    SerialPortDriver inner_;
};

// What the pedal program reports of itself.
struct PedalState {
    std::uint64_t received = 0;
    int footswitch = 0;
    int tuning = 0;
    QByteArray assignments;  // 15 bytes
    std::vector<std::uint32_t> values;
};

std::optional<PedalState> ParseState(const QString& line) {
    const QStringList w = line.split(' ', Qt::SkipEmptyParts);
    if (w.size() != 10 + 15 || w[0] != "state" || w[1] != "received" || w[3] != "footswitch" ||
        w[5] != "tuning" || w[7] != "assignments" || w[9] != "values")
        return std::nullopt;
    PedalState s;
    s.received = w[2].toULongLong();
    s.footswitch = w[4].toInt();
    s.tuning = w[6].toInt();
    s.assignments = QByteArray::fromHex(w[8].toLatin1());
    for (int i = 10; i < w.size(); ++i) s.values.push_back(w[i].toUInt(nullptr, 16));
    return s;
}

std::string Hex(std::uint32_t v) {
    std::ostringstream os;
    os << std::hex << v;
    return os.str();
}

// Names the step that never ended and ends the run: a hang is a failure
// with its seed, not a stuck suite.
class Watchdog {
public:
    Watchdog() : thread_([this] { Watch(); }) {}
    ~Watchdog() {
        stop_ = true;
        thread_.join();
    }
    void Step(const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex_);
        what_ = what;
        since_ = std::chrono::steady_clock::now();
    }

private:
    void Watch() {
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::lock_guard<std::mutex> lock(mutex_);
            if (std::chrono::steady_clock::now() - since_ > std::chrono::seconds(60)) {
                std::fprintf(stderr, "HANG: %s did not end within a minute\n", what_.c_str());
                std::abort();
            }
        }
    }
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::string what_ = "start";
    std::chrono::steady_clock::time_point since_ = std::chrono::steady_clock::now();
    std::thread thread_;
};

struct Step {
    std::string what;
    bool request = false;          // a Request was clicked while it was usable
    bool unpluggedDuring = false;  // the pedal program was killed during the step
    bool connectTried = false;     // Connect clicked with the pedal program running
    bool disconnectClicked = false;
    bool silent = false;  // the pedal did not answer this step's Request
    std::set<int> movedDuringWait;
};

class PtyRandomRun : public PedalSimFixture, public ::testing::WithParamInterface<unsigned> {
protected:
    void SetUp() override {
        PedalSimFixture::SetUp();
        PedalLink::TimeoutCapMs() = kTimeoutCapMs;
    }
    void TearDown() override {
        PedalLink::TimeoutCapMs() = 0;
        PedalSimFixture::TearDown();
    }

    int Pick(int n) { return run_.Pick(n); }
    bool Chance(int percent) { return run_.Chance(percent); }

    // ---- the pedal program -------------------------------------------------

    bool PedalRunning() { return pedalSim.state() == QProcess::Running; }

    // Plugs the pedal in: the program on a new terminal, the link at the
    // editor's --port path pointing at it.
    bool PlugIn() {
        const QString path =
            LaunchPedalSim({"--link", link_, "--commands", "--firmware-version", "12"});
        if (log_) log_->written = 0;
        return !path.isEmpty();
    }
    void Unplug() {
        pedalSim.kill();
        pedalSim.waitForFinished(5000);
        // The editor's link is gone with it, whether or not it noticed yet.
        unreported_ = unreported_ || PedalLink::Instance().IsOpen();
    }

    // One command to the pedal program, its answer line.
    QString Command(const QByteArray& line) {
        if (!PedalRunning()) return {};
        pedalSim.write(line + '\n');
        pedalSim.waitForBytesWritten(5000);
        while (!pedalSim.canReadLine())
            if (!pedalSim.waitForReadyRead(5000)) return {};
        return QString::fromLatin1(pedalSim.readLine()).trimmed();
    }
    void Set(const QByteArray& line) {
        const QString answer = Command(line);
        if (PedalRunning() && answer != "ok")
            Violation("the pedal program answered \"" + answer.toStdString() + "\" to " +
                      line.toStdString());
    }

    // What the pedal holds once it has read every byte the editor wrote to
    // it. Only its reading is waited for (the terminal passes bytes on in
    // its own time), never a given number of milliseconds.
    std::optional<PedalState> AskPedal() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        std::optional<PedalState> s;
        while (std::chrono::steady_clock::now() < until) {
            s = ParseState(Command("state"));
            if (!s) {
                Violation("the pedal program gave no state");
                return std::nullopt;
            }
            if (s->received == log_->written) return s;
            if (s->received > log_->written) {
                Violation("the pedal read " + std::to_string(s->received) +
                          " bytes, the editor wrote " + std::to_string(log_->written));
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        Violation("the pedal read only " + std::to_string(s->received) + " of the " +
                  std::to_string(log_->written) + " bytes the editor wrote to it");
        return std::nullopt;
    }

    // What CTRL I ... the remote footswitch carry for these list entries, as
    // the pedal keeps them.
    QByteArray AssignmentBytesFor(const std::array<int, AssignableControlCount>& entries) {
        const int ctrl12[] = {-1, SlotInputLevel, SlotHarmonicPitch, SlotWaveClip};
        const int ctrl34[] = {-1, SlotDominantNoteCut, SlotHighNotesCut};
        QByteArray bytes(15, '\0');
        for (int c = 0; c < AssignableControlCount; ++c) {
            const int e = entries[static_cast<std::size_t>(c)];
            std::uint16_t code = 0xFFFF;
            if (e != 0) {
                if (c <= CtrlII)
                    code = *addresses_.SlotAddress(static_cast<std::size_t>(ctrl12[e]));
                else if (c <= CtrlIV)
                    code = *addresses_.SlotAddress(static_cast<std::size_t>(ctrl34[e]));
                else
                    code = e == 1 ? RemoteBypassCode : RemotePresetCode;
            }
            bytes[c] = e != 0 ? 1 : 0;
            bytes[5 + 2 * c] = static_cast<char>(code >> 8);
            bytes[6 + 2 * c] = static_cast<char>(code & 0xFF);
        }
        return bytes;
    }

    // ---- the windows, as the player reaches them ---------------------------

    TformFXsettings* Window() {
        TformFXsettings* w = formFXsettings.built();
        return w && w->isVisible() ? w : nullptr;
    }
    bool Connected() { return DeviceConnected && PedalLink::Instance().IsOpen(); }

    void OpenSettingsWindow() {
        QListWidget* list = formMain->lstEffects;
        QListWidgetItem* item = list->item(0);
        if (!item) return;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualItemRect(item).center());
    }

    // Somewhere in the pause before the answer is read (the pedal has the
    // request and answers anyway) or while it comes in pieces.
    int MidWaitMs() { return 20 + Pick(500); }

    void Request(Step& step) {
        step.what = "Request";
        if (!Usable(formMain->btnRequest)) {
            step.what += " (disabled)";
            return;
        }
        step.request = true;
        switch (Pick(9)) {
            case 0:
                Set("silent on");
                silentForStep_ = step.silent = true;
                step.what += " [silent]";
                break;
            case 1: {
                const int cut = 1 + Pick(250);
                Set("cut " + QByteArray::number(cut));
                step.what += " [cut after " + std::to_string(cut) + "]";
                break;
            }
            case 2:
                during_.Arm(
                    MidWaitMs(), [this] { Unplug(); }, "unplug");
                step.what += " [unplug mid-wait]";
                break;
            case 3:
                during_.Arm(
                    MidWaitMs(), [] { formMain->menuDisconnect->trigger(); }, "Disconnect");
                step.what += " [Disconnect mid-wait]";
                break;
            case 5: {
                // The editor gives up after the first part; the rest comes
                // after that, but while it still lets the pedal fall quiet
                // before its next exchange (for the time-out again).
                const int first = 1 + Pick(150);
                Set("split " + QByteArray::number(first) + " " +
                    QByteArray::number(kTimeoutCapMs + 50));
                step.what += " [late: the rest after " + std::to_string(first) + " bytes]";
                break;
            }
            case 4:
                if (TformFXsettings* w = Window()) {
                    during_.Arm(
                        MidWaitMs(),
                        [w, &step] {
                            step.movedDuringWait.insert(SlotWaveClip);
                            if (Usable(w->dialClipWave))
                                QTest::keyClick(w->dialClipWave, Qt::Key_PageUp);
                        },
                        "Wave Clip PageUp");
                    step.what += " [knob mid-wait]";
                }
                break;
            default:
                break;
        }
        QTest::mouseClick(formMain->btnRequest, Qt::LeftButton);
    }

    void TurnKnob(Step& step) {
        TformFXsettings* w = Window();
        const bool input = Chance(50);
        QuendleDial* dial = input ? w->dialInputLevel : w->dialClipWave;
        step.what = std::string("turn ") + (input ? "Input Level" : "Wave Clip");
        if (!Usable(dial)) {
            step.what += " (disabled)";
            return;
        }
        if (Chance(60)) {
            const Qt::Key keys[] = {Qt::Key_Left,     Qt::Key_Right, Qt::Key_PageUp,
                                    Qt::Key_PageDown, Qt::Key_Home,  Qt::Key_End};
            const Qt::Key key = keys[Pick(6)];
            step.what += " key " + std::to_string(key);
            QTest::keyClick(dial, key);
        } else {
            const int typed = Pick(101);
            step.what += " typed " + std::to_string(typed);
            QTest::mouseDClick(dial, Qt::LeftButton, Qt::NoModifier, dial->KnobCentre().toPoint());
            if (QLineEdit* field = dial->ValueEditor()) {
                field->setText(QString::number(typed));
                QTest::keyClick(field, Qt::Key_Return);
            }
            if (QLineEdit* field = dial->ValueEditor()) QTest::keyClick(field, Qt::Key_Escape);
        }
    }

    void FlipOrPick(Step& step) {
        TformFXsettings* w = Window();
        if (Chance(50)) {
            QCheckBox* box = Chance(50) ? w->chkDominantNoteCut : w->chkHighNoteCut;
            step.what = "flip " + box->text().toStdString();
            if (Usable(box)) ClickOption(box);
        } else {
            const int index = Pick(25);
            step.what = "pitch " + std::to_string(index);
            if (Usable(w->cmbVariableWavePitch)) w->cmbVariableWavePitch->setCurrentIndex(index);
        }
    }

    void ChooseSetting(Step& step) { step.what = ::ChooseSetting(*Window(), run_); }

    void Press(QPushButton* button, Step& step) {
        step.what = "press " + button->text().toStdString();
        if (!Usable(button)) {
            step.what += " (disabled)";
            return;
        }
        const bool no = Chance(15);
        dialogs->answers.push_back(no ? platform::Answer::No : platform::Answer::Yes);
        dialogs->answers.push_back(platform::Answer::Yes);  // the stand-in image's question
        if (no) step.what += " [No]";
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void ChangeDelivery(Step& step) {
        // Whole; byte by byte, each as soon as the one before was read; in
        // pieces of 3, 8 and 64 bytes 10 to 30 ms apart.
        static const char* const modes[] = {"pieces 0 0", "pieces 1 0", "pieces 3 10",
                                            "pieces 8 30", "pieces 64 30"};
        const char* mode = modes[Pick(5)];
        step.what = std::string("the bridge: ") + mode;
        Set(mode);
    }

    void Connect(Step& step) {
        step.what += " Scan+Connect";
        step.connectTried = PedalRunning();
        formMain->menuScan->trigger();
        if (formMain->menuConnect->isEnabled()) formMain->menuConnect->trigger();
    }

    Step RandomStep() {
        Step step;
        TformFXsettings* w = Window();
        if (!Connected() && Chance(45)) {
            if (!PedalRunning()) {
                step.what = "plug back in";
                if (!PlugIn()) Violation("the pedal program did not start");
            } else {
                step.what = "Connect";
            }
            if (formMain->menuConnect->isEnabled()) Connect(step);
            return step;
        }
        // The player mostly works in the settings window.
        if (!w && Chance(25)) {
            step.what = "open the settings window";
            OpenSettingsWindow();
            return step;
        }
        const int roll = Pick(100);
        if (roll < 22) {
            Request(step);
        } else if (roll < 42 && w) {
            TurnKnob(step);
        } else if (roll < 50 && w) {
            FlipOrPick(step);
        } else if (roll < 58 && w) {
            ChooseSetting(step);
        } else if (roll < 70) {
            QPushButton* const buttons[] = {formMain->btnSaveParameters, formMain->btnAssign,
                                            formMain->btnSetFootswitchMode, formMain->btnSetTuning};
            Press(buttons[Pick(4)], step);
        } else if (roll < 73) {
            if (Chance(30))
                during_.Arm(
                    MidWaitMs() + 400, [this] { Unplug(); }, "unplug");
            Press(formMain->btnUpload, step);
        } else if (roll < 78) {
            if (w && Chance(40)) {
                step.what = "close the settings window";
                w->close();
            } else {
                step.what = "open the settings window";
                OpenSettingsWindow();
            }
        } else if (roll < 83) {
            step.what = "Disconnect";
            step.disconnectClicked = formMain->menuDisconnect->isEnabled();
            if (step.disconnectClicked) formMain->menuDisconnect->trigger();
        } else if (roll < 88) {
            step.what = "unplug";
            if (PedalRunning()) Unplug();
        } else if (roll < 94) {
            ChangeDelivery(step);
        } else {
            Request(step);
        }
        return step;
    }

    // ---- the checks --------------------------------------------------------

    void Violation(const std::string& what) { run_.Fail(stepNumber_, what); }

    std::vector<std::uint32_t> ModelValues() {
        std::vector<std::uint32_t> v;
        for (int s = 0; s < ParameterSlotCount; ++s) v.push_back(Model().Value(s));
        return v;
    }
    std::array<int, AssignableControlCount> ModelEntries() {
        std::array<int, AssignableControlCount> e{};
        for (int c = 0; c < AssignableControlCount; ++c) e[c] = Model().AssignmentEntry(c);
        return e;
    }

    void ExpectValues(const PedalState& pedal, const std::set<int>& which, const char* when) {
        for (int s : which)
            if (Model().Value(s) != pedal.values[static_cast<std::size_t>(s)])
                Violation(std::string(when) + ": slot " + std::to_string(s) + " shows " +
                          Hex(Model().Value(s)) + ", the pedal has " +
                          Hex(pedal.values[static_cast<std::size_t>(s)]));
    }

    void Check(const Step& step, const std::vector<std::uint32_t>& before,
               const std::array<int, AssignableControlCount>& entriesBefore, bool wasConnected,
               std::size_t writesBefore, int messagesBefore) {
        const QStringList boxes = dialogs->messages.mid(messagesBefore);
        const bool connected = Connected();
        const std::vector<std::uint32_t> now = ModelValues();

        // What went out in this step, message by message (the write after a
        // pre-upload message is the image).
        bool asked = false, stored = false, assigned = false, footswitch = false, tuning = false;
        for (std::size_t i = writesBefore; i < log_->writes.size(); ++i) {
            const QByteArray& m = log_->writes[i];
            if (i > 0 && log_->writes[i - 1].startsWith(QByteArray("\x0D\x00", 2))) continue;
            switch (static_cast<std::uint8_t>(m.front())) {
                case 0x01: {
                    const auto address = static_cast<std::uint16_t>(
                        static_cast<std::uint8_t>(m[1]) * 256 + static_cast<std::uint8_t>(m[2]));
                    for (int s = 0; s < ParameterSlotCount; ++s)
                        if (addresses_.SlotAddress(static_cast<std::size_t>(s)) == address)
                            tracked_.insert(s);
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

        // Values the player moved while the answer was on its way are theirs.
        std::vector<std::uint32_t> expected = before;
        for (int s : step.movedDuringWait)
            expected[static_cast<std::size_t>(s)] = now[static_cast<std::size_t>(s)];

        // The unplug: said at most once, and then no connection is shown.
        const int reports =
            static_cast<int>(std::count_if(boxes.begin(), boxes.end(), [](const QString& b) {
                return b.startsWith(kDisconnected);
            }));
        if (reports > 1) Violation("the unplug was reported " + std::to_string(reports) + " times");
        if (reports > 0 && !unreported_) Violation("an unplug was reported that did not happen");
        if (reports > 0) {
            unreported_ = false;
            if (DeviceConnected || PedalLink::Instance().IsOpen() ||
                formMain->btnRequest->isEnabled() || !formMain->menuConnect->isEnabled() ||
                formMain->lblDeviceName->text().contains("connected"))
                Violation("after the unplug was reported the windows still show a connection");
        }
        const bool disconnected =
            step.disconnectClicked || (during_.Ran() && during_.What() == "Disconnect");
        if (unreported_ && !PedalLink::Instance().IsOpen()) {
            if (!disconnected) Violation("the unplug closed the link without saying so");
            unreported_ = false;
        }
        if (step.request && unreportedBefore_ && !step.unpluggedDuring && reports != 1)
            Violation("a Request to an unplugged pedal did not report it");
        if (during_.Ran() && during_.What() == "unplug" && reports != 1)
            Violation("an unplug while the editor waited was not reported once");
        // A knob, box or list whose write found the pedal gone keeps what
        // the pedal still has.
        if (reports > 0 && !step.request && expected != now)
            Violation("an edit whose write found the pedal unplugged was kept");
        if (step.silent && !during_.Ran() && connected &&
            boxes != QStringList{QStringLiteral("The pedal did not answer.")})
            Violation("a Request to a silent pedal ended with " + boxes.join('|').toStdString());
        if (step.connectTried && !connected)
            Violation("Connect to a running pedal failed: " + boxes.join('|').toStdString());

        std::optional<PedalState> pedal;
        const bool idle = connected && !PedalLink::Instance().IsBusy();
        // Not while the editor still holds the terminal of a pedal program
        // killed before: it has not noticed, and this pedal is not its own.
        if (idle && PedalRunning() && !unreported_) pedal = AskPedal();
        if (run_.Failed()) return;

        if (step.request) {
            bool whole = asked && connected;
            for (const QString& box : boxes)
                if (box.startsWith(QStringLiteral("The pedal"))) whole = false;
            if (whole && pedal) {
                std::set<int> all;
                for (int s = 0; s < ParameterSlotCount; ++s) all.insert(s);
                ExpectValues(*pedal, all, "after a whole Request");
                if (Model().FootswitchCode() != pedal->footswitch)
                    Violation("after a whole Request the footswitch code differs from the pedal's");
                if (Model().Tuning() != pedal->tuning)
                    Violation("after a whole Request the tuning differs from the pedal's");
                if (AssignmentBytesFor(ModelEntries()) != pedal->assignments)
                    Violation("after a whole Request the assignments differ from the pedal's");
                if (formMain->lblFirmwareVersion->text() != "Firmware Version: 0C")
                    Violation("after a whole Request the firmware version reads " +
                              formMain->lblFirmwareVersion->text().toStdString());
                tracked_ = all;
            } else if (!whole) {
                if (expected != now ||
                    (step.movedDuringWait.empty() && ModelEntries() != entriesBefore))
                    Violation("a Request without a whole answer changed the picture");
            }
        }
        if (!wasConnected && before != now)
            Violation("a value changed while no pedal was connected");
        if (!pedal) return;

        if (stored)
            ExpectValues(*pedal,
                         {SlotInputLevel, SlotHarmonicPitch, SlotWaveClip, SlotDominantNoteCut,
                          SlotHighNotesCut},
                         "after Save Parameters");
        if (assigned && AssignmentBytesFor(ModelEntries()) != pedal->assignments)
            Violation("the pedal's assignments differ from the window's after Assign");
        if (assigned && Model().AssignmentEntry(CtrlIII) != 0 && Model().Tuning() != NoTuning)
            tracked_.erase(Model().AssignmentEntry(CtrlIII) == 1 ? SlotDominantNoteCut
                                                                 : SlotHighNotesCut);
        if (footswitch && pedal->footswitch != Model().FootswitchCode())
            Violation("the pedal's footswitch code differs from the window's after sending it");
        if (tuning && pedal->tuning != Model().Tuning())
            Violation("the pedal's tuning differs from the window's after sending it");
        ExpectValues(*pedal, tracked_, "connected and idle");
    }

    void Run() {
        run_.Start(GetParam());
        ASSERT_TRUE(folder_.isValid());
        link_ = folder_.filePath("pedal");
        ASSERT_TRUE(PlugIn());
        auto driverLog = std::make_unique<LoggingDriver>(link_);
        log_ = driverLog.get();
        driver = nullptr;  // the fixture's in-process pedal is not used here
        ftd::InstallDriver(std::move(driverLog));
        platform::InstallClock(std::make_unique<SleepingClock>());
        StartEditor();
        // A new connection starts with nothing known to match the pedal.
        QObject::connect(&PedalLink::Instance(), &PedalLink::opened, formMain,
                         [this] { tracked_.clear(); });

        Watchdog watchdog;
        for (stepNumber_ = 1; stepNumber_ <= kStepsPerRun && !run_.Failed(); ++stepNumber_) {
            const std::vector<std::uint32_t> before = ModelValues();
            const auto entriesBefore = ModelEntries();
            const bool wasConnected = Connected();
            const std::size_t writesBefore = log_->writes.size();
            const int messagesBefore = static_cast<int>(dialogs->messages.size());
            unreportedBefore_ = unreported_;
            const bool runningBefore = PedalRunning();
            during_.Begin();
            silentForStep_ = false;
            watchdog.Step("seed " + std::to_string(GetParam()) + ", step " +
                          std::to_string(stepNumber_));

            Step step = RandomStep();

            during_.Stop();
            dialogs->answers.clear();
            if (silentForStep_) Set("silent off");
            step.unpluggedDuring = runningBefore && !PedalRunning();
            if (during_.Ran()) step.what += " {meanwhile: " + during_.What() + "}";
            run_.Took(stepNumber_, step.what, dialogs->messages.mid(messagesBefore),
                      NewConsoleLines());
            Check(step, before, entriesBefore, wasConnected, writesBefore, messagesBefore);
        }
    }

    RandomRun run_;
    QTemporaryDir folder_;
    QString link_;
    LoggingDriver* log_ = nullptr;
    // Addresses of the built-in algorithm's parameters, as the pedal has them.
    sim::VirtualPedal addresses_;
    ClickDuringWait during_;
    bool silentForStep_ = false;
    // The pedal program was killed while the editor had it open, and the
    // editor has not said so yet.
    bool unreported_ = false;
    bool unreportedBefore_ = false;
    // The slots written or read since the latest Connect.
    std::set<int> tracked_;
    int stepNumber_ = 0;
};

TEST_P(PtyRandomRun, PictureStaysTrueOverTheSerialPath) {
    Run();
}

INSTANTIATE_TEST_SUITE_P(Seeds, PtyRandomRun, ::testing::Values(7u, 2024u, 31337u),
                         [](const auto& info) { return "Seed" + std::to_string(info.param); });

}  // namespace
