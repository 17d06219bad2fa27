#include <sys/resource.h>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <csignal>

#include "app/TformMain.h"
#include "library/PresetFile.h"
#include "platform/Console.h"
#include "platform/ErrorReport.h"
#include "platform/Files.h"
#include "tests/support/EditorFixture.h"

namespace {

const QByteArray kMark("\xEF\xBB\xBF");

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
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
    QString Folder() const { return documents.filePath("VORKEL/Quendle MK3/Preset"); }
};

TEST(PresetText, ThirteenFieldsOfEightUpperCaseDigitsInSlotOrder) {
    struct Case {
        std::size_t slot;
        std::uint32_t value;
        const char* field;
    };
    const Case cases[] = {
        {0, 255, "000000FF"},
        {4, 0x00400000, "00400000"},  // Wave switched on
        {11, 0x0055AAA8, "0055AAA8"},
        {12, 0xFFFFFFFF, "FFFFFFFF"},
    };
    for (const Case& c : cases) {
        PresetValues values{};
        values[c.slot] = c.value;
        const QStringList fields = PresetText(values).split('\r');
        ASSERT_EQ(fields.size(), 13);
        for (std::size_t k = 0; k < 13; ++k)
            EXPECT_EQ(fields[static_cast<int>(k)], k == c.slot ? c.field : "00000000")
                << "slot " << c.slot << " field " << k;
    }
}

TEST_F(Preset, SaveWritesExactly119BytesIntoTheNewPresetFolder) {
    const QString path = Folder() + "/zeros.txt";
    dialogs->fileNames.push_back(path);
    ASSERT_FALSE(QDir(Folder()).exists());
    SavePresetWithDialog(PresetText(PresetValues{}));

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

TEST_F(Preset, SaveReplacesAnExistingFileWithoutAsking) {
    ASSERT_TRUE(QDir().mkpath(Folder()));
    const QString path = Folder() + "/old.txt";
    WriteFile(path, QByteArray(500, 'x'));
    dialogs->fileNames.push_back(path);
    PresetValues values{};
    values[0] = 1;
    SavePresetWithDialog(PresetText(values));
    EXPECT_TRUE(dialogs->questions.isEmpty());
    EXPECT_EQ(ReadFile(path), kMark + PresetText(values).toUtf8());
}

TEST_F(Preset, CancelledSaveWritesNothing) {
    SavePresetWithDialog(PresetText(PresetValues{}));
    EXPECT_TRUE(QDir(Folder()).exists());
    EXPECT_TRUE(QDir(Folder()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(Preset, FailedSaveKeepsTheOldFileWholeAndSaysWhy) {
    ASSERT_TRUE(QDir().mkpath(Folder()));
    const QString path = Folder() + "/keep.txt";
    const QByteArray old = kMark + PresetText(PresetValues{1, 2, 3}).toUtf8();
    WriteFile(path, old);
    dialogs->fileNames.push_back(path);
    {
        // The disk fills up after a few bytes of the new file.
        FileSizeLimit full(10);
        SavePresetWithDialog(PresetText(PresetValues{}));
    }
    EXPECT_EQ(ReadFile(path), old);
    // The user learns the system's reason, not "Unknown error".
    EXPECT_EQ(dialogs->messages, QStringList{"Error saving file: " + qt_error_string(EFBIG)});
    // No temporary file is left behind.
    EXPECT_EQ(QDir(Folder()).entryList(QDir::Files), QStringList{"keep.txt"});
}

TEST_F(Preset, SavingOverAFolderLeavesItAndSaysWhy) {
    const QString target = Folder() + "/folder.txt";
    ASSERT_TRUE(QDir().mkpath(target + "/inside"));
    dialogs->fileNames.push_back(target);
    SavePresetWithDialog(PresetText(PresetValues{}));
    EXPECT_TRUE(QDir(target + "/inside").exists());
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_TRUE(dialogs->messages[0].startsWith("Error saving file: "));
    EXPECT_GT(dialogs->messages[0].size(), QString("Error saving file: ").size());
}

TEST_F(Preset, APresetFolderThatCannotBeCreatedEndsTheCommandBeforeTheDialog) {
    ASSERT_TRUE(QDir().mkpath(documents.filePath("VORKEL/Quendle MK3")));
    WriteFile(Folder(), "a file where the folder belongs");
    StartEditor();
    dialogs->fileNames.push_back(documents.filePath("x.txt"));
    EXPECT_FALSE(platform::Guard([] { formMain->menuLoadPresetClick(); }));
    EXPECT_TRUE(dialogs->fileRequests.empty());
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_TRUE(dialogs->messages[0].contains("Preset")) << dialogs->messages[0].toStdString();
}

class PresetLoad : public Preset {
protected:
    void SetUp() override {
        Preset::SetUp();
        AddPedal();
        StartEditor();
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
    EXPECT_EQ(dialogs->messages, QStringList{"File loaded successfully: " + editorFile});
    ASSERT_EQ(dialogs->fileRequests.size(), 1u);
    EXPECT_FALSE(dialogs->fileRequests[0].save);
    EXPECT_EQ(dialogs->fileRequests[0].options.title, "Open Preset File");
    EXPECT_EQ(dialogs->fileRequests[0].options.filter, "Preset files (*.txt)|*.txt");
    EXPECT_EQ(dialogs->fileRequests[0].options.defaultExtension, "txt");

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
    // Loading shows; it sends nothing to the pedal.
    EXPECT_TRUE(Sent().empty());
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

}  // namespace
