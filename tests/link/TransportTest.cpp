// Message transport and reply decoding: exact bytes out, exact values and
// log lines in, and replies read whole.

#include <array>
#include <random>
#include <string>

#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "platform/Errors.h"
#include "tests/link/LinkSupport.h"
#include "tests/support/EditorFixture.h"

namespace {

using namespace linktest;

// Cases show their names in test listings.
template <class Case>
auto operator<<(std::ostream& os, const Case& c) -> decltype(c.name, os) {
    return os << c.name;
}

// Starts every case from the transport's start-up state, also when the cases
// share one process.
class Transport : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        FirmwareUpgradeMode = false;
        EepromReadActive = false;
        EepromStartAddress = 0;
        ReplyValues.clear();
    }
};

// ---------------------------------------------------------------------------
// The decoder as the pedal's tools define it, written out step by step over
// the hex text of the whole 64 KiB receive buffer. DecodeReply scans only the
// bytes of one reply; for a buffer that holds that reply and zeros after it
// the two must agree on values, log lines and errors.
struct Decoded {
    std::vector<std::uint8_t> values;
    QStringList log;
    QString error;  // empty unless a digit position failed to convert
};

Decoded WholeBufferDecode(const std::array<std::uint8_t, 65536>& buffer,
                          std::vector<std::uint8_t> values, bool eepromRead,
                          std::uint16_t eepromStart) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string H;
    H.reserve(2 * buffer.size());
    for (std::uint8_t b : buffer) {
        H += kHex[b >> 4];
        H += kHex[b & 15];
    }
    std::size_t start = 0;
    std::size_t count = 0;
    std::uint8_t last = 0;
    for (std::size_t j = 0; j < H.size(); ++j) {
        if (H[j] == 'A') {
            start = j + 1;
        } else if (H[j] == 'D') {
            std::string seg = H.substr(start, j - start);
            if (!seg.empty()) seg.pop_back();
            std::string number;
            if (seg.size() == 2) number = {seg[1]};
            if (seg.size() == 4) number = {seg[1], seg[3]};
            if (seg.size() == 6) number = {seg[1], seg[3], seg[5]};
            if (!number.empty()) {
                for (char c : number)
                    if (c < '0' || c > '9')
                        return {values,
                                {},
                                QStringLiteral("'%1' is not a valid integer value")
                                    .arg(QString::fromStdString(number))};
                last = static_cast<std::uint8_t>(std::stoi(number) % 256);
            }
            ++count;
            values.resize(count);
            values[count - 1] = last;
            if (j < H.size() - 1 && H[j + 1] == 'A') ++j;
            start = j + 1;
        }
    }
    QStringList log{QStringLiteral("num of bytes received: %1").arg(count)};
    log << Listing(values, eepromRead ? eepromStart : 0);
    return {values, log, {}};
}

// DecodeReply on one reply, with what it left in ReplyValues and the console.
Decoded DecodeWithEditor(const sim::Bytes& reply, const std::vector<std::uint8_t>& before) {
    ReplyValues = before;
    ConsoleRecorder console;
    Decoded result;
    try {
        DecodeReply(QByteArray(reinterpret_cast<const char*>(reply.data()),
                               static_cast<qsizetype>(reply.size())));
    } catch (const platform::ConversionError& e) {
        result.error = e.message();
    }
    result.values = ReplyValues;
    result.log = console.Texts();
    return result;
}

struct DecodeCase {
    const char* name;
    sim::Bytes reply;
    std::vector<std::uint8_t> before;  // ReplyValues left by an earlier reply
    std::vector<std::uint8_t> values;  // ReplyValues afterwards
    int count;                         // values found now; -1: the conversion fails
    QString error;
};

