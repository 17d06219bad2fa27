#include <QFile>
#include <QRegularExpression>

#include "app/TformMain.h"
#include "library/Catalogue.h"
#include "library/ImpulseResponse.h"
#include "platform/Console.h"
#include "platform/ErrorReport.h"
#include "platform/Resources.h"
#include "tests/support/EditorFixture.h"

// Readable failures for Qt texts.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.left(200).toStdString() << '"';
}
static void PrintTo(const QStringList& lines, std::ostream* os) {
    for (const QString& line : lines) *os << "\n  \"" << line.left(120).toStdString() << '"';
}

namespace {

// Index of the first line starting with prefix, or -1.
qsizetype LineStarting(const QStringList& lines, const QString& prefix) {
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].startsWith(prefix)) return i;
    return -1;
}

QByteArray Le(std::uint32_t value, int size) {
    QByteArray bytes;
    for (int i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

QString Hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex().toUpper());
}

struct Chunk {
    QByteArray id;
    QByteArray data;
};

// A RIFF WAVE file of these chunks, each padded to an even length.
QByteArray Riff(const std::vector<Chunk>& chunks) {
    QByteArray body = "WAVE";
    for (const Chunk& c : chunks) {
        body += c.id + Le(static_cast<std::uint32_t>(c.data.size()), 4) + c.data;
        if (c.data.size() % 2) body += '\0';
    }
    return "RIFF" + Le(static_cast<std::uint32_t>(body.size()), 4) + body;
}

// The 16 bytes of a plain "fmt " chunk, mono at 48 kHz.
QByteArray Fmt(int bits, int format = 1) {
    const int blockAlign = bits / 8;
    return Le(format, 2) + Le(1, 2) + Le(48000, 4) + Le(48000 * blockAlign, 4) + Le(blockAlign, 2) +
           Le(bits, 2);
}

// The 40 bytes of an extensible "fmt " chunk whose sub-format is `format`.
QByteArray ExtensibleFmt(int bits, int format) {
    return Fmt(bits, 0xFFFE) + Le(22, 2) + Le(bits, 2) + Le(4, 4) + Le(format, 2) +
           QByteArray::fromHex("000000001000800000AA00389B71");
}

// A canonical mono WAV file, with any chunks placed between the RIFF header
// and "fmt " (written without the pad byte after an odd-sized one, as some
// writers do).
QByteArray Wav(int bits, const QByteArray& samples, const std::vector<Chunk>& before = {}) {
    QByteArray body = "WAVE";
    for (const Chunk& c : before) body += c.id + Le(c.data.size(), 4) + c.data;
    body += "fmt " + Le(16, 4) + Fmt(bits);
    body += "data" + Le(samples.size(), 4) + samples;
    return "RIFF" + Le(body.size(), 4) + body;
}

// count samples of `bits`, starting with `first` (raw little-endian bytes), the
// rest a ramp so that every word differs.
QByteArray Samples(int bits, int count, const QByteArray& first = {}) {
    QByteArray bytes = first;
    const int size = bits / 8;
    for (int k = static_cast<int>(first.size()) / size; k < count; ++k)
        bytes += Le(static_cast<std::uint32_t>(k * 0x010203), size);
    return bytes;
}

// A stand-in image text of the shipped image's length, every position telling
// where it came from.
QString ImageText(int length = 9280) {
    QString text;
    for (int k = 0; k < length; ++k) text += QLatin1Char("0123456789ABCDEF"[(k * 7) % 16]);
    return text;
}

