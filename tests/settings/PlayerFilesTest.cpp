// A player's own files and edits, through the real windows against the
// virtual pedal: presets saved, loaded and browsed, the whole pedal backed up
// and restored, and edits undone and redone.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include "device/Communication.h"
#include "effects/EditHistory.h"
#include "effects/KnobText.h"
#include "effects/PedalModel.h"
#include "library/PedalBackup.h"
#include "library/PresetFile.h"
#include "tests/settings/StoredSettingsSupport.h"
#include "tests/support/NamedPipe.h"

namespace {

constexpr std::uint16_t kInputLevelAddress = 0x000A;

sim::Bytes Write(std::uint16_t address, std::uint32_t value) {
    return {0x01,
            static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address),
            static_cast<std::uint8_t>(value >> 24),
            static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value)};
}

sim::Bytes WriteOf(int slot, std::uint32_t value) {
    return Write(ParameterAt(slot).address(), value);
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

// A file of `size` bytes that starts with `start` and takes no room on the disk.
void WriteSparseFile(const QString& path, const QByteArray& start, qint64 size) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(start);
    ASSERT_TRUE(file.resize(size));
}

class PlayerFiles : public StoredSettingsFixture {
protected:
    QString PresetDir() const { return documents.filePath("VORKEL/Quendle MK3/Preset"); }
    QString ProductDir() const { return documents.filePath("VORKEL/Quendle MK3"); }

    QStringList PresetListNames() {
        QStringList names;
        for (int row = 0; row < formFXsettings->lstPresets->count(); ++row)
            names << formFXsettings->lstPresets->item(row)->text();
        return names;
    }
    // Turns a knob as the player does: its handler runs and writes the value.
    void Turn(QuendleDial* dial, int angle) { dial->setAngle(angle); }
    void LoadThroughMenu(const QString& path) {
        ASSERT_TRUE(formMain->menuLoadPreset->isEnabled());
        dialogs->fileNames.push_back(path);
        formMain->menuLoadPreset->trigger();
    }
    void SaveThroughMenu(const QString& path) {
        ASSERT_TRUE(formMain->menuSavePreset->isEnabled());
        dialogs->fileNames.push_back(path);
        formMain->menuSavePreset->trigger();
    }
    // What the model holds, as a preset keeps it.
    PresetValues PresetOfModel() {
        PresetValues values{};
        for (std::size_t k = 0; k < values.size(); ++k)
            values[k] = Model().Value(static_cast<int>(k));
        return values;
    }
    // A preset file in the preset folder; the pedal's record and the message
    // boxes start afresh for what loading it does.
    void WritePreset(const QString& fileName, const PresetValues& values) {
        ASSERT_TRUE(QDir().mkpath(PresetDir()));
        WriteFile(PresetDir() + "/" + fileName, PresetFileBytes(PresetText(values)));
        Pedal().ClearMessages();
        dialogs->messages.clear();
    }
    void Restore(const QString& path) {
        ASSERT_TRUE(formMain->menuRestorePedal->isEnabled());
        dialogs->fileNames.push_back(path);
        formMain->menuRestorePedal->trigger();
    }
};

// ---------------------------------------------------------------------------
// Presets