std::vector<DecodeCase> DecodeCases() {
    const std::vector<std::uint8_t> earlier{0x11, 0x22, 0x33, 0x44};
    return {
        {"WorkedExample", Text("12\r\n255\r\n"), {}, {0x0C, 0xFF}, 2, {}},
        {"CarriageReturnsOnly", Text("1\r2\r"), {}, {1, 2}, 2, {}},
        {"EmptyLineRepeatsThePreviousValue", Text("5\r\r"), {}, {5, 5}, 2, {}},
        {"Zero", Text("0\r\n"), {}, {0}, 1, {}},
        {"NoLineFeed", Text("7\r"), {}, {7}, 1, {}},
        {"Modulo256", Text("300\r\n999\r\n"), {}, {0x2C, 0xE7}, 2, {}},
        {"FirstValueOfFourDigitsIsZero", Text("1234\r\n"), {}, {0}, 1, {}},
        {"LaterValueOfFourDigitsRepeats", Text("9\r\n1234\r\n"), {}, {9, 9}, 2, {}},
        // A shorter reply replaces the whole array.
        {"ShorterReplyReplacesEarlierValues", Text("3\r\n"), earlier, {3}, 1, {}},
        // No carriage return: nothing decoded, the earlier values are listed again.
        {"NoCarriageReturnKeepsEarlierValues", Text("12"), earlier, earlier, 0, {}},
        {"NothingAtAll", {}, {}, {}, 0, {}},
        // Marker nibbles off the byte boundary decode the way the hex scan reads them.
        {"MarkersInsideGarbageBytes", HexBytes("A0 37 D0"), {}, {3}, 1, {}},
        // Non-digit bytes before a CR: the conversion fails; values decoded
        // before it stay, and nothing is logged.
        {"DigitB", Text("7\r\n;\r\n"), earlier, {7}, -1, "'B' is not a valid integer value"},
        {"DigitC", Text("7\r\n1<\r\n"), earlier, {7}, -1, "'1C' is not a valid integer value"},
        {"DigitE", Text(">\r\n"), earlier, earlier, -1, "'E' is not a valid integer value"},
        {"DigitF", Text("7\r\n8\r\n12?\r\n"), {}, {7, 8}, -1, "'12F' is not a valid integer value"},
    };
}