TEST(IrSampleWord, KeepsTheTop24BitsSignExtended) {
    struct Case {
        QByteArray sample;
        std::uint32_t word;
    };
    const Case cases[] = {
        {QByteArray::fromHex("000080"), 0xFF800000},    // -8,388,608
        {QByteArray::fromHex("01007F"), 0x007F0001},    // largest positive
        {QByteArray::fromHex("FFFFFF"), 0xFFFFFFFF},    // -1
        {QByteArray::fromHex("78563412"), 0x00123456},  // 32 bits lose the lowest byte
        {QByteArray::fromHex("00000080"), 0xFF800000},
        {QByteArray::fromHex("FF00007F"), 0x007F0000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IrSampleWord(c.sample.constData(), static_cast<int>(c.sample.size())), c.word)
            << Hex(c.sample).toStdString();
}

TEST(FindWavChunks, FollowsTheChunkSizesOnly) {
    // 16 66 D7 42 05 reads "1666D74205" in hex: the digits of "fmt " across bytes.
    const QByteArray straddle = QByteArray::fromHex("1666D74205000000");
    ASSERT_TRUE(Hex(straddle).contains("666D7420"));
    const QByteArray fmt = Fmt(24);
    const QByteArray samples = Samples(24, 5);

    // "fmt " and "data" inside another chunk's data are not chunks.
    const auto inside = FindWavChunks(Riff({{"JUNK", straddle + "data" + Le(4, 4) + "abcd"}}));
    EXPECT_FALSE(inside.fmt);
    EXPECT_FALSE(inside.data);

    const QByteArray file = Riff({{"JUNK", "odd"},
                                  {"fmt ", ExtensibleFmt(24, 1)},
                                  {"fact", Le(5, 4)},
                                  {"data", samples},
                                  {"LIST", "INFOxyz"}});
    const auto chunks = FindWavChunks(file);
    ASSERT_TRUE(chunks.fmt && chunks.data);
    EXPECT_EQ(file.mid(chunks.fmt->body, chunks.fmt->size), ExtensibleFmt(24, 1));
    EXPECT_EQ(file.mid(chunks.data->body, chunks.data->available), samples);

    // A data chunk that claims more than the file holds ends with the file.
    const QByteArray cut = Riff({{"fmt ", fmt}}) + "data" + Le(1000, 4) + samples;
    const auto cutChunks = FindWavChunks(cut);
    ASSERT_TRUE(cutChunks.data);
    EXPECT_EQ(cutChunks.data->size, 1000u);
    EXPECT_EQ(cut.mid(cutChunks.data->body, cutChunks.data->available), samples);
}

// The four impulse-response images are not shipped: the fixture registers
// stand-ins under their resource names.
class IrLoad : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        for (const char* name :
             {"Cab_Sim_1", "Amber_Fuzz_plus_Cab_Sim", "TRV_plus_Cab_Sim", "Plain_Cab_Sim"})
            platform::RegisterResource(name, ImageText().toLatin1());
        StartEditor();
        ConsolePrint("before");
        NewConsoleLines();
        IrImageText = "previous";
    }
    QString Save(const QString& name, const QByteArray& bytes) {
        const QString path = documents.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    // Runs Load IR with the algorithm selected and the file chosen; returns the
    // lines logged.
    QStringList Load(const QString& algorithm, const std::optional<QString>& path) {
        SelectedAlgorithmName = algorithm;
        dialogs->fileNames.push_back(path);
        platform::Guard([] { formMain->menuLoadIRClick(); });
        return NewConsoleLines();
    }
    QString Summary(const QString& name, qsizetype size, int bits) {
        return QString(
                   "Selected file data:\r\nName: %1\r\nSize: %2\r\nSample rate: 48000\r\n"
                   "Bits per sample: %3")
            .arg(name)
            .arg(size)
            .arg(bits);
    }
};

TEST_F(IrLoad, WithNoAlgorithmSelectedLogsEveryFieldAndShowsNoBox) {
    const QByteArray samples = QByteArray::fromHex(
        "000080"
        "01007F"
        "FFFFFF");
    const QByteArray file = Wav(24, samples);
    const QString path = Save("three.wav", file);
    EXPECT_EQ(Load("", path),
              (QStringList{path, "three.wav", QString::number(file.size()), Hex(file), "ID: RIFF",
                           "chunk size: " + QString::number(file.size() - 8), "Subchunk ID: fmt ",
                           "Subchink size: 16", "Audio format: 1", "Num_of_channels: 1",
                           "Sample_Rate: 48000", "Byte_Rate: 144000", "Block align: 3",
                           "Bits_per_sample: 24", "subchunk2size: 9", "Audio data: " + Hex(samples),
                           "irdata: ", "irdata swapped endianess: "}));
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_EQ(IrImageText, "previous");

    ASSERT_EQ(dialogs->fileRequests.size(), 1u);
    EXPECT_FALSE(dialogs->fileRequests[0].save);
    EXPECT_EQ(dialogs->fileRequests[0].options.filter, "Wave Files (*.wav)|*.wav");
    EXPECT_EQ(dialogs->fileRequests[0].options.title, "");
    EXPECT_EQ(dialogs->fileRequests[0].options.initialFolder, "");
}

