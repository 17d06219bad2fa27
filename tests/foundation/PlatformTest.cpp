#include <QDir>
#include <QFile>
#include <ctime>

#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Resources.h"
#include "platform/Time.h"
#include "tests/support/EditorFixture.h"
#include "tests/support/NamedPipe.h"

namespace {

using Platform = EditorFixture;

TEST_F(Platform, ResourcesAreFoundWhateverTheLetterCase) {
    platform::RegisterResource("FIXTURE_IMAGE", "abc");
    for (const char* name : {"FIXTURE_IMAGE", "fixture_image", "Fixture_Image"})
        EXPECT_EQ(platform::FindResource(name).value_or("missing"), QByteArray("abc")) << name;
    EXPECT_FALSE(platform::FindResource("").has_value());
    EXPECT_FALSE(platform::FindResource("FIXTURE").has_value());
}

TEST_F(Platform, MissingResourceEndsTheCommandWithAReport) {
    bool reachedEnd = false;
    EXPECT_FALSE(platform::Guard([&] {
        platform::ReadResource("effect_list");
        reachedEnd = true;
    }));
    EXPECT_FALSE(reachedEnd);
    EXPECT_EQ(dialogs->messages, QStringList{"Resource effect_list not found"});
}

TEST_F(Platform, AtomicWriteReplacesAWholeFileAndKeepsItOnFailure) {
    const QString path = documents.filePath("preset.txt");
    platform::WriteFileAtomically(path, "old content");
    platform::WriteFileAtomically(path, "new");
    EXPECT_EQ(platform::ReadWholeFile(path), QByteArray("new"));

    // A target inside a folder that does not exist cannot be written.
    EXPECT_THROW(platform::WriteFileAtomically(documents.filePath("missing/x.txt"), "x"),
                 platform::EditorError);
    EXPECT_THROW(platform::ReadWholeFile(documents.filePath("missing.txt")), platform::EditorError);
    EXPECT_EQ(platform::ReadWholeFile(path), QByteArray("new"));
}

TEST_F(Platform, BoundedReadRefusesALargerFileBeforeReadingIt) {
    const QString path = documents.filePath("ten.txt");
    platform::WriteFileAtomically(path, "0123456789");
    EXPECT_EQ(platform::ReadWholeFile(path, 10), QByteArray("0123456789"));
    try {
        platform::ReadWholeFile(path, 9);
        ADD_FAILURE() << "a file larger than the limit was read";
    } catch (const platform::FileTooLarge& e) {
        EXPECT_TRUE(
            e.message().contains("ten.txt\" is too large: it holds 10 bytes, more than "
                                 "the 9 bytes"))
            << e.message().toStdString();
    }
    // A device reports no size and never ends: the read stops one byte past
    // the limit.
    EXPECT_THROW(platform::ReadWholeFile("/dev/zero", 64 * 1024), platform::FileTooLarge);
    EXPECT_THROW(platform::ReadWholeFile(documents.filePath("missing.txt"), 10),
                 platform::EditorError);
}

// A named pipe picked by mistake (or put where style.txt should be) must not
// hold the editor until some other program writes to it: both reads refuse it
// at once and say why, as they refuse a folder.
TEST_F(Platform, ReadsRefuseAPipeOrAFolderAtOnceAndSayWhy) {
    NamedPipe pipe(documents.filePath("pipe.txt"));
    ASSERT_TRUE(pipe.made());
    ASSERT_TRUE(QDir(documents.path()).mkdir("folder.txt"));
    const struct {
        const char* name;
        const char* says;
    } cases[] = {{"pipe.txt", "a named pipe, not a file"}, {"folder.txt", "a folder, not a file"}};
    for (const auto& c : cases) {
        const QString path = documents.filePath(c.name);
        for (const qint64 limit : {qint64{-1}, qint64{64 * 1024}}) {
            try {
                limit < 0 ? platform::ReadWholeFile(path) : platform::ReadWholeFile(path, limit);
                ADD_FAILURE() << c.name << " was read";
            } catch (const platform::EditorError& e) {
                EXPECT_TRUE(e.message().contains(c.name) && e.message().contains(c.says))
                    << e.message().toStdString();
            }
        }
    }
    EXPECT_EQ(pipe.released(), 0) << "a read waited on the pipe";
}

TEST(DecodeText, ReadsUtf8WithOrWithoutMarkAndFallsBackToTheSystemCodePage) {
    EXPECT_EQ(platform::DecodeText("3"), "3");
    EXPECT_EQ(platform::DecodeText("\xEF\xBB\xBF"
                                   "3"),
              "3");
    EXPECT_EQ(platform::DecodeText(QByteArray("\xFF\xFE"
                                              "3\0",
                                              4)),
              "3");
    EXPECT_EQ(platform::DecodeText("caf\xC3\xA9"), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(platform::DecodeText("caf\xE9"), QString::fromLocal8Bit("caf\xE9"));
}

TEST(DialogFilter, DescriptionsBecomeQtFilters) {
    EXPECT_EQ(platform::QtFilterFrom("Preset files (*.txt)|*.txt"), "Preset files (*.txt)");
    EXPECT_EQ(platform::QtFilterFrom("A (*.a)|*.a|B (*.b)|*.b"), "A (*.a);;B (*.b)");
}

}  // namespace

namespace {

std::int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

// The bootloader's pause between data bytes has a fixed, nominal length
// (0.3 ms for its 1,000,001 turns) that the real clock gives by the monotonic
// clock, never less. How close it comes and how little processor time it
// takes is the firmware bench's to measure.
TEST(BusyPause, HasItsNominalLengthByTheClockAndIsNeverShorter) {
    EXPECT_EQ(platform::PauseNanoseconds(1000001), 300000);
    EXPECT_EQ(platform::PauseNanoseconds(0), 0);
    const auto clock = platform::MakeRealClock();
    for (int i = 0; i < 50; ++i) {
        const std::int64_t start = NowNs();
        clock->BusyPause(1000001);
        EXPECT_GE(NowNs() - start, 300000) << "pause " << i;
    }
    for (std::int64_t ns : {1000, 20000, 150000, 2000000}) {
        const std::int64_t start = NowNs();
        platform::PreciseSleepNs(ns);
        EXPECT_GE(NowNs() - start, ns);
    }
}

}  // namespace