TEST_F(PlayerFiles, APresetSavedAndLoadedAgainPutsBackItsValuesAndSendsOnlyTheChangedOnes) {
    // Before anything is read there is nothing to save, and nothing to load into.
    AddPedal();
    StartEditor();
    EXPECT_FALSE(formMain->menuSavePreset->isEnabled());
    EXPECT_FALSE(formMain->menuLoadPreset->isEnabled());
    ConnectThroughMenu();
    EXPECT_TRUE(formMain->menuLoadPreset->isEnabled());
    ClickAlgorithm(0);
    ClickRequest();
    EXPECT_TRUE(formMain->menuSavePreset->isEnabled());

    Turn(formFXsettings->dialDry, 45);
    formFXsettings->cmbVariableWavePitch->setCurrentIndex(5);
    const auto saved = ModelValues();
    SaveThroughMenu(PresetDir() + "/Fat.txt");
    ASSERT_EQ(dialogs->fileRequests.size(), 1u);
    // A name that no preset has yet is proposed.
    EXPECT_EQ(dialogs->fileRequests[0].options.proposedName, "Preset 1.txt");
    EXPECT_EQ(QFile(PresetDir() + "/Fat.txt").size(), 119);

    Turn(formFXsettings->dialDry, 120);
    Turn(formFXsettings->dialSubMix, 10);
    Pedal().ClearMessages();
    dialogs->messages.clear();
    LoadThroughMenu(PresetDir() + "/Fat.txt");

    EXPECT_EQ(dialogs->messages,
              QStringList{"File loaded successfully: " + PresetDir() + "/Fat.txt"});
    EXPECT_EQ(ModelValues(), saved);
    // Only the two knobs turned since the save are written, each once.
    EXPECT_EQ(Pedal().Messages(),
              (std::vector<sim::Bytes>{WriteOf(SlotDry, saved[SlotDry]),
                                       WriteOf(SlotSubMix, saved[SlotSubMix])}));
    EXPECT_EQ(Pedal().SlotValue(SlotDry), saved[SlotDry]);
    EXPECT_EQ(Pedal().SlotValue(SlotSubMix), saved[SlotSubMix]);
    EXPECT_EQ(formFXsettings->dialDry->angle(), 45);
    EXPECT_EQ(formFXsettings->cmbVariableWavePitch->currentIndex(), 5);

    // From the list: Return on the preset's name loads it the same way.
    Turn(formFXsettings->dialDry, 120);
    Pedal().ClearMessages();
    QListWidget* list = formFXsettings->lstPresets;
    ASSERT_EQ(PresetListNames(), QStringList{"Fat"});
    list->setFocus();
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(ModelValues(), saved);
    EXPECT_EQ(Pedal().Messages(), std::vector<sim::Bytes>{WriteOf(SlotDry, saved[SlotDry])});

    formMain->menuDisconnect->trigger();
    EXPECT_FALSE(formMain->menuLoadPreset->isEnabled());
    EXPECT_FALSE(formMain->menuRestorePedal->isEnabled());
    EXPECT_TRUE(formMain->menuSavePreset->isEnabled());
}

// The pedal stops taking the preset's values part way (unplugged, or the
// driver refuses a write): the model keeps only what the pedal was sent, and
// the load is not reported as done.
class PresetNotTaken : public PlayerFiles, public ::testing::WithParamInterface<ftd::FT_STATUS> {};

TEST_P(PresetNotTaken, LeavesThePictureAsThePedalHasItAndSaysSo) {
    StartReady();
    Turn(formFXsettings->dialDry, 45);
    Turn(formFXsettings->dialSubMix, 20);
    SaveThroughMenu(PresetDir() + "/Fat.txt");
    Turn(formFXsettings->dialDry, 120);
    Turn(formFXsettings->dialSubMix, 100);
    Turn(formFXsettings->dialMinus1Oct, 10);
    const auto before = ModelValues();
    dialogs->messages.clear();
    // Dry goes out, then the write of Sub Mix fails.
    QObject::connect(&Model(), &PedalModel::valueChanged, formMain,
                     [this, armed = true](int slot) mutable {
                         if (slot == SlotDry && armed) driver->FailNext("Write", GetParam());
                         armed = false;
                     });

    LoadThroughMenu(PresetDir() + "/Fat.txt");

    EXPECT_EQ(ModelValues(), PedalValues());
    EXPECT_NE(ModelValues()[SlotDry], before[SlotDry]);
    EXPECT_EQ(ModelValues()[SlotSubMix], before[SlotSubMix]);
    EXPECT_EQ(formFXsettings->dialSubMix->angle(), 100);
    ASSERT_FALSE(dialogs->messages.isEmpty());
    EXPECT_EQ(dialogs->messages.last(),
              "The preset \"Fat\" was not loaded completely: the pedal stopped taking its "
              "values. The settings window shows what it was sent.");
    // Undo takes back what was loaded, and no more.
    if (PedalLink::Instance().IsOpen()) {
        EditHistory::Instance().UndoAction()->trigger();
        EXPECT_EQ(ModelValues(), before);
        EXPECT_EQ(ModelValues(), PedalValues());
    }
}