struct PlaceCase {
    const char* algorithm;
    int bits;
    int samples;
    int regionStart;  // first character, counted from 1
    int regionLength;
};
void PrintTo(const PlaceCase& c, std::ostream* os) {
    *os << c.algorithm << ' ' << c.bits;
}

class IrPlace : public IrLoad, public ::testing::WithParamInterface<PlaceCase> {};

TEST_P(IrPlace, PutsTheFirstNSamplesIntoTheImageRegion) {
    const PlaceCase& c = GetParam();
    const QByteArray first = c.bits == 24 ? QByteArray::fromHex(
                                                "000080"
                                                "01007F"
                                                "FFFFFF")
                                          : QByteArray::fromHex(
                                                "78563412"
                                                "00000080");
    const QStringList words = c.bits == 24 ? QStringList{"FF800000", "007F0001", "FFFFFFFF"}
                                           : QStringList{"00123456", "FF800000"};
    // Ten samples more than the algorithm takes: they are left out.
    const QByteArray file = Wav(c.bits, Samples(c.bits, c.samples + 10, first));
    const QStringList lines = Load(c.algorithm, Save("ir.wav", file));

    const QString image = ImageText();
    ASSERT_EQ(IrImageText.size(), image.size());
    const int before = c.regionStart - 1;
    EXPECT_EQ(IrImageText.left(before), image.left(before));
    EXPECT_EQ(IrImageText.mid(before + c.regionLength), image.mid(before + c.regionLength));
    const QString ir = IrImageText.mid(before, c.regionLength);
    EXPECT_TRUE(ir.startsWith(words.join(""))) << ir.left(40).toStdString();

    const qsizetype raw = LineStarting(lines, "irdata: ");
    ASSERT_GE(raw, 0);
    EXPECT_EQ(lines[raw].size(), QString("irdata: ").size() + c.samples * c.bits / 4);
    // One line per word, the whole IR text, then the image text.
    EXPECT_EQ(lines.mid(raw + 1, words.size()), words);
    ASSERT_EQ(lines.size(), raw + 1 + c.samples + 2);
    EXPECT_EQ(lines[lines.size() - 2], "irdata swapped endianess: " + ir);
    EXPECT_EQ(lines.last(), IrImageText);
    EXPECT_EQ(dialogs->messages, QStringList{Summary("ir.wav", file.size(), c.bits)});
}

INSTANTIATE_TEST_SUITE_P(Algorithms, IrPlace,
                         ::testing::Values(PlaceCase{"Cab Sim 1", 24, 882, 461, 7056},
                                           PlaceCase{"Cab Sim 1", 32, 882, 461, 7056},
                                           PlaceCase{"Amber Fuzz + Cab Sim", 24, 703, 725, 5624},
                                           PlaceCase{"TRV + Cab Sim", 32, 703, 741, 5624},
                                           PlaceCase{"Plain Cab Sim", 24, 912, 461, 7296}));

TEST_F(IrLoad, AChunkBeforeFmtChangesOnlyTheSubchunkIdLine) {
    const QByteArray samples = Samples(24, 882);
    const QStringList plain = Load("Cab Sim 1", Save("plain.wav", Wav(24, samples)));
    const QString plainImage = IrImageText;
    // The JUNK data holds the hex digits of "fmt " across byte boundaries
    // (1666D74205): only a whole-byte match is the chunk.
    const QStringList junk =
        Load("Cab Sim 1",
             Save("junk.wav", Wav(24, samples, {{"JUNK", QByteArray::fromHex("1666D742050000")}})));
    EXPECT_EQ(IrImageText, plainImage);
    const auto from = [](const QStringList& lines) {
        return lines.mid(LineStarting(lines, "Subchunk ID: "));
    };
    QStringList expected = from(plain);
    expected[0] = "Subchunk ID: JUNK";
    EXPECT_EQ(from(junk), expected);
}

TEST_F(IrLoad, SixteenBitSamplesGiveAnEmptyIrText) {
    const QByteArray file = Wav(16, Samples(16, 1000));
    const QStringList lines = Load("Quendle MK3 0008", Save("16.wav", file));
    EXPECT_TRUE(lines.contains("Bits_per_sample: 16"));
    // An algorithm without an impulse response takes the (empty) IR text alone.
    EXPECT_EQ(lines.mid(lines.size() - 3),
              (QStringList{"irdata: ", "irdata swapped endianess: ", ""}));
    EXPECT_EQ(IrImageText, "");
    EXPECT_EQ(dialogs->messages, QStringList{Summary("16.wav", file.size(), 16)});
}

