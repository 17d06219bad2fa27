#include "tests/support/RandomRun.h"

#include <gtest/gtest.h>
#include <QComboBox>
#include <QRadioButton>
#include <QTest>
#include <QWidget>
#include <sstream>

#include "device/PedalLink.h"
#include "effects/ControlAssignments.h"
#include "effects/TformFXsettings.h"

void RandomRun::Start(unsigned seed) {
    seed_ = seed;
    rng_.seed(seed);
    failed_ = false;
    recent_.clear();
    console_.clear();
}

int RandomRun::Pick(int n) {
    return std::uniform_int_distribution<int>(0, n - 1)(rng_);
}

bool RandomRun::Chance(int percent) {
    return Pick(100) < percent;
}

void RandomRun::Took(int number, const std::string& what, const QStringList& boxes,
                     QStringList console) {
    std::string line = std::to_string(number) + ": " + what;
    for (const QString& box : boxes) line += " <" + box.left(70).toStdString() + ">";
    recent_.push_back(std::move(line));
    if (recent_.size() > 15) recent_.pop_front();
    console_ = std::move(console);
}

void RandomRun::Fail(int number, const std::string& what) {
    std::ostringstream os;
    os << "seed " << seed_ << ", step " << number << ": " << what
       << "\nrecent steps (oldest first):";
    for (const std::string& s : recent_) os << "\n  " << s;
    os << "\nthe debug console during the last step:";
    for (const QString& line : console_.mid(std::max<qsizetype>(0, console_.size() - 60)))
        // An upload logs its whole image on one line: the start says enough.
        os << "\n  " << line.left(160).toStdString() << (line.size() > 160 ? "..." : "");
    ADD_FAILURE() << os.str();
    failed_ = true;
}

ClickDuringWait::ClickDuringWait() {
    timer_.setSingleShot(true);
}

void ClickDuringWait::Arm(int ms, std::function<void()> action, std::string what) {
    what_ = std::move(what);
    timer_.disconnect();
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this, action = std::move(action)] {
        if (!PedalLink::Instance().IsBusy()) return;
        ran_ = true;
        action();
    });
    timer_.start(ms);
}

bool Usable(QWidget* w) {
    return w->isEnabled() && w->isVisible();
}

void ClickOption(QAbstractButton* option) {
    QTest::mouseClick(option, Qt::LeftButton, Qt::NoModifier, QPoint(6, option->height() / 2));
}

std::string ChooseSetting(TformFXsettings& w, RandomRun& run) {
    switch (run.Pick(3)) {
        case 0: {
            const int control = run.Pick(AssignableControlCount);
            QComboBox* list = w.AssignmentList(control);
            const int entry = run.Pick(list->count());
            if (Usable(list)) list->setCurrentIndex(entry);
            return "assign list " + std::to_string(control) + " = " + std::to_string(entry);
        }
        case 1: {
            const int tuning = run.Pick(w.cmbGuitarTuning->count());
            if (Usable(w.cmbGuitarTuning)) w.cmbGuitarTuning->setCurrentIndex(tuning);
            return "tuning list = " + std::to_string(tuning);
        }
        default: {
            QRadioButton* const radios[] = {w.chkBypassShortPress, w.chkChangePresetShortPress,
                                            w.chkBypassLongPress, w.chkChangePresetLongPress};
            QRadioButton* r = radios[run.Pick(4)];
            if (Usable(r)) ClickOption(r);
            return "footswitch " + r->objectName().toStdString();
        }
    }
}
