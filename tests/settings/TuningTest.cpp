// The tuning list, Set Tuning and the two tracking check boxes.

#include <QCheckBox>
#include <QComboBox>

#include "tests/settings/StoredSettingsSupport.h"

namespace {

const QString kNotImplemented = QStringLiteral(
    "This tuning has not been implemented yet :( But feel free to get in touch to speed up!");
const QString kTuningFirst =
    QStringLiteral("Make sure you have uploaded a tuning before setting this parameter");

struct TuningCase {
    int index;
    bool notice;
    const char* message;
};

std::ostream& operator<<(std::ostream& os, const TuningCase& c) {
    return os << "Tuning" << c.index;
}

class SetTuning : public StoredSettingsFixture, public ::testing::WithParamInterface<TuningCase> {};

TEST_P(SetTuning, SendsTheChosenIndexEvenWhenNotImplemented) {
    const TuningCase& c = GetParam();
    StartReady();
    // From another entry, so that every case is a change of the list.
    formFXsettings->cmbGuitarTuning->setCurrentIndex(c.index == 1 ? 0 : 1);
    dialogs->messages.clear();

    formFXsettings->cmbGuitarTuning->setCurrentIndex(c.index);
    EXPECT_EQ(dialogs->messages, c.notice ? QStringList{kNotImplemented} : QStringList{});
    EXPECT_EQ(CurrentTuning, c.index);
    NewConsoleLines();

    Click(formMain->btnSetTuning);
    const QString hex = QString::fromLatin1(c.message).remove(' ');
    EXPECT_EQ(NewConsoleLines(), QStringList{"Tuning Message: " + hex});
    EXPECT_EQ(dialogs->questions, QStringList{"Set new tuning?"});
    EXPECT_EQ(Pedal().Messages(), std::vector<sim::Bytes>{HexBytes(c.message)});
    EXPECT_EQ(Pedal().Tuning(), c.index);
    EXPECT_EQ(clock->sleepLog, std::vector<int>{100});
}

INSTANTIATE_TEST_SUITE_P(
    Tunings, SetTuning,
    ::testing::Values(TuningCase{0, false, "09 00"}, TuningCase{1, false, "09 01"},
                      TuningCase{2, true, "09 02"}, TuningCase{3, true, "09 03"},
                      TuningCase{4, true, "09 04"}),
    [](const auto& info) { return "Tuning" + std::to_string(info.param.index); });

struct TrackingCase {
    const char* name;
    int tuning;
    const char* box;
    bool tickedAfter;
    const char* write;
    std::uint32_t value;
    QStringList messages;
};

std::ostream& operator<<(std::ostream& os, const TrackingCase& c) {
    return os << c.name;
}

class TrackingBox : public StoredSettingsFixture,
                    public ::testing::WithParamInterface<TrackingCase> {};

TEST_P(TrackingBox, TickingWritesTheFunctionOnlyWithATuning) {
    const TrackingCase& c = GetParam();
    StartReady();
    formFXsettings->cmbGuitarTuning->setCurrentIndex(c.tuning);
    dialogs->messages.clear();
    auto* box = formFXsettings->findChild<QCheckBox*>(QLatin1String(c.box));
    ASSERT_NE(box, nullptr);

    ClickOption(box);

    EXPECT_EQ(box->isChecked(), c.tickedAfter);
    EXPECT_EQ(dialogs->messages, c.messages);
    // One write, whatever the notice did to the box.
    EXPECT_EQ(Pedal().Messages(), std::vector<sim::Bytes>{HexBytes(c.write)});
    EXPECT_EQ(NewConsoleLines(),
              QStringList{"write to DSP msg: " + QString::fromLatin1(c.write).remove(' ')});
    const auto* parameter = QLatin1String(c.box) == QLatin1String("chkHighNoteCut")
                                ? paramHighNotesCut
                                : paramDominantNoteCut;
    EXPECT_EQ(parameter->value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, TrackingBox,
    ::testing::Values(
        TrackingCase{"HighNotesWithoutTuning",
                     0,
                     "chkHighNoteCut",
                     false,
                     "01 00 0C 00 00 00 00",
                     0,
                     {kTuningFirst}},
        TrackingCase{"DominantWithStandardTuning",
                     1,
                     "chkDominantNoteCut",
                     true,
                     "01 00 1B 00 00 00 01",
                     1,
                     {}},
        TrackingCase{
            "HighNotesWithDropD", 2, "chkHighNoteCut", true, "01 00 0C 00 00 00 01", 1, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
