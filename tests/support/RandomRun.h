#pragma once
// What the seeded random runs of player steps share: their choices, the steps
// they took, the report that lets a failing run be repeated, and the player's
// own moves in the settings window.

#include <QAbstractButton>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <random>
#include <string>

class QWidget;
class TformFXsettings;

class RandomRun {
public:
    // A run with this seed: the same seed takes the same steps.
    void Start(unsigned seed);
    // 0 to n - 1.
    int Pick(int n);
    bool Chance(int percent);

    // The step numbered `number` is over: what it did, the message boxes it
    // showed and the console lines it logged, kept for a report.
    void Took(int number, const std::string& what, const QStringList& boxes, QStringList console);
    // A check failed after step `number`: reported with the seed, the recent
    // steps and the console lines of the last one.
    void Fail(int number, const std::string& what);
    bool Failed() const { return failed_; }

private:
    std::mt19937 rng_;
    unsigned seed_ = 0;
    bool failed_ = false;
    std::deque<std::string> recent_;
    QStringList console_;
};

// A click on something else while the editor waits for the pedal: the waits
// run a nested event loop, so the click lands in the middle of an exchange.
class ClickDuringWait {
public:
    ClickDuringWait();
    // Runs action ms from now if an exchange is waiting then; a step that
    // never waited never runs it.
    void Arm(int ms, std::function<void()> action, std::string what);
    // Before a step: nothing has run during it yet.
    void Begin() { ran_ = false; }
    // After the step: nothing armed for it reaches a later one.
    void Stop() { timer_.stop(); }
    bool Ran() const { return ran_; }
    const std::string& What() const { return what_; }

private:
    QTimer timer_;
    bool ran_ = false;
    std::string what_;
};

// What the player can reach: enabled and on the screen.
bool Usable(QWidget* w);
// A check box or radio button reacts to clicks on its mark and caption, not
// on the empty rest of its row.
void ClickOption(QAbstractButton* option);
// Picks an assignment, the tuning or a footswitch behaviour in the settings
// window, as the player would (each stays in the editor until its button
// sends it); returns what was picked.
std::string ChooseSetting(TformFXsettings& window, RandomRun& run);