INSTANTIATE_TEST_SUITE_P(Failures, PresetNotTaken,
                         ::testing::Values(ftd::FT_IO_ERROR, ftd::FT_FAILED_TO_WRITE_DEVICE),
                         [](const auto& info) {
                             return std::string(info.param == ftd::FT_IO_ERROR ? "Unplugged"
                                                                               : "WriteRefused");
                         });

TEST_F(PlayerFiles, APresetLeavesAParameterAControlButtonHoldsAndSaysSo) {
    StartReady();
    Pedal().SetAssignments(AssignmentBytes(
        {kInputLevelAddress, std::nullopt, std::nullopt, std::nullopt, std::nullopt}));
    ClickRequest();
    ASSERT_TRUE(paramInputLevel->is_assigned);
    const std::uint32_t held = Model().Value(SlotInputLevel);

    PresetValues values = PresetOfModel();
    values[SlotInputLevel] = held ^ 0x00100000;
    values[SlotDry] = Model().Value(SlotDry) ^ 0x00100000;
    WritePreset("p.txt", values);

    LoadThroughMenu(PresetDir() + "/p.txt");

    EXPECT_EQ(Model().Value(SlotInputLevel), held);
    EXPECT_EQ(Model().Value(SlotDry), values[SlotDry]);
    EXPECT_EQ(Pedal().Messages(), std::vector<sim::Bytes>{WriteOf(SlotDry, values[SlotDry])});
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_TRUE(
        dialogs->messages[0].endsWith("Not changed, as a control button holds them: Input Level"))
        << dialogs->messages[0].toStdString();
}

// Range has no address of its own: the pedal sets it, and a write to the
// placeholder address would change whatever the pedal keeps there.
TEST_F(PlayerFiles, NeitherAPresetNorARestoreWritesRange) {
    StartReady();
    Pedal().SetSlotValue(SlotRange, 7);
    ClickRequest();
    const QString backup = ProductDir() + "/range.json";
    dialogs->fileNames.push_back(backup);
    formMain->menuBackUpPedal->trigger();

    PresetValues values = PresetOfModel();
    values[SlotRange] = 15;
    values[SlotDry] = Model().Value(SlotDry) ^ 0x00100000;
    WritePreset("p.txt", values);

    LoadThroughMenu(PresetDir() + "/p.txt");

    EXPECT_EQ(Pedal().Messages(), std::vector<sim::Bytes>{WriteOf(SlotDry, values[SlotDry])});
    EXPECT_EQ(Model().Value(SlotRange), 7u);
    EXPECT_EQ(formFXsettings->dialRange->valueText(), KnobValueText(7, RangeKnob));
    EXPECT_EQ(dialogs->messages,
              QStringList{"File loaded successfully: " + PresetDir() +
                          "/p.txt\nNot changed, as the pedal sets them itself: Range"});

    // The pedal's Range moved on; a restore sends every other value and
    // says the pedal's Range is not the backup's.
    Pedal().SetSlotValue(SlotRange, 9);
    ClickRequest();
    Pedal().ClearMessages();
    dialogs->messages.clear();
    Restore(backup);
    for (const sim::Bytes& m : Pedal().Messages())
        if (m.front() == 0x01) {
            EXPECT_NE(m[1] * 256 + m[2], 0) << "a write to address 0";
        }
    EXPECT_EQ(Pedal().SlotValue(SlotDry), Model().Value(SlotDry));
    EXPECT_EQ(Model().Value(SlotRange), 9u);
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_TRUE(dialogs->messages[0].startsWith("The pedal does not hold the settings of"));
    EXPECT_TRUE(dialogs->messages[0].contains("Range")) << dialogs->messages[0].toStdString();
}

