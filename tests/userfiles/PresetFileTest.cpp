#include <sys/resource.h>
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <cerrno>
#include <csignal>

#include "app/TformMain.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "effects/ParameterModel.h"
#include "effects/QuendleDial.h"
#include "effects/TformFXsettings.h"
#include "library/PresetFile.h"
#include "platform/Console.h"
#include "platform/ErrorReport.h"
#include "platform/QtDialogs.h"
#include "tests/support/EditorFixture.h"

namespace {

const QByteArray kMark("\xEF\xBB\xBF");

// The thirteen saved parameters, in the order of their fields.
const char* const kSavedNames[] = {"Dry",      "Sub Mix",  "-1 Oct",      "-2 Oct",
                                   "Wave",     "Low Pass", "High Pass",   "1st Harmonic",
                                   "Split",    "Range",    "Input Level", "1st Harmonic Pitch",
                                   "Wave Clip"};

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void SetValue(const char* name, std::uint32_t value) {
    const auto parameter = FindParameter(QString::fromLatin1(name));
    ASSERT_TRUE(parameter) << name;
    parameter->setValue(value);
}

// Files of this process cannot grow past `bytes` while it lives: a full disk
// that even the superuser cannot write past.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{bytes, old_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

class Preset : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        StartEditor();
    }
    QString Folder() const { return documents.filePath("VORKEL/Quendle MK3/Preset"); }
    // Runs Save Preset with the file chosen, as the error report around a
    // handler would.
    void Save(const std::optional<QString>& path) {
        dialogs->fileNames.push_back(path);
        platform::Guard([] { formMain->menuSavePresetClick(); });
    }
};

TEST_F(Preset, SaveWritesExactly119BytesIntoTheNewPresetFolder) {
    const QString path = Folder() + "/zeros.txt";
    ASSERT_FALSE(QDir(Folder()).exists());
    Save(path);

    QByteArray expected = kMark + "00000000";
    for (int k = 1; k < 13; ++k) expected += "\r00000000";
    const QByteArray bytes = ReadFile(path);
    EXPECT_EQ(bytes.size(), 119);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(dialogs->messages, QStringList{"File saved successfully: " + path});

    ASSERT_EQ(dialogs->fileRequests.size(), 1u);
    const auto& request = dialogs->fileRequests[0];
    EXPECT_TRUE(request.save);
    EXPECT_EQ(request.options.title, "Save Preset File");
    EXPECT_EQ(request.options.filter, "Preset files (*.txt)|*.txt");
    EXPECT_EQ(request.options.defaultExtension, "txt");
    EXPECT_EQ(QDir(request.options.initialFolder), QDir(Folder()));
}

TEST_F(Preset, SaveWritesTheThirteenSlotsInOrderAndLeavesTheNoteCutsOut) {
    std::uint32_t value = 0x01000000;
    for (const char* name : kSavedNames) SetValue(name, value++);
    SetValue("Dry", 255);
    SetValue("Wave", 0x00400000);  // switched on
    SetValue("Wave Clip", 0xFFFFFFFF);
    SetValue("Dominant Note Cut", 0xDDDDDDDD);
    SetValue("High Notes Cut", 0xEEEEEEEE);
    ASSERT_TRUE(QDir().mkpath(Folder()));
    Save(Folder() + "/order.txt");

    const QByteArray bytes = ReadFile(Folder() + "/order.txt");
    ASSERT_TRUE(bytes.startsWith(kMark));
    EXPECT_EQ(bytes.size(), 119);
    EXPECT_EQ(QString::fromLatin1(bytes.mid(3)).split('\r'),
              (QStringList{"000000FF", "01000001", "01000002", "01000003", "00400000", "01000005",
                           "01000006", "01000007", "01000008", "01000009", "0100000A", "0100000B",
                           "FFFFFFFF"}));
}

TEST_F(Preset, SaveReplacesAnExistingFileWithoutAsking) {
    ASSERT_TRUE(QDir().mkpath(Folder()));
    const QString path = Folder() + "/old.txt";
    WriteFile(path, QByteArray(500, 'x'));
    SetValue("Split", 1);
    Save(path);
    EXPECT_TRUE(dialogs->questions.isEmpty());
    const QByteArray bytes = ReadFile(path);
    EXPECT_EQ(bytes.size(), 119);
    EXPECT_EQ(bytes.mid(3 + 8 * 9, 8), "00000001");
}

