#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <optional>

#include "app/EditorApp.h"
#include "app/LookSettings.h"
#include "app/TformMain.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "platform/Resources.h"
#include "tests/support/EditorFixture.h"
#include "tests/support/NamedPipe.h"

namespace {

// Each look is told apart by its text; the real themes are not needed here.
QString Sheet(int index) {
    return QStringLiteral("QWidget { /* look %1 */ }").arg(index);
}
const QString kLookBefore = QStringLiteral("QLabel { /* the look in force */ }");

class Looks : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        for (int i = 0; i <= 7; ++i)
            platform::RegisterResource(QStringLiteral("STYLE_%1").arg(i), Sheet(i).toUtf8());
        qApp->setStyleSheet(kLookBefore);
    }
    QString StyleFile() const { return documents.filePath("VORKEL/style.txt"); }
    void WriteStyleFile(const QByteArray& bytes) {
        ASSERT_TRUE(QDir(documents.path()).mkpath("VORKEL"));
        QFile file(StyleFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray StyleFileBytes() const {
        QFile file(StyleFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    static QStringList Captions(QMenu* menu) {
        QStringList captions;
        for (QAction* a : menu->actions()) captions << a->text();
        return captions;
    }
    static QAction* Item(QMenu* menu, const QString& caption) {
        for (QAction* a : menu->actions())
            if (a->text() == caption) return a;
        return nullptr;
    }
};

struct RememberedCase {
    const char* name;
    std::optional<QByteArray> file;  // nothing: no style.txt
    int look;                        // -1: the look in force stays
};

class RememberedLook : public Looks, public ::testing::WithParamInterface<RememberedCase> {};

TEST_P(RememberedLook, IsAppliedAtStartAndStartGoesOn) {
    const RememberedCase& c = GetParam();
    if (c.file) WriteStyleFile(*c.file);
    StartEditor();
    EXPECT_EQ(qApp->styleSheet(), c.look < 0 ? kLookBefore : Sheet(c.look));
    // Whatever the file held, both menus are there and nothing is reported.
    EXPECT_EQ(Captions(formMain->menuLook), (QStringList{"0", "1", "2", "3", "4", "5", "6"}));
    QStringList channels{"OMNI"};
    for (int i = 1; i <= 16; ++i) channels << QString::number(i);
    EXPECT_EQ(Captions(formMain->menuMIDIchannel), channels);
    EXPECT_TRUE(dialogs->messages.isEmpty());
    // Start-up only reads the file.
    EXPECT_EQ(StyleFileBytes(), c.file.value_or("<missing>"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, RememberedLook,
    ::testing::Values(RememberedCase{"NoFile", std::nullopt, 0},
                      RememberedCase{"Three", QByteArray("3"), 3},
                      // No menu item offers it, the file can.
                      RememberedCase{"Seven", QByteArray("7"), 7},
                      RememberedCase{"NoSuchLook", QByteArray("12"), -1},
                      RememberedCase{"Negative", QByteArray("-1"), -1},
                      RememberedCase{"Utf8Bom",
                                     QByteArray("\xEF\xBB\xBF"
                                                "5"),
                                     5},
                      RememberedCase{"Utf16Bom",
                                     QByteArray("\xFF\xFE"
                                                "4\0",
                                                4),
                                     4},
                      RememberedCase{"TrailingLineBreak", QByteArray("2\r\n"), 2},
                      // Not a whole number: the first look, and start-up goes on.
                      RememberedCase{"Empty", QByteArray(""), 0},
                      RememberedCase{"Text", QByteArray("dark"), 0},
                      RememberedCase{"TooLarge", QByteArray("99999999999"), 0},
                      RememberedCase{"NotText", QByteArray("\x80\x81\xFF", 3), 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Something that is not a file where style.txt should be: a named pipe (which
// would hold an open until a writer comes) or a link to a device that never
// ends (which would fill the memory). The start goes on with the first look,
// and a pick afterwards still applies its look.
TEST_F(Looks, AStyleFileThatIsAPipeOrNeverEndsDoesNotHoldUpTheStart) {
    ASSERT_TRUE(QDir(documents.path()).mkpath("VORKEL"));
    {
        NamedPipe pipe(StyleFile());
        ASSERT_TRUE(pipe.made());
        StartEditor();
        EXPECT_EQ(qApp->styleSheet(), Sheet(0));
        EXPECT_EQ(pipe.released(), 0) << "the start waited on the pipe";
        EXPECT_EQ(Captions(formMain->menuLook).size(), 7);
        EXPECT_TRUE(dialogs->messages.isEmpty());
        // A pick puts a file in the pipe's place.
        Item(formMain->menuLook, "5")->trigger();
        EXPECT_EQ(qApp->styleSheet(), Sheet(5));
        EXPECT_EQ(StyleFileBytes(), "5");
        EXPECT_TRUE(dialogs->messages.isEmpty());
        DestroyWindows();
    }
    ASSERT_TRUE(QFile::remove(StyleFile()));
    ASSERT_TRUE(QFile::link("/dev/zero", StyleFile()));
    qApp->setStyleSheet(kLookBefore);
    StartEditor();
    EXPECT_EQ(qApp->styleSheet(), Sheet(0));
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(Looks, ClickAppliesTheLookAndTheNextStartRemembersIt) {
    WriteStyleFile("6");
    StartEditor();
    ASSERT_EQ(qApp->styleSheet(), Sheet(6));
    Item(formMain->menuLook, "3")->trigger();
    EXPECT_EQ(qApp->styleSheet(), Sheet(3));
    EXPECT_EQ(StyleFileBytes(), "3");
    // Choosing the same look again still rewrites the file.
    QFile::remove(StyleFile());
    Item(formMain->menuLook, "3")->trigger();
    EXPECT_EQ(StyleFileBytes(), "3");

    DestroyWindows();
    qApp->setStyleSheet(kLookBefore);
    StartEditor();
    EXPECT_EQ(qApp->styleSheet(), Sheet(3));
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(Looks, FailedSaveIsReportedWithTheLookAlreadyApplied) {
    StartEditor();
    // The maker folder has been replaced by a file since start-up.
    ASSERT_TRUE(QDir(documents.filePath("VORKEL")).removeRecursively());
    QFile blocker(documents.filePath("VORKEL"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    Item(formMain->menuLook, "2")->trigger();
    EXPECT_EQ(qApp->styleSheet(), Sheet(2));
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_TRUE(dialogs->messages[0].startsWith("Cannot save the look: Cannot write \""))
        << dialogs->messages[0].toStdString();
    EXPECT_TRUE(dialogs->messages[0].contains("style.txt"));
    EXPECT_TRUE(QFileInfo(documents.filePath("VORKEL")).isFile());
    // The menus still work afterwards.
    Item(formMain->menuLook, "4")->trigger();
    EXPECT_EQ(qApp->styleSheet(), Sheet(4));
}

TEST_F(EditorFixture, EveryBuiltInLookKeepsTheMainWindowsClientArea) {
    StartEditor();
    for (int look = 0; look <= 7; ++look) {
        // Style_7 has no menu item; only style.txt reaches it.
        if (look < 7)
            formMain->menuLook->actions().at(look)->trigger();
        else
            ASSERT_TRUE(ApplyLook(7));
        QCoreApplication::processEvents();
        EXPECT_EQ(qApp->styleSheet(),
                  QString::fromUtf8(platform::ReadResource(QStringLiteral("Style_%1").arg(look))));
        EXPECT_EQ(formMain->centralWidget()->size(), QSize(354, 244)) << "look " << look;
    }
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(EditorFixture, MainWindowLabelsStayOnTheirLineInEveryLook) {
    StartEditor();
    // Looks 0 to 7, then the toolkit's own look (a style.txt out of range).
    for (int look = 0; look <= 8; ++look) {
        qApp->setStyleSheet(look <= 7 ? QString::fromUtf8(platform::ReadResource(
                                            QStringLiteral("Style_%1").arg(look)))
                                      : QString());
        QCoreApplication::processEvents();
        // A long device name and an answer ending in a line break stay on
        // their line: the buttons do not move.
        formMain->lblDeviceName->setText(QStringLiteral("Quendle MK3"));
        formMain->lblStatus->setText(QStringLiteral("Status: "));
        QCoreApplication::processEvents();
        const QRect request = formMain->btnRequest->geometry();
        const QRect save = formMain->btnSaveParameters->geometry();
        formMain->lblDeviceName->setText(QStringLiteral("USB <-> Serial Converter connected"));
        formMain->lblStatus->setText(QStringLiteral("Upload complete\r\n"));
        QCoreApplication::processEvents();
        EXPECT_EQ(formMain->btnRequest->geometry(), request) << "look " << look;
        EXPECT_EQ(formMain->btnSaveParameters->geometry(), save) << "look " << look;
    }
}

TEST_F(EditorFixture, MainWindowButtonCaptionsFitTheirButtonsInEveryLook) {
    StartEditor();
    for (int look = 0; look <= 7; ++look) {
        ASSERT_TRUE(ApplyLook(look));
        QCoreApplication::processEvents();
        for (QPushButton* button : formMain->centralWidget()->findChildren<QPushButton*>()) {
            if (!button->isVisibleTo(formMain)) continue;
            const std::string who = button->objectName().toStdString();
            // The wrapped captions use the face but for a small inset; the
            // others stay on one line.
            const QRect face = button->rect().adjusted(2, 2, -2, -2);
            const QRect caption = button->fontMetrics().boundingRect(
                face, Qt::AlignCenter | Qt::TextWordWrap, button->text());
            EXPECT_TRUE(face.contains(caption))
                << "look " << look << ": " << who << " needs " << caption.width() << "x"
                << caption.height() << " in " << face.width() << "x" << face.height();
        }
        // The longer captions wrap at most once, as they were drawn to.
        for (QPushButton* button : {formMain->btnUpload, formMain->btnSaveParameters})
            EXPECT_LT(button->fontMetrics()
                          .boundingRect(button->rect().adjusted(2, 2, -2, -2),
                                        Qt::AlignCenter | Qt::TextWordWrap, button->text())
                          .height(),
                      3 * button->fontMetrics().lineSpacing())
                << "look " << look << ": " << button->objectName().toStdString();
    }
}

struct ChannelCase {
    const char* caption;
    const char* bytes;
};

class MidiChannel : public Looks, public ::testing::WithParamInterface<ChannelCase> {};

TEST_P(MidiChannel, SendsItsMessageAndLogsBothLines) {
    const ChannelCase& c = GetParam();
    AddPedal();
    StartEditor();
    ASSERT_EQ(PedalLink::Instance().Open(QStringLiteral("QMK3TEST")), ftd::FT_OK);
    NewConsoleLines();
    Item(formMain->menuMIDIchannel, c.caption)->trigger();
    EXPECT_EQ(Sent(), std::vector<sim::Bytes>{HexBytes(c.bytes)});
    EXPECT_EQ(driver->Pedal().MidiChannel(), HexBytes(c.bytes)[1]);
    const QString text = QString::fromLatin1(c.bytes).remove(' ');
    EXPECT_EQ(NewConsoleLines(), (QStringList{QStringLiteral("Midi channel: ") + c.caption, text}));
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Channels, MidiChannel,
                         ::testing::Values(ChannelCase{"OMNI", "07 00"}, ChannelCase{"1", "07 01"},
                                           ChannelCase{"9", "07 09"}, ChannelCase{"10", "07 0A"},
                                           ChannelCase{"16", "07 10"}),
                         [](const auto& info) { return std::string(info.param.caption); });

TEST_F(Looks, MidiChannelWithoutPedalSaysNothingWasSent) {
    StartEditor();
    NewConsoleLines();
    Item(formMain->menuMIDIchannel, "5")->trigger();
    EXPECT_EQ(NewConsoleLines(), (QStringList{"Midi channel: 5", "0705"}));
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_EQ(formMain->lblStatus->text(), "The pedal is not connected; nothing was sent.");
}

// The tick names the channel the pedal was last sent, never one it was not.
TEST_F(Looks, MidiChannelTickFollowsWhatThePedalWasSent) {
    AddPedal();
    StartEditor();
    auto ticked = [] {
        QStringList names;
        for (QAction* a : formMain->menuMIDIchannel->actions())
            if (a->isChecked()) names << a->text();
        return names;
    };
    Item(formMain->menuMIDIchannel, "5")->trigger();
    EXPECT_EQ(ticked(), QStringList{});

    ASSERT_EQ(PedalLink::Instance().Open(QStringLiteral("QMK3TEST")), ftd::FT_OK);
    Item(formMain->menuMIDIchannel, "9")->trigger();
    EXPECT_EQ(ticked(), QStringList{"9"});

    driver->FailNext("Write", ftd::FT_FAILED_TO_WRITE_DEVICE);
    Item(formMain->menuMIDIchannel, "12")->trigger();
    EXPECT_EQ(dialogs->messages, QStringList{"FT_Write - Failed to write..."});
    EXPECT_EQ(ticked(), QStringList{"9"});
    EXPECT_EQ(driver->Pedal().MidiChannel(), 9);
}

}  // namespace