TEST_F(PlayerFiles, AFileThatIsNotAPresetChangesNothingAndSaysWhy) {
    StartReady();
    ASSERT_TRUE(QDir().mkpath(PresetDir()));
    PresetValues other{};
    other.fill(0x00400000);
    const QByteArray preset = PresetFileBytes(PresetText(other));
    std::optional<NamedPipe> pipe;
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
        const char* says;
    };
    const Case cases[] = {
        {"twelve.txt", [&](const QString& p) { WriteFile(p, preset.left(preset.size() - 9)); },
         "is not a preset"},
        {"picture.txt", [&](const QString& p) { WriteFile(p, QByteArray("\x89PNG\r\n\x1a\n", 8)); },
         "is not a preset"},
        {"huge.txt", [&](const QString& p) { WriteSparseFile(p, preset, kMaxPresetFileBytes + 1); },
         "64 KiB"},
        // Picked by mistake: the load must neither wait on it nor take it for a file.
        {"pipe.txt", [&](const QString& p) { pipe.emplace(p); }, "a named pipe, not a file"},
    };
    const auto values = ModelValues();
    const int steps = EditHistory::Instance().Stack().count();
    for (const Case& c : cases) {
        const QString path = PresetDir() + "/" + c.name;
        c.make(path);
        dialogs->messages.clear();
        LoadThroughMenu(path);
        ASSERT_EQ(dialogs->messages.size(), 1) << c.name;
        EXPECT_TRUE(dialogs->messages[0].contains(c.says)) << dialogs->messages[0].toStdString();
        EXPECT_EQ(ModelValues(), values) << c.name;
        EXPECT_TRUE(Pedal().Messages().empty()) << c.name;
        EXPECT_EQ(EditHistory::Instance().Stack().count(), steps) << c.name;
    }
    EXPECT_EQ(pipe->released(), 0) << "the load waited on the pipe";
}

TEST_F(PlayerFiles, ThePresetListFollowsFilesAddedRenamedAndRemoved) {
    ASSERT_TRUE(QDir().mkpath(PresetDir()));
    WriteFile(PresetDir() + "/Warm.txt", PresetFileBytes(PresetText({})));
    WriteFile(PresetDir() + "/notes.md", "not a preset");
    StartEditor();
    EXPECT_EQ(PresetListNames(), QStringList{"Warm"});
    EXPECT_EQ(formFXsettings->lstPresets->accessibleName(), "Presets");
    EXPECT_EQ(formFXsettings->lblPresets->buddy(), formFXsettings->lstPresets);

    WriteFile(PresetDir() + "/Preset 10.txt", PresetFileBytes(PresetText({})));
    WriteFile(PresetDir() + "/Preset 2.txt", PresetFileBytes(PresetText({})));
    QTRY_COMPARE(PresetListNames(), (QStringList{"Preset 2", "Preset 10", "Warm"}));
    ASSERT_TRUE(QFile::rename(PresetDir() + "/Warm.txt", PresetDir() + "/Bright.txt"));
    ASSERT_TRUE(QFile::remove(PresetDir() + "/Preset 10.txt"));
    QTRY_COMPARE(PresetListNames(), (QStringList{"Bright", "Preset 2"}));

    // Not connected: the list is for browsing; loading waits for the pedal.
    formFXsettings->lstPresets->setCurrentRow(0);
    QTest::keyClick(formFXsettings->lstPresets, Qt::Key_Return);
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_TRUE(dialogs->messages[0].startsWith("Connect to the pedal"));
}

// A preset copied from elsewhere may end in ".TXT": the list shows it, and
// loading it from the list must open that file, not a ".txt" that is not there.
TEST_F(PlayerFiles, APresetWhoseExtensionIsInCapitalsLoadsFromTheList) {
    StartReady();
    PresetValues values = PresetOfModel();
    values[SlotDry] ^= 0x00100000;
    WritePreset("Clean.TXT", values);
    formFXsettings->RefreshPresetList();
    ASSERT_EQ(PresetListNames(), QStringList{"Clean"});

    formFXsettings->lstPresets->setCurrentRow(0);
    QTest::keyClick(formFXsettings->lstPresets, Qt::Key_Return);

    EXPECT_EQ(dialogs->messages,
              QStringList{"File loaded successfully: " + PresetDir() + "/Clean.TXT"});
    EXPECT_EQ(Model().Value(SlotDry), values[SlotDry]);
    EXPECT_EQ(Pedal().Messages(), std::vector<sim::Bytes>{WriteOf(SlotDry, values[SlotDry])});
}

