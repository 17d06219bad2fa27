#include <QFile>
#include <QRegularExpression>

#include "library/ImpulseResponse.h"
#include "platform/Console.h"
#include "tests/support/EditorFixture.h"

// Readable failures for Qt texts.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
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

struct Chunk {
    QByteArray id;
    QByteArray data;
};

// A canonical mono WAV file, with any chunks placed between the RIFF header
// and "fmt ".
QByteArray Wav(int bits, const QByteArray& samples, const std::vector<Chunk>& before = {}) {
    QByteArray body = "WAVE";
    for (const Chunk& c : before) body += c.id + Le(c.data.size(), 4) + c.data;
    const int blockAlign = bits / 8;
    body += "fmt " + Le(16, 4) + Le(1, 2) + Le(1, 2) + Le(48000, 4) + Le(48000 * blockAlign, 4) +
            Le(blockAlign, 2) + Le(bits, 2);
    body += "data" + Le(samples.size(), 4) + samples;
    return "RIFF" + Le(body.size(), 4) + body;
}

// count samples of `bits`, starting with `first` (raw little-endian bytes), the rest
// a ramp so that every word differs.
QByteArray Samples(int bits, int count, const QByteArray& first = {}) {
    QByteArray bytes = first;
    const int size = bits / 8;
    for (int k = static_cast<int>(first.size()) / size; k < count; ++k)
        bytes += Le(static_cast<std::uint32_t>(k * 0x010203), size);
    return bytes;
}

QString Hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex().toUpper());
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

class IrRead : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        StartEditor();
        ConsolePrint("before");
        NewConsoleLines();
    }
    QString Save(const QString& name, const QByteArray& bytes) {
        const QString path = documents.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    // Reads the file for the algorithm; returns the lines logged.
    QStringList Read(const QString& path, const char* algorithm,
                     std::optional<IrReading>* result = nullptr) {
        auto reading =
            ReadImpulseResponseFile(path, algorithm ? FindIrAlgorithm(algorithm) : nullptr);
        if (result) *result = reading;
        return NewConsoleLines();
    }
};

TEST_F(IrRead, LogsEveryHeaderFieldAndTheAudioData) {
    const QByteArray samples = QByteArray::fromHex(
        "000080"
        "01007F"
        "FFFFFF");
    const QByteArray file = Wav(24, samples);
    const QString path = Save("three.wav", file);
    std::optional<IrReading> reading;
    EXPECT_EQ(Read(path, nullptr, &reading),
              (QStringList{path, "three.wav", QString::number(file.size()), Hex(file), "ID: RIFF",
                           "chunk size: " + QString::number(file.size() - 8), "Subchunk ID: fmt ",
                           "Subchink size: 16", "Audio format: 1", "Num_of_channels: 1",
                           "Sample_Rate: 48000", "Byte_Rate: 144000", "Block align: 3",
                           "Bits_per_sample: 24", "subchunk2size: 9", "Audio data: " + Hex(samples),
                           "irdata: ", "irdata swapped endianess: "}));
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->irText, "");
    EXPECT_EQ(IrSummary(*reading),
              "Selected file data:\r\nName: three.wav\r\nSize: " + QString::number(file.size()) +
                  "\r\nSample rate: 48000\r\nBits per sample: 24");
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(IrRead, ConvertsTheFirstNSamplesOfEither24Or32Bits) {
    struct Case {
        int bits;
        QByteArray first;
        QStringList words;
    };
    const Case cases[] = {
        {24,
         QByteArray::fromHex("000080"
                             "01007F"
                             "FFFFFF"),
         {"FF800000", "007F0001", "FFFFFFFF"}},
        {32,
         QByteArray::fromHex("78563412"
                             "00000080"),
         {"00123456", "FF800000"}},
    };
    for (const Case& c : cases) {
        // One sample more than the algorithm takes: it is left out.
        const QString path = Save("ir.wav", Wav(c.bits, Samples(c.bits, 704, c.first)));
        std::optional<IrReading> reading;
        const QStringList lines = Read(path, "TRV + Cab Sim", &reading);
        ASSERT_TRUE(reading) << c.bits;
        EXPECT_EQ(reading->irText.size(), 703 * 8);
        EXPECT_TRUE(reading->irText.startsWith(c.words.join(""))) << c.bits;

        const auto raw = LineStarting(lines, "irdata: ");
        ASSERT_GE(raw, 0);
        EXPECT_EQ(lines[raw].size(), QString("irdata: ").size() + 703 * c.bits / 4);
        // One line per word, then the whole IR text.
        EXPECT_EQ(lines.mid(raw + 1, c.words.size()), c.words) << c.bits;
        EXPECT_EQ(lines.size(), raw + 1 + 703 + 1);
        EXPECT_EQ(lines.last(), "irdata swapped endianess: " + reading->irText);
    }
}