TEST_F(IrLoad, CancelDoesNothing) {
    EXPECT_TRUE(Load("Cab Sim 1", std::nullopt).isEmpty());
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_EQ(IrImageText, "previous");
}

TEST_F(IrLoad, AMissingOrShortImageLeavesTheIrImageTextAlone) {
    const QString path = Save("ir.wav", Wav(24, Samples(24, 912)));
    platform::UnregisterResource("Cab_Sim_1");
    Load("Cab Sim 1", path);
    EXPECT_EQ(dialogs->messages, QStringList{"Resource Cab_Sim_1 not found"});

    platform::RegisterResource("Plain_Cab_Sim", ImageText(7755).toLatin1());
    Load("Plain Cab Sim", path);
    EXPECT_EQ(dialogs->messages.last(),
              "The image of \"Plain Cab Sim\" is too short to hold an impulse response.");
    EXPECT_EQ(IrImageText, "previous");
}

// The common extensible form: a 40-byte "fmt " chunk and a "fact" chunk
// before the data. Its samples are the same as a plain file's.
TEST_F(IrLoad, AnExtensibleFileGivesTheSameImpulseResponseAsAPlainOne) {
    const QByteArray samples = Samples(24, 882, QByteArray::fromHex("000080"));
    Load("Cab Sim 1", Save("plain.wav", Wav(24, samples)));
    const QString plain = IrImageText;
    IrImageText = "previous";

    const QByteArray file =
        Riff({{"fmt ", ExtensibleFmt(24, 1)}, {"fact", Le(882, 4)}, {"data", samples}});
    const QStringList lines = Load("Cab Sim 1", Save("extensible.wav", file));
    EXPECT_EQ(IrImageText, plain);
    EXPECT_TRUE(lines.contains("Audio format: 65534"));
    EXPECT_TRUE(lines.contains("Audio data: " + Hex(samples)));
    EXPECT_EQ(lines[LineStarting(lines, "irdata swapped endianess: ") - 882], "FF800000");
    EXPECT_EQ(dialogs->messages.last(), Summary("extensible.wav", file.size(), 24));
}

// A file far too large for an impulse response is refused before any of it
// is read (a sparse file: it takes no room on the disk).
TEST_F(IrLoad, AFileLargerThan16MiBIsRefusedUnread) {
    const QString path = documents.filePath("huge.wav");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Wav(24, Samples(24, 882)));
    ASSERT_TRUE(file.resize(kMaxImpulseResponseFileBytes + 1));
    file.close();

    EXPECT_EQ(Load("Cab Sim 1", path), (QStringList{path, "huge.wav"}));
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_TRUE(dialogs->messages[0].contains("huge.wav\" is too large"));
    EXPECT_TRUE(dialogs->messages[0].contains("16 MiB")) << dialogs->messages[0].toStdString();
    EXPECT_EQ(IrImageText, "previous");
}

struct BrokenCase {
    const char* name;
    QByteArray bytes;
    const char* algorithm;
    const char* message;
    const char* lastLine;  // where the log stops
};
void PrintTo(const BrokenCase& c, std::ostream* os) {
    *os << c.name;
}

class IrBroken : public IrLoad, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(IrBroken, IsExplainedAndChangesNothing) {
    const BrokenCase& c = GetParam();
    const QStringList lines =
        Load(c.algorithm, Save(QString::fromLatin1(c.name) + ".wav", c.bytes));
    EXPECT_EQ(dialogs->messages, QStringList{QString(c.message).arg(c.name)});
    EXPECT_EQ(IrImageText, "previous");
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(QRegularExpression(c.lastLine).match(lines.last()).hasMatch())
        << lines.last().left(60).toStdString();
}

const QByteArray kHeaderOnly = Wav(24, {});
const char* const kTooShort = "%1.wav is too short to be a WAV file: its header needs 44 bytes.";
const char* const kNoFmt =
    "%1.wav is not a WAV file the editor can read: it has no \"fmt \" chunk.";
const char* const kFloat =
    "%1.wav holds floating-point samples; the editor reads only integer (PCM) WAV files of 24 or "
    "32 bits.";
const char* const kNotPcm =
    "%1.wav is not an integer (PCM) WAV file; the editor reads only those, of 24 or 32 bits.";