// The desktop's own save dialog: picking an existing preset replaces it with
// no question in between; the only box is the success message.
TEST_F(Preset, DesktopSaveDialogReplacesAnExistingFileWithoutAsking) {
    ASSERT_TRUE(QDir().mkpath(Folder()));
    const QString path = Folder() + "/old.txt";
    WriteFile(path, QByteArray(500, 'x'));
    platform::InstallDialogs(std::make_unique<platform::QtDialogs>());
    dialogs = nullptr;

    QStringList boxes;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        // Each answer is given after this turn, so that a box it opens finds
        // the timer free to see it.
        if (auto* chooser = qobject_cast<QFileDialog*>(modal)) {
            // Typed as a user would: the dialog lists its folder in the background.
            chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("old.txt");
            QTimer::singleShot(0, chooser, [chooser] { static_cast<QDialog*>(chooser)->accept(); });
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes << box->text();
            // A question, had there been one, is answered Yes.
            QAbstractButton* yes = box->button(QMessageBox::Yes);
            QAbstractButton* answer = yes ? yes : box->buttons().first();
            QTimer::singleShot(0, answer, [answer] { answer->click(); });
        }
    });
    user.start(10);
    // The menu item is disabled in the window; its handler runs as the item would.
    platform::Guard([] { formMain->menuSavePresetClick(); });
    user.stop();

    EXPECT_EQ(boxes, QStringList{"File saved successfully: " + path})
        << boxes.join(" | ").toStdString();
    EXPECT_EQ(ReadFile(path).size(), 119);
}

