#include <QAction>
#include <QCheckBox>
#include <algorithm>

#include "device/PedalLink.h"
#include "app/TformMain.h"
#include "device/D2XXUnit.h"
#include "effects/TformNoteTrackingFilter.h"
#include "tests/support/EditorFixture.h"

namespace {

class NoteCut : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        AddPedal("QM1");
        StartEditor();
        ASSERT_EQ(PedalLink::Instance().Open(QStringLiteral("QM1")), ftd::FT_OK);
        NewConsoleLines();
    }
    QCheckBox* Box(const char* name) {
        auto* box = formNoteTrackingFilter->findChild<QCheckBox*>(QLatin1String(name));
        EXPECT_NE(box, nullptr) << name;
        return box;
    }
    std::vector<QCheckBox*> AllBoxes() {
        std::vector<QCheckBox*> boxes;
        for (const char* name : {"chkA2", "chkAdiesis2", "chkB2", "chkC3", "chkCdiesis3", "chkD3",
                                 "chkDdiesis3", "chkE3"})
            boxes.push_back(Box(name));
        return boxes;
    }
};

struct SaveCase {
    const char* name;
    std::vector<const char*> clicks;
    const char* message;
};
void PrintTo(const SaveCase& c, std::ostream* os) {
    *os << c.name;
}

class NoteCutSave : public NoteCut, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(NoteCutSave, SendsTheLowerNoteFirst) {
    for (const char* box : GetParam().clicks) Box(box)->click();
    formNoteTrackingFilter->btnSave->click();
    EXPECT_EQ(Sent(), std::vector<sim::Bytes>{HexBytes(GetParam().message)});
    EXPECT_EQ(clock->sleepLog, std::vector<int>{100});
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Notes, NoteCutSave,
    ::testing::Values(SaveCase{"None", {}, "09 FF FF"}, SaveCase{"D3", {"chkD3"}, "09 05 FF"},
                      SaveCase{"E3ThenAsharp2", {"chkE3", "chkAdiesis2"}, "09 01 07"},
                      SaveCase{"Asharp2ThenE3", {"chkAdiesis2", "chkE3"}, "09 01 07"},
                      // A note chosen and dropped again counts no more.
                      SaveCase{"B2Unchecked", {"chkB2", "chkD3", "chkB2"}, "09 05 FF"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NoteCut, LogsBothCodesTheMessageAndItsLength) {
    Box("chkA2")->click();
    Box("chkC3")->click();
    formNoteTrackingFilter->btnSave->click();
    EXPECT_EQ(NewConsoleLines(),
              (QStringList{"byte 1: 00", "byte 2: 03", "Set note filters: 090003", "3"}));
    EXPECT_EQ(NoteCutByte1, "00");
    EXPECT_EQ(NoteCutByte2, "03");
    // The transmit side is purged before the write.
    const auto& calls = driver->Calls();
    const auto purge = std::find(calls.rbegin(), calls.rend(), "Purge");
    const auto write = std::find(calls.rbegin(), calls.rend(), "Write");
    EXPECT_TRUE(purge != calls.rend() && write != calls.rend() && write < purge);
}

TEST_F(NoteCut, TwoNotesDisableTheOthersAndDroppingOneEnablesAllAgain) {
    const auto boxes = AllBoxes();
    for (QCheckBox* b : boxes) EXPECT_TRUE(b->isEnabled() && !b->isChecked());
    Box("chkB2")->click();
    Box("chkDdiesis3")->click();
    EXPECT_EQ(NoteCutCount, 2);
    for (QCheckBox* b : boxes) EXPECT_EQ(b->isEnabled(), b->isChecked()) << b->text().toStdString();

    // A disabled box cannot become a third note.
    Box("chkE3")->click();
    EXPECT_FALSE(Box("chkE3")->isChecked());
    EXPECT_EQ(NoteCutCount, 2);

    for (const char* dropped : {"chkB2", "chkDdiesis3"}) {
        Box(dropped)->click();
        EXPECT_EQ(NoteCutCount, 1);
        for (QCheckBox* b : boxes) EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();
        Box(dropped)->click();
        EXPECT_EQ(NoteCutCount, 2);
    }
}

TEST_F(NoteCut, SettingABoxFromTheProgramCountsLikeAClick) {
    Box("chkA2")->setChecked(true);
    Box("chkE3")->setChecked(true);
    EXPECT_EQ(NoteCutCount, 2);
    EXPECT_FALSE(Box("chkB2")->isEnabled());
}

TEST_F(NoteCut, SettingsMenuOpensTheWindowAndGetDoesNothing) {
    EXPECT_FALSE(formNoteTrackingFilter->isVisible());
    formMain->menuNoteCut->trigger();
    EXPECT_TRUE(formNoteTrackingFilter->isVisible());
    const auto before = driver->Calls().size();
    formNoteTrackingFilter->btnGet->click();
    EXPECT_EQ(driver->Calls().size(), before);
    EXPECT_TRUE(NewConsoleLines().isEmpty());
}

}  // namespace