class Decode : public Transport, public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(Decode, GivesTheValuesAndLogLines) {
    const DecodeCase& c = GetParam();
    const Decoded got = DecodeWithEditor(c.reply, c.before);
    EXPECT_EQ(got.values, c.values);
    EXPECT_EQ(got.error, c.error);
    if (c.count < 0) {
        EXPECT_TRUE(got.log.isEmpty()) << got.log.join('|').toStdString();
    } else {
        QStringList expected{QStringLiteral("num of bytes received: %1").arg(c.count)};
        expected << Listing(c.values);
        EXPECT_EQ(got.log, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Replies, Decode, ::testing::ValuesIn(DecodeCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Transport, WorkedExampleLogsExactlyThreeLines) {
    const Decoded got = DecodeWithEditor(Text("12\r\n255\r\n"), {});
    EXPECT_EQ(got.log, (QStringList{"num of bytes received: 2", "0:    0C", "1:    FF"}));
}

TEST_F(Transport, EepromReadsNumberTheListingFromTheStartAddress) {
    EepromReadActive = true;
    EepromStartAddress = 0x3FFE;
    const Decoded got = DecodeWithEditor(Text("1\r\n2\r\n"), {});
    EXPECT_EQ(got.log, (QStringList{"num of bytes received: 2", "16382:    01", "16383:    02"}));
}

// Table cases and generated replies against the whole-buffer decoder.
TEST_F(Transport, AgreesWithTheWholeBufferDecoderOnCleanBuffers) {
    std::vector<std::pair<sim::Bytes, std::vector<std::uint8_t>>> inputs;
    for (const DecodeCase& c : DecodeCases()) inputs.emplace_back(c.reply, c.before);

    std::mt19937 random(20240611);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char* alphabets[] = {"0123456789\r\n", "0123456789\r\r\n", "05\r\n"};
    for (int i = 0; i < 300; ++i) {
        // Mostly the pedal's own alphabet, with a varying share of arbitrary bytes.
        const int garbagePercent = std::array{0, 2, 10, 40}[static_cast<std::size_t>(pick(4))];
        const std::string alphabet = alphabets[pick(3)];
        sim::Bytes reply(static_cast<std::size_t>(pick(400)));
        for (auto& b : reply)
            b = pick(100) < garbagePercent
                    ? static_cast<std::uint8_t>(pick(256))
                    : static_cast<std::uint8_t>(alphabet[static_cast<std::size_t>(
                          pick(static_cast<int>(alphabet.size())))]);
        std::vector<std::uint8_t> before(static_cast<std::size_t>(pick(4)));
        for (auto& v : before) v = static_cast<std::uint8_t>(pick(256));
        inputs.emplace_back(reply, before);
    }

    int failures = 0, decodes = 0;
    for (bool eeprom : {false, true}) {
        EepromReadActive = eeprom;
        EepromStartAddress = 100;
        for (const auto& [reply, before] : inputs) {
            std::array<std::uint8_t, 65536> buffer{};
            std::copy(reply.begin(), reply.end(), buffer.begin());
            const Decoded want = WholeBufferDecode(buffer, before, eeprom, 100);
            const Decoded got = DecodeWithEditor(reply, before);
            const std::string shown = QByteArray(reinterpret_cast<const char*>(reply.data()),
                                                 static_cast<qsizetype>(reply.size()))
                                          .toHex(' ')
                                          .toStdString();
            ASSERT_EQ(got.values, want.values) << shown;
            ASSERT_EQ(got.log, want.log) << shown;
            ASSERT_EQ(got.error, want.error) << shown;
            (want.error.isEmpty() ? decodes : failures) += 1;
        }
    }
    // The generated replies reach both outcomes, or the comparison proves little.
    EXPECT_GT(failures, 0);
    EXPECT_GT(decodes, 0);
}

// ---------------------------------------------------------------------------

struct DspWrite {
    std::uint16_t address;
    std::uint32_t value;
    const char* text;
    const char* bytes;
};

TEST_F(Transport, ParameterWriteLogsThenSendsSevenBytes) {
    AddPedal("QM1");
    ASSERT_EQ(PedalLink::Instance().Open(QStringLiteral("QM1")), ftd::FT_OK);
    const DspWrite cases[] = {
        {0x00E8, 0x400000, "0100E800400000", "01 00 E8 00 40 00 00"},
        // Negative values go out in two's complement.
        {0xFFFF, static_cast<std::uint32_t>(-2), "01FFFFFFFFFFFE", "01 FF FF FF FF FF FE"},
    };
    for (const DspWrite& c : cases) {
        driver->Pedal().ClearMessages();
        ConsoleRecorder console;
        PedalLink::Instance().WriteParameter(c.address, c.value);
        EXPECT_EQ(console.Texts(), QStringList{QStringLiteral("write to DSP msg: ") + c.text});
        EXPECT_EQ(Sent(), std::vector<sim::Bytes>{HexBytes(c.bytes)});
    }
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_EQ(clock->sleeps, 0);
}

// ---------------------------------------------------------------------------

// When an answer is whole, for each shape an exchange can wait for: what
// came so far, and what the link makes of it.
struct ShapeCase {
    const char* name;
    AnswerShape shape;
    const char* received;
    AnswerProgress progress;
    const char* kept;  // the answer cut to its end (whole answers only)
};

class AnswerShapes : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(AnswerShapes, TellWholeFromPartialAndCutTheTail) {
    const ShapeCase& c = GetParam();
    QByteArray received(c.received);
    EXPECT_EQ(CheckAnswer(c.shape, received), c.progress);
    if (c.progress == AnswerProgress::Whole) {
        EXPECT_EQ(received, QByteArray(c.kept));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AnswerShapes,
    ::testing::Values(
        ShapeCase{"TwoLinesWhole", AnswerShape::LinesOf(2), "12\r\n7\r\n", AnswerProgress::Whole,
                  "12\r\n7\r\n"},
        // The LF may still be on its way; the CR ends the line.
        ShapeCase{"LastLineWithoutItsLF", AnswerShape::LinesOf(2), "12\r\n7\r",
                  AnswerProgress::Whole, "12\r\n7\r"},
        ShapeCase{"CarriageReturnsOnly", AnswerShape::LinesOf(2), "1\r2\r", AnswerProgress::Whole,
                  "1\r2\r"},
        ShapeCase{"OneLineShort", AnswerShape::LinesOf(2), "12\r\n7", AnswerProgress::Partial, ""},
        // What follows the last line is not part of the answer.
        ShapeCase{"TailCut", AnswerShape::LinesOf(1), "5\r\n99\r\n", AnswerProgress::Whole,
                  "5\r\n"},
        ShapeCase{"EndlessGarbage", AnswerShape::LinesOf(1),
                  "UUUUUUUUUUUUUUUUUUUUUUUUUUUUUUUUUUUU"
                  "UUUUUUUUUUUUUUUUUUUUUUUUUUUUUUUUUUUUUUU",
                  AnswerProgress::TooLong, ""},
        ShapeCase{"UploadAnswer", AnswerShape::TextLine(17), "Upload complete\r\n",
                  AnswerProgress::Whole, "Upload complete\r\n"},
        ShapeCase{"UploadAnswerInPieces", AnswerShape::TextLine(17), "Upload com",
                  AnswerProgress::Partial, ""},
        ShapeCase{"LineTooLong", AnswerShape::TextLine(17), "Upload completed!!\r\n",
                  AnswerProgress::TooLong, ""},
        ShapeCase{"BytesWhole", AnswerShape::BytesOf(1), "\x79", AnswerProgress::Whole, "\x79"},
        ShapeCase{"BytesWithATail", AnswerShape::BytesOf(1), "\x79\x79", AnswerProgress::Whole,
                  "\x79"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
