#include <QListWidget>
#include <QTest>

#include "app/TformMain.h"
#include "effects/TformFXsettings.h"
#include "library/Catalogue.h"
#include "platform/Errors.h"
#include "platform/Resources.h"
#include "tests/support/EditorFixture.h"
#include "tests/support/ProcessState.h"

namespace {

// These cases register resources and load their lines into ResourceLines.
using Catalogue = GuardedTest;

TEST_F(Catalogue, ResourceNameForReplacesInOrderAndByExactCase) {
    const std::pair<const char*, const char*> cases[] = {
        {"Quendle MK3 0008", "Quendle_MK3_0008"},
        {"Amber Fuzz + Cab Sim", "Amber_Fuzz_plus_Cab_Sim"},  // spaces first, then the sign
        {"A-B+C X", "A_BplusC_mult"},
        {"a x b", "a_x_b"},  // only the capital X
        {"XX--++", "multmult__plusplus"},
        {"", ""},
    };
    for (const auto& [display, resource] : cases)
        EXPECT_EQ(ResourceNameFor(QString::fromLatin1(display)), QLatin1String(resource))
            << display;
}

TEST_F(Catalogue, LoadResourceLinesSplitsAtEveryLineEnd) {
    const std::pair<QByteArray, QStringList> cases[] = {
        {"one\r\ntwo\rthree\nfour", {"one", "two", "three", "four"}},
        {"only line\r\n", {"only line"}},
        {"a\r\n\r\nb\n\n", {"a", "", "b", ""}},
        {"\xEF\xBB\xBFwith mark\r\n", {"with mark"}},
        {"", {}},
    };
    for (const auto& [bytes, lines] : cases) {
        platform::RegisterResource(QStringLiteral("LINES_FIXTURE"), bytes);
        LoadResourceLines(QStringLiteral("lines_fixture"));  // any letter case finds it
        EXPECT_EQ(ResourceLines, lines) << bytes.toStdString();
    }
}

TEST_F(Catalogue, MissingResourceThrowsAndKeepsTheLines) {
    platform::RegisterResource(QStringLiteral("KEPT"), "kept line\r\n");
    LoadResourceLines(QStringLiteral("KEPT"));
    for (const char* name : {"no_such_algorithm", ""}) {
        try {
            LoadResourceLines(QLatin1String(name));
            ADD_FAILURE() << "loaded '" << name << "'";
        } catch (const platform::ResourceNotFound& e) {
            EXPECT_EQ(e.message(),
                      QStringLiteral("Resource %1 not found").arg(QLatin1String(name)));
        }
        EXPECT_EQ(ResourceLines, QStringList({"kept line"}));
    }
}

TEST_F(EditorFixture, CatalogueFillsTheAlgorithmListAtStartWithNothingSelected) {
    StartEditor();
    QListWidget* list = formMain->lstEffects;
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Quendle MK3 0008"));
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_TRUE(SelectedAlgorithmName.isEmpty());
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

struct KeyCase {
    const char* name;
    int startRow;  // -1: nothing selected
    std::vector<Qt::Key> keys;
    int endRow;
    QStringList log;
};

class AlgorithmListKeys : public EditorFixture, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(AlgorithmListKeys, MoveOneItemPerPressAndLogIt) {
    const KeyCase& c = GetParam();
    platform::RegisterResource(QStringLiteral("OCTAVE"), "A1\r\nB2\r\nC3\r\nD4\r\nE5\r\n");
    StartEditor();
    QListWidget* list = formMain->lstEffects;
    ASSERT_EQ(list->count(), 5);
    list->setFocus();
    if (c.startRow >= 0) list->setCurrentRow(c.startRow);
    NewConsoleLines();
    const QString chosen = SelectedAlgorithmName;

    for (Qt::Key key : c.keys) QTest::keyClick(list, key);

    const QList<QListWidgetItem*> selected = list->selectedItems();
    EXPECT_EQ(selected.isEmpty() ? -1 : list->row(selected.first()), c.endRow);
    EXPECT_EQ(NewConsoleLines(), c.log);
    // Keys only move the selection: no algorithm is chosen, no window opens.
    EXPECT_EQ(SelectedAlgorithmName, chosen);
    EXPECT_FALSE(formFXsettings->isVisible());
}

const QString kUp = QStringLiteral("arrow up pressed");
const QString kDown = QStringLiteral("arrow down pressed");

INSTANTIATE_TEST_SUITE_P(
    Keys, AlgorithmListKeys,
    ::testing::Values(
        KeyCase{"ThreeDownsFromTheFirst",
                0,
                {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down},
                3,
                {kDown, kDown, kDown}},
        KeyCase{"DownWithNothingSelected", -1, {Qt::Key_Down}, 0, {kDown}},
        KeyCase{"UpWithNothingSelected", -1, {Qt::Key_Up}, -1, {kUp}},
        KeyCase{"UpOnTheFirst", 0, {Qt::Key_Up}, 0, {kUp}},
        KeyCase{"DownOnTheLast", 4, {Qt::Key_Down}, 4, {kDown}},
        KeyCase{"UpAndDown", 2, {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down}, 1, {kUp, kUp, kDown}},
        // Other keys are the list's own: End moves, nothing is logged.
        KeyCase{"OtherKeysAreTheLists", 0, {Qt::Key_End}, 4, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The keyboard leaves the algorithm chosen by the last click.
TEST_F(EditorFixture, KeysKeepTheAlgorithmChosenByTheLastClick) {
    platform::RegisterResource(QStringLiteral("OCTAVE"), "Quendle MK3 0008\r\nOther\r\n");
    StartEditor();
    QListWidget* list = formMain->lstEffects;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(list->item(0)).center());
    ASSERT_EQ(SelectedAlgorithmName, QStringLiteral("Quendle MK3 0008"));
    ASSERT_TRUE(formFXsettings->isVisible());
    const QString title = formFXsettings->windowTitle();
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(SelectedAlgorithmName, QStringLiteral("Quendle MK3 0008"));
    EXPECT_EQ(formFXsettings->windowTitle(), title);
}

}  // namespace
