// The effect information window and the hidden Open FX button.

#include <QFile>
#include <QListWidget>
#include <QPushButton>

#include "device/Connection.h"
#include "library/Catalogue.h"
#include "library/tformFXInfo.h"
#include "tests/upload/UploadSupport.h"

namespace {

TEST_F(UploadFixture, InformationWindowShowsTheAlgorithmsPageFromALocalFile) {
    StartEditor();
    ClickAlgorithm(0);
    ASSERT_TRUE(formMain->btnGetFXInfo->isEnabled());

    formMain->btnGetFXInfo->click();

    ASSERT_TRUE(formFXInfo->isVisible());
    EXPECT_EQ(formFXInfo->windowTitle(), "Quendle MK3 0008");
    EXPECT_EQ(formFXInfo->size(), QSize(335, 480));
    EXPECT_EQ(formFXInfo->WebBrowser1->size(), QSize(319, 464));
    EXPECT_TRUE(formFXInfo->rect().contains(formFXInfo->WebBrowser1->geometry()));

    const QUrl address = formFXInfo->WebBrowser1->source();
    EXPECT_TRUE(address.toString().startsWith("file:///")) << address.toString().toStdString();
    QFile page(address.toLocalFile());
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_EQ(page.readAll(), platform::ReadResource("FXINFO_QUENDLE_MK3_0008.HTML"));
    EXPECT_TRUE(formFXInfo->WebBrowser1->toPlainText().contains("Octave down with pitch tracking"));

    // Asked again while it shows: it comes back with the same page.
    formMain->btnGetFXInfo->click();
    EXPECT_TRUE(formFXInfo->isVisible());
    EXPECT_EQ(formFXInfo->WebBrowser1->source(), address);
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(UploadFixture, AlgorithmWithoutAPageLeavesTheInformationWindowAsItWas) {
    StartEditor();
    SelectedAlgorithmName = QStringLiteral("Amber Fuzz + Cab Sim");
    formMain->btnGetFXInfo->setEnabled(true);

    formMain->btnGetFXInfo->click();

    EXPECT_EQ(dialogs->messages,
              QStringList{"There is no information about \"Amber Fuzz + Cab Sim\" in this editor"});
    EXPECT_FALSE(formFXInfo->isVisible());
    EXPECT_TRUE(formFXInfo->WebBrowser1->source().isEmpty());
}

TEST_F(UploadFixture, OpenEffectEndsOnTheMissingEffectList) {
    AddPedal();
    StartWithAlgorithm();

    formMain->btnOpenEffect->click();

    EXPECT_EQ(Pedal().Messages(), std::vector<sim::Bytes>{HexBytes("05 00")});
    EXPECT_EQ(Pedal().OpenEffectCount(), 1u);
    EXPECT_EQ(clock->sleepLog, std::vector<int>{100});
    EXPECT_EQ(dialogs->messages, QStringList{"Resource effect_list not found"});
    EXPECT_TRUE(formMain->btnOpenEffect->isEnabled());
    EXPECT_EQ(SelectedAlgorithmName, "Quendle MK3 0008");
    EXPECT_EQ(formMain->lstEffects->count(), 1);
}

struct EffectListCase {
    const char* name;
    const char* list;
    const char* running;
    bool inCatalogue;
};

std::ostream& operator<<(std::ostream& os, const EffectListCase& c) {
    return os << c.name;
}

class OpenEffect : public UploadFixture, public ::testing::WithParamInterface<EffectListCase> {};

TEST_P(OpenEffect, TakesTheRunningAlgorithmFromTheEffectList) {
    const EffectListCase& c = GetParam();
    platform::RegisterResource("EFFECT_LIST", c.list);
    AddPedal();
    StartWithAlgorithm();
    ClickRequest();  // the pedal reports effect number 01
    NewConsoleLines();

    formMain->btnOpenEffect->click();

    EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->messages.join('|').toStdString();
    EXPECT_EQ(SelectedAlgorithmName, c.running);
    EXPECT_TRUE(
        NewConsoleLines().contains(QStringLiteral("effetto ottenuto dalla lista: ") + c.running));
    EXPECT_TRUE(formMain->btnRequest->isEnabled());
    // The catalogue stays listed either way; its entry is selected when it is there.
    ASSERT_EQ(formMain->lstEffects->count(), 1);
    EXPECT_EQ(formMain->lstEffects->item(0)->text(), "Quendle MK3 0008");
    EXPECT_EQ(formMain->lstEffects->item(0)->isSelected(), c.inCatalogue);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, OpenEffect,
    ::testing::Values(
        EffectListCase{"EntryOfTheRunningEffect", "00:Amber Fuzz\r\n01:Quendle MK3 0008\r\n",
                       "Quendle MK3 0008", true},
        EffectListCase{"NotInTheCatalogue", "01:Amber Fuzz\r\n", "Amber Fuzz", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