INSTANTIATE_TEST_SUITE_P(
    Files, IrBroken,
    ::testing::Values(
        BrokenCase{"empty", {}, "Cab Sim 1", kTooShort, "^$"},
        BrokenCase{"header43", kHeaderOnly.left(43), "Cab Sim 1", kTooShort, "^[0-9A-F]+$"},
        BrokenCase{"nofmt", QByteArray(kHeaderOnly).replace("fmt ", "xyz "), "", kNoFmt,
                   "^chunk size: "},
        // The hex digits of "fmt " across byte boundaries are no chunk.
        BrokenCase{"straddled",
                   QByteArray(kHeaderOnly)
                       .replace("fmt " + Le(16, 4), QByteArray::fromHex("1666D74205000000")),
                   "Cab Sim 1", kNoFmt, "^chunk size: "},
        // "fmt " inside another chunk's data is no chunk.
        BrokenCase{"fmtInside", kHeaderOnly.left(12) + QByteArray(40, 'x') + "fmt " + Le(16, 4), "",
                   kNoFmt, "^chunk size: "},
        BrokenCase{"notRiff", QByteArray(kHeaderOnly).replace("WAVE", "AVI "), "Cab Sim 1",
                   "%1.wav is not a WAV file the editor can read: it does not start with a RIFF "
                   "WAVE header.",
                   "^chunk size: "},
        BrokenCase{"fmtShort", Riff({{"fmt ", Fmt(24).left(14)}, {"data", Samples(24, 882)}}),
                   "Cab Sim 1",
                   "%1.wav is not a WAV file the editor can read: its \"fmt \" chunk holds 14 "
                   "bytes, 16 are needed.",
                   "^chunk size: "},
        BrokenCase{"noDataChunk", Riff({{"fmt ", Fmt(24)}, {"LIST", Samples(24, 882)}}),
                   "Cab Sim 1",
                   "%1.wav is not a WAV file the editor can read: it has no \"data\" chunk.",
                   "^Bits_per_sample: 24$"},
        // Header bytes must never become samples: the samples end with the
        // data chunk, not with the file.
        BrokenCase{"dataThenList",
                   Riff({{"fmt ", Fmt(24)}, {"data", Samples(24, 881)}, {"LIST", Samples(24, 9)}}),
                   "Cab Sim 1", "%1.wav holds only 881 samples; \"Cab Sim 1\" needs 882.",
                   "^irdata: "},
        BrokenCase{"float32", Riff({{"fmt ", Fmt(32, 3)}, {"data", Samples(32, 882)}}), "Cab Sim 1",
                   kFloat, "^Bits_per_sample: 32$"},
        BrokenCase{"extensibleFloat",
                   Riff({{"fmt ", ExtensibleFmt(32, 3)},
                         {"fact", Le(882, 4)},
                         {"data", Samples(32, 882)}}),
                   "Cab Sim 1", kFloat, "^Bits_per_sample: 32$"},
        BrokenCase{"adpcm", Riff({{"fmt ", Fmt(24, 2)}, {"data", Samples(24, 882)}}), "", kNotPcm,
                   "^Bits_per_sample: 24$"},
        // An extensible header whose sub-format is not one of the standard ones.
        BrokenCase{
            "extensibleOther",
            Riff({{"fmt ", ExtensibleFmt(24, 1).left(39) + "x"}, {"data", Samples(24, 882)}}),
            "Cab Sim 1", kNotPcm, "^Bits_per_sample: 24$"},
        BrokenCase{"short24", Wav(24, Samples(24, 881) + "\x01\x02"), "Cab Sim 1",
                   "%1.wav holds only 881 samples; \"Cab Sim 1\" needs 882.", "^irdata: "},
        BrokenCase{"short32", Wav(32, Samples(32, 911)), "Plain Cab Sim",
                   "%1.wav holds only 911 samples; \"Plain Cab Sim\" needs 912.", "^irdata: "},
        BrokenCase{"noData", kHeaderOnly, "Amber Fuzz + Cab Sim",
                   "%1.wav holds only 0 samples; \"Amber Fuzz + Cab Sim\" needs 703.",
                   "^irdata: $"},
        BrokenCase{"bits16", Wav(16, Samples(16, 2000)), "Cab Sim 1",
                   "%1.wav has 16-bit samples; \"Cab Sim 1\" needs 24- or 32-bit samples.",
                   "^irdata: $"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