// ---------------------------------------------------------------------------
// Backup and restore

TEST_F(PlayerFiles, ABackupRestoredPutsThePedalBackAsItWasAndChecksIt) {
    sim::VirtualPedal& pedal = AddPedal();
    for (std::size_t slot = 0; slot < 15; ++slot)
        pedal.SetSlotValue(slot, 0x00300000 + static_cast<std::uint32_t>(slot) * 0x2000);
    pedal.SetSlotValue(SlotHarmonicPitch, PitchTable[3]);
    pedal.SetSlotValue(SlotDominantNoteCut, 1);
    pedal.SetSlotValue(SlotHighNotesCut, 0);
    pedal.SetFootswitchMode(2);
    pedal.SetTuning(1);
    pedal.SetAssignments(AssignmentBytes(
        {kInputLevelAddress, std::nullopt, std::nullopt, std::nullopt, RemoteBypassCode}));
    StartEditor();
    ConnectThroughMenu();
    ClickAlgorithm(0);
    EXPECT_FALSE(formMain->menuBackUpPedal->isEnabled());
    ClickRequest();
    const auto original = PedalValues();
    const auto assignments = pedal.Assignments();

    const QString path = ProductDir() + "/before.json";
    ASSERT_TRUE(formMain->menuBackUpPedal->isEnabled());
    dialogs->fileNames.push_back(path);
    formMain->menuBackUpPedal->trigger();
    EXPECT_EQ(QDir(dialogs->fileRequests.back().options.initialFolder), QDir(ProductDir()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(json["formatVersion"].toInt(), 1);
    EXPECT_EQ(json["algorithmVersion"].toString(), AlgorithmVersionText(pedal.AlgorithmVersion()));
    EXPECT_EQ(json["values"].toArray().size(), 15);

    // Another sound, other assignments, footswitch and tuning on the pedal.
    for (std::size_t slot = 0; slot < 15; ++slot)
        if (slot != SlotRange)
            pedal.SetSlotValue(slot, 0x00500000 + static_cast<std::uint32_t>(slot));
    pedal.SetSlotValue(SlotDominantNoteCut, 0);
    pedal.SetFootswitchMode(1);
    pedal.SetTuning(0);
    pedal.SetAssignments(AssignmentBytes({}));
    ClickRequest();
    ASSERT_NE(PedalValues(), original);
    dialogs->messages.clear();
    dialogs->questions.clear();
    const std::size_t stores = pedal.StoreCount();

    Restore(path);

    ASSERT_EQ(dialogs->questions.size(), 1);
    EXPECT_TRUE(dialogs->questions[0].startsWith("Restore the pedal from \"before.json\"?"));
    EXPECT_TRUE(dialogs->questions[0].contains("Control I: Not Assigned \u2192 Input Level"))
        << dialogs->questions[0].toStdString();
    EXPECT_TRUE(
        dialogs->questions[0].contains("Tuning: No Tuning Selected \u2192 Standard EADGBE"));
    EXPECT_EQ(PedalValues(), original);
    EXPECT_EQ(pedal.Assignments(), assignments);
    EXPECT_EQ(pedal.FootswitchMode(), 2);
    EXPECT_EQ(pedal.Tuning(), 1);
    EXPECT_EQ(pedal.StoreCount(), stores + 1);
    EXPECT_EQ(dialogs->messages,
              QStringList{"The pedal now holds the settings of \"before.json\"."});
    EXPECT_EQ(formFXsettings->cmbAssignCtrlUNO->currentText(), "Input Level");
}

TEST_F(PlayerFiles, ABackupThatIsForeignDamagedOrForAnotherAlgorithmSendsNothing) {
    StartReady();
    ASSERT_TRUE(QDir().mkpath(ProductDir()));
    const QString good = ProductDir() + "/good.json";
    dialogs->fileNames.push_back(good);
    formMain->menuBackUpPedal->trigger();
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray backup = file.readAll();
    const QString version = AlgorithmVersionText(Pedal().AlgorithmVersion());

    struct Case {
        const char* name;
        QByteArray bytes;
        const char* says;
    };
    const Case cases[] = {
        {"foreign.json", R"({"name": "my playlist", "tracks": [1, 2]})", "not a pedal backup"},
        {"text.json", "Dry 50, Sub 30", "not a JSON document"},
        {"cut.json", backup.left(backup.size() / 2), "not a JSON document"},
        {"values.json", QByteArray(backup).replace(R"("values": [)", R"("values": [ "12",)"),
         "\"values\" is missing or not valid"},
        {"newer.json", QByteArray(backup).replace(R"("formatVersion": 1)", R"("formatVersion": 2)"),
         "format version 2"},
        {"other.json", QByteArray(backup).replace(version.toLatin1(), "7E57"),
         "algorithm version 7E57"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(backup != c.bytes) << c.name;
        WriteFile(ProductDir() + "/" + c.name, c.bytes);
    }
    WriteSparseFile(ProductDir() + "/huge.json", backup, kMaxBackupFileBytes + 1);
    Pedal().ClearMessages();
    const auto values = ModelValues();

    auto refuse = [&](const QString& name, const QString& says) {
        dialogs->messages.clear();
        dialogs->questions.clear();
        Restore(ProductDir() + "/" + name);
        ASSERT_EQ(dialogs->messages.size(), 1) << name.toStdString();
        EXPECT_TRUE(dialogs->messages[0].contains(says)) << dialogs->messages[0].toStdString();
        EXPECT_TRUE(dialogs->messages[0].endsWith("Nothing was sent."))
            << dialogs->messages[0].toStdString();
        EXPECT_TRUE(dialogs->questions.isEmpty());
        EXPECT_TRUE(Pedal().Messages().empty()) << name.toStdString();
        EXPECT_EQ(ModelValues(), values);
    };
    for (const Case& c : cases) refuse(c.name, c.says);
    refuse("huge.json", "64 KiB");
}

TEST_F(PlayerFiles, ARestoreThePedalStopsTakingStoresNothingAndKeepsItsValuesTrue) {
    StartReady();
    Turn(formFXsettings->dialDry, 45);
    Turn(formFXsettings->dialSubMix, 20);
    const QString path = ProductDir() + "/b.json";
    dialogs->fileNames.push_back(path);
    formMain->menuBackUpPedal->trigger();
    Turn(formFXsettings->dialDry, 120);
    Turn(formFXsettings->dialSubMix, 100);
    dialogs->messages.clear();
    const std::size_t stores = Pedal().StoreCount();
    // The assignment, footswitch and tuning messages and Dry's live write go
    // out; the write of Sub Mix is refused.
    QObject::connect(&Model(), &PedalModel::valueChanged, formMain,
                     [this, armed = true](int slot) mutable {
                         if (slot == SlotDry && armed)
                             driver->FailNext("Write", ftd::FT_FAILED_TO_WRITE_DEVICE);
                         armed = false;
                     });

    Restore(path);

    EXPECT_EQ(dialogs->messages,
              (QStringList{"FT_Write - Failed to write...",
                           "The restore stopped: the pedal could not be sent its settings. Read "
                           "them back with Request to see what it holds."}));
    EXPECT_EQ(Pedal().StoreCount(), stores);
    EXPECT_EQ(ModelValues(), PedalValues());
}

// ---------------------------------------------------------------------------
// Undo and redo

TEST_F(PlayerFiles, UndoAndRedoPutValuesBackWithTheirWritesAndARequestClearsThem) {
    StartReady();
    const std::uint32_t dry = Model().Value(SlotDry);
    const std::uint32_t pitch = Model().Value(SlotHarmonicPitch);
    QAction* undo = EditHistory::Instance().UndoAction();
    QAction* redo = EditHistory::Instance().RedoAction();
    EXPECT_FALSE(undo->isEnabled());

    // A knob turned in three moves is one step.
    Turn(formFXsettings->dialDry, 30);
    Turn(formFXsettings->dialDry, 60);
    Turn(formFXsettings->dialDry, 90);
    const std::uint32_t turned = Model().Value(SlotDry);
    formFXsettings->cmbVariableWavePitch->setCurrentIndex(7);
    const std::uint32_t chosen = Model().Value(SlotHarmonicPitch);
    ASSERT_NE(turned, dry);
    ASSERT_NE(chosen, pitch);
    Pedal().ClearMessages();

    // Ctrl+Z in the settings window.
    formFXsettings->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(formFXsettings));
    QTest::keyClick(formFXsettings->dialDry, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Model().Value(SlotHarmonicPitch), pitch);
    QTest::keyClick(formFXsettings->dialDry, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Model().Value(SlotDry), dry);
    EXPECT_EQ(Pedal().Messages(),
              (std::vector<sim::Bytes>{WriteOf(SlotHarmonicPitch, pitch), WriteOf(SlotDry, dry)}));
    EXPECT_FALSE(undo->isEnabled());

    Pedal().ClearMessages();
    QTest::keyClick(formFXsettings->dialDry, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Pedal().Messages(), std::vector<sim::Bytes>{WriteOf(SlotDry, turned)});
    EXPECT_EQ(Pedal().SlotValue(SlotDry), turned);
    // The settings window's context menu holds the same commands.
    EXPECT_EQ(formFXsettings->contextMenuPolicy(), Qt::ActionsContextMenu);
    EXPECT_TRUE(formFXsettings->actions().contains(redo));
    redo->trigger();
    EXPECT_EQ(Pedal().SlotValue(SlotHarmonicPitch), chosen);

    // Reading the settings back replaces the picture the steps were made on.
    ClickRequest();
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_FALSE(redo->isEnabled());
}

// Taken back with no pedal to take it, a step would change the picture alone.
TEST_F(PlayerFiles, UndoAndRedoWaitForAPedalThatTakesSettings) {
    StartReady();
    const std::uint32_t pitch = Model().Value(SlotHarmonicPitch);
    formFXsettings->cmbVariableWavePitch->setCurrentIndex(7);
    const std::uint32_t chosen = Model().Value(SlotHarmonicPitch);
    ASSERT_NE(chosen, pitch);
    QAction* undo = EditHistory::Instance().UndoAction();
    ASSERT_TRUE(undo->isEnabled());

    formMain->menuDisconnect->trigger();
    EXPECT_FALSE(undo->isEnabled());
    undo->trigger();
    QTest::keyClick(formFXsettings, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Model().Value(SlotHarmonicPitch), chosen);
    EXPECT_EQ(formFXsettings->cmbVariableWavePitch->currentIndex(), 7);

    // Connected again, the step goes back to the pedal as well.
    ConnectThroughMenu();
    ASSERT_TRUE(undo->isEnabled());
    Pedal().ClearMessages();
    undo->trigger();
    EXPECT_EQ(Model().Value(SlotHarmonicPitch), pitch);
    EXPECT_EQ(Pedal().Messages(), std::vector<sim::Bytes>{WriteOf(SlotHarmonicPitch, pitch)});
    EXPECT_TRUE(EditHistory::Instance().RedoAction()->isEnabled());
}

TEST_F(PlayerFiles, ALoadedPresetIsUndoneInOneStep) {
    StartReady();
    const auto before = ModelValues();
    PresetValues values = PresetOfModel();
    values[SlotDry] ^= 0x00100000;
    values[SlotSubMix] ^= 0x00100000;
    WritePreset("two.txt", values);
    LoadThroughMenu(PresetDir() + "/two.txt");
    Pedal().ClearMessages();

    EXPECT_EQ(EditHistory::Instance().UndoAction()->text(), "&Undo Load Preset two");
    EditHistory::Instance().UndoAction()->trigger();
    EXPECT_EQ(ModelValues(), before);
    EXPECT_EQ(Pedal().Messages(), (std::vector<sim::Bytes>{WriteOf(SlotSubMix, before[SlotSubMix]),
                                                           WriteOf(SlotDry, before[SlotDry])}));
    EXPECT_FALSE(EditHistory::Instance().UndoAction()->isEnabled());
}

}  // namespace