TEST_F(IrRead, AChunkBeforeFmtChangesOnlyTheSubchunkIdLine) {
    const QByteArray samples = Samples(24, 882);
    std::optional<IrReading> plain, junk;
    const QStringList plainLines = Read(Save("plain.wav", Wav(24, samples)), "Cab Sim 1", &plain);
    // The JUNK data holds the hex digits of "fmt " across byte boundaries
    // (1666D74205): only a whole-byte match is the chunk.
    const QStringList junkLines =
        Read(Save("junk.wav", Wav(24, samples, {{"JUNK", QByteArray::fromHex("1666D742050000")}})),
             "Cab Sim 1", &junk);
    ASSERT_TRUE(plain && junk);
    EXPECT_EQ(junk->irText, plain->irText);
    const auto from = [](const QStringList& lines) {
        return lines.mid(LineStarting(lines, "Subchunk ID: "));
    };
    QStringList expected = from(plainLines);
    expected[0] = "Subchunk ID: JUNK";
    EXPECT_EQ(from(junkLines), expected);
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(IrRead, SixteenBitSamplesGiveNoIrText) {
    std::optional<IrReading> reading;
    const QStringList lines = Read(Save("16.wav", Wav(16, Samples(16, 1000))), nullptr, &reading);
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->irText, "");
    EXPECT_TRUE(lines.contains("Bits_per_sample: 16"));
    EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList{"irdata: ", "irdata swapped endianess: "}));
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

class IrBroken : public IrRead, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(IrBroken, IsExplainedAndGivesNothing) {
    const BrokenCase& c = GetParam();
    const QString path = Save(QString::fromLatin1(c.name) + ".wav", c.bytes);
    std::optional<IrReading> reading;
    const QStringList lines = Read(path, c.algorithm, &reading);
    EXPECT_FALSE(reading);
    EXPECT_EQ(dialogs->messages, QStringList{QString(c.message).arg(c.name)});
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(QRegularExpression(c.lastLine).match(lines.last()).hasMatch())
        << lines.last().left(60).toStdString();
}

const QByteArray kHeaderOnly = Wav(24, {});

INSTANTIATE_TEST_SUITE_P(
    Files, IrBroken,
    ::testing::Values(
        BrokenCase{"empty",
                   {},
                   "Cab Sim 1",
                   "%1.wav is too short to be a WAV file: its header needs 44 bytes.",
                   "^$"},
        BrokenCase{"header43", kHeaderOnly.left(43), "Cab Sim 1",
                   "%1.wav is too short to be a WAV file: its header needs 44 bytes.",
                   "^[0-9A-F]+$"},
        BrokenCase{"nofmt", QByteArray(kHeaderOnly).replace("fmt ", "xyz "), nullptr,
                   "%1.wav is not a WAV file the editor can read: it has no \"fmt \" chunk.",
                   "^chunk size: "},
        // The hex digits of "fmt " across byte boundaries are no chunk.
        BrokenCase{"straddled",
                   QByteArray(kHeaderOnly)
                       .replace("fmt " + Le(16, 4), QByteArray::fromHex("1666D74205000000")),
                   nullptr,
                   "%1.wav is not a WAV file the editor can read: it has no \"fmt \" chunk.",
                   "^chunk size: "},
        // "fmt " so near the end that its header is cut off.
        BrokenCase{"fmtAtEnd", kHeaderOnly.left(12) + QByteArray(40, 'x') + "fmt " + Le(16, 4),
                   nullptr, "%1.wav is too short to be a WAV file: its header needs 44 bytes.",
                   "^chunk size: "},
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

TEST(RearrangedWav, FindsTheFmtChunkOnlyAtWholeBytes) {
    // 16 66 D7 42 05 reads "1666D74205" in hex: the digits of "fmt " across bytes.
    const QByteArray straddle = QByteArray::fromHex("1666D74205000000");
    ASSERT_TRUE(Hex(straddle).contains("666D7420"));
    const QByteArray riff = QByteArray("RIFF") + Le(100, 4) + "WAVE";
    const QByteArray fmt = QByteArray("fmt ") + Le(16, 4) + QByteArray(16, '\x01');

    EXPECT_FALSE(RearrangedWav(riff + "JUNK" + Le(8, 4) + straddle));
    EXPECT_EQ(RearrangedWav(riff + "JUNK" + Le(8, 4) + straddle + fmt), riff + fmt);
    EXPECT_EQ(RearrangedWav(riff + fmt), riff + fmt);
}

TEST(SpliceImpulseResponse, ReplacesExactlyTheRegion) {
    QString image;
    for (int k = 0; k < 9280; ++k) image += QChar('a' + k % 26);
    const QString ir(7056, 'I');
    const auto spliced = SpliceImpulseResponse(image, FindIrAlgorithm("Cab Sim 1"), ir);
    ASSERT_TRUE(spliced);
    EXPECT_EQ(spliced->size(), image.size());
    EXPECT_EQ(spliced->left(460), image.left(460));
    EXPECT_EQ(spliced->mid(460, 7056), ir);
    EXPECT_EQ(spliced->mid(7516), image.mid(7516));
    // An image too short to hold the region is refused, not cut.
    EXPECT_FALSE(SpliceImpulseResponse(image.left(7515), FindIrAlgorithm("Cab Sim 1"), ir));
    // Algorithms without a region take the IR text alone.
    EXPECT_EQ(SpliceImpulseResponse(image, nullptr, ""), "");
}

}  // namespace