TEST_F(Preset, CancelledSaveWritesNothing) {
    Save(std::nullopt);
    EXPECT_TRUE(QDir(Folder()).exists());
    EXPECT_TRUE(QDir(Folder()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(Preset, FailedSaveKeepsTheOldFileWholeAndSaysWhy) {
    ASSERT_TRUE(QDir().mkpath(Folder()));
    const QString path = Folder() + "/keep.txt";
    const QByteArray old = kMark + PresetText(PresetValues{1, 2, 3}).toUtf8();
    WriteFile(path, old);
    {
        // The disk fills up after a few bytes of the new file.
        FileSizeLimit full(10);
        Save(path);
    }
    EXPECT_EQ(ReadFile(path), old);
    // The user learns the system's reason, not "Unknown error".
    EXPECT_EQ(dialogs->messages,
              QStringList{"Error saving file: Cannot write \"" + QDir::toNativeSeparators(path) +
                          "\": " + qt_error_string(EFBIG)});
    // No temporary file is left behind.
    EXPECT_EQ(QDir(Folder()).entryList(QDir::Files), QStringList{"keep.txt"});
}

// Places a preset cannot be saved to: the box names the file and the
// system's reason, and what was there stays.
TEST_F(Preset, SavingWhereNoFileCanBeWrittenNamesThePlaceAndLeavesItAsItWas) {
    const QString folder = Folder() + "/folder.txt";
    ASSERT_TRUE(QDir().mkpath(folder + "/inside"));
    const QString missing = Folder() + "/gone/preset.txt";
    const QByteArray system = ReadFile("/proc/version");
    ASSERT_FALSE(system.isEmpty());
    const struct {
        QString path;
        QString reason;
    } cases[] = {
        {folder, "Filename refers to a directory"},
        {missing, qt_error_string(ENOENT)},
        // A file system where nothing new can be made beside the file.
        {"/proc/version", qt_error_string(ENOENT)},
    };
    for (const auto& c : cases) {
        dialogs->messages.clear();
        Save(c.path);
        EXPECT_EQ(dialogs->messages,
                  QStringList{"Error saving file: Cannot write \"" +
                              QDir::toNativeSeparators(c.path) + "\": " + c.reason});
    }
    EXPECT_TRUE(QDir(folder + "/inside").exists());
    EXPECT_FALSE(QFileInfo::exists(Folder() + "/gone"));
    EXPECT_EQ(ReadFile("/proc/version"), system);
}

TEST_F(Preset, APresetFolderThatCannotBeCreatedEndsTheCommandBeforeTheDialog) {
    WriteFile(Folder(), "a file where the folder belongs");
    for (void (TformMain::*handler)() :
         {&TformMain::menuSavePresetClick, &TformMain::menuLoadPresetClick}) {
        dialogs->messages.clear();
        EXPECT_FALSE(platform::Guard([handler] { (formMain->*handler)(); }));
        EXPECT_TRUE(dialogs->fileRequests.empty());
        ASSERT_EQ(dialogs->messages.size(), 1);
        EXPECT_TRUE(dialogs->messages[0].contains("Preset")) << dialogs->messages[0].toStdString();
    }
}

std::vector<std::uint32_t> ParameterValues() {
    std::vector<std::uint32_t> values;
    for (int slot = 0; slot < ParameterSlotCount; ++slot)
        values.push_back(ParameterAt(slot).value());
    return values;
}

class PresetLoad : public Preset {
protected:
    void SetUp() override {
        Preset::SetUp();
        ASSERT_TRUE(QDir().mkpath(Folder()));
        // A line before the load, so that an empty line after it shows.
        ConsolePrint("before");
        NewConsoleLines();
    }
    // Loads the file through the File menu's handler; returns what it logged.
    QStringList Load(const std::optional<QString>& path) {
        dialogs->fileNames.push_back(path);
        formMain->menuLoadPresetClick();
        return NewConsoleLines();
    }
};

TEST_F(PresetLoad, ShowsTheFileLinesWhateverTheirLineEnds) {
    PresetValues values{};
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = 0x00100000u * k + k;
    const QString text = PresetText(values);
    const QString editorFile = Folder() + "/editor.txt";
    WriteFile(editorFile, PresetFileBytes(text));

    const QStringList shown = Load(editorFile);
    ASSERT_GE(shown.size(), 13);
    EXPECT_EQ(shown.mid(0, 13), text.split('\r'));
    // Its Range differs from the pedal's, which the pedal keeps.
    EXPECT_EQ(dialogs->messages,
              QStringList{"File loaded successfully: " + editorFile +
                          "\nNot changed, as the pedal sets them itself: Range"});
    ASSERT_EQ(dialogs->fileRequests.size(), 1u);
    EXPECT_FALSE(dialogs->fileRequests[0].save);
    EXPECT_EQ(dialogs->fileRequests[0].options.title, "Open Preset File");
    EXPECT_EQ(dialogs->fileRequests[0].options.filter, "Preset files (*.txt)|*.txt");
    EXPECT_EQ(dialogs->fileRequests[0].options.defaultExtension, "txt");
    EXPECT_EQ(QDir(dialogs->fileRequests[0].options.initialFolder), QDir(Folder()));

    const struct {
        const char* name;
        QByteArray bytes;
    } others[] = {
        {"lf.txt", text.toUtf8().replace('\r', '\n')},
        {"crlf-final-break.txt", kMark + text.toUtf8().replace("\r", "\r\n") + "\r\n"},
        {"lf-final-break.txt", text.toUtf8().replace('\r', '\n') + "\n"},
    };
    for (const auto& other : others) {
        WriteFile(Folder() + "/" + other.name, other.bytes);
        EXPECT_EQ(Load(Folder() + "/" + other.name), shown) << other.name;
    }
}

TEST_F(PresetLoad, CancelLogsOneEmptyLineAndShowsNothing) {
    EXPECT_EQ(Load(std::nullopt), QStringList{""});
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(PresetLoad, UnreadableFileIsExplainedAndLogsAnEmptyLine) {
    const QString missing = Folder() + "/gone.txt";
    EXPECT_EQ(Load(missing), QStringList{""});
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_TRUE(dialogs->messages[0].startsWith("Error loading file: "));
    EXPECT_TRUE(dialogs->messages[0].contains("gone.txt")) << dialogs->messages[0].toStdString();
}

// A file far larger than a preset (a sparse one: it takes no room on the
// disk) is refused before it is read; one at the limit is still shown.
TEST_F(PresetLoad, AFileLargerThan64KiBIsRefusedUnreadAndChangesNothing) {
    const QString path = Folder() + "/huge.txt";
    PresetValues values{};
    values.fill(0x00400000);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(PresetFileBytes(PresetText(values)));
    ASSERT_TRUE(file.resize(kMaxPresetFileBytes + 1));
    file.close();
    const auto parameters = ParameterValues();

    EXPECT_EQ(Load(path), QStringList{""});
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_TRUE(dialogs->messages[0].startsWith("Error loading file: "));
    EXPECT_TRUE(dialogs->messages[0].contains("huge.txt\" is too large"));
    EXPECT_TRUE(dialogs->messages[0].contains("64 KiB")) << dialogs->messages[0].toStdString();
    EXPECT_EQ(ParameterValues(), parameters);

    // A file at the limit is read and shown; the zeros that fill it up extend
    // its last line, so it is not a preset and changes nothing either.
    ASSERT_TRUE(QFile::resize(path, kMaxPresetFileBytes));
    EXPECT_EQ(Load(path).mid(0, 12), PresetText(values).split('\r').mid(0, 12));
    EXPECT_EQ(dialogs->messages.last(),
              "\"huge.txt\" is not a preset: a preset holds thirteen values of eight hex digits, "
              "one a line. Nothing was changed.");
    EXPECT_EQ(ParameterValues(), parameters);
}

TEST(PresetValuesFromFile, TakesThirteenFieldsOfEightHexDigitsOnly) {
    PresetValues values{};
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = 0x0ABCDEF0u + k;
    const QByteArray saved = PresetFileBytes(PresetText(values));
    EXPECT_EQ(PresetValuesFromFile(saved), values);
    EXPECT_EQ(PresetValuesFromFile(saved.mid(3).toLower().replace('\r', "\r\n") + "\r\n"), values);

    const QByteArray refused[] = {
        {},
        saved.left(saved.size() - 9),                      // twelve fields
        saved + "\r00000000",                              // fourteen
        QByteArray(saved).replace("0ABCDEF0", "ABCDEF0"),  // seven digits
        QByteArray(saved).replace("0ABCDEF0", "0ABCDEFG"),
        QByteArray(saved).replace("0ABCDEF0", " ABCDEF0"),
        QByteArray(saved).replace("0ABCDEF0", "+ABCDEF0"),
    };
    for (const QByteArray& bytes : refused)
        EXPECT_FALSE(PresetValuesFromFile(bytes)) << bytes.toStdString();
}

}  // namespace
