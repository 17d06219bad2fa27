// The bootloader exchange piece by piece: the block split, the frames and
// their checksums, the pacing of every byte, and how answers are judged.

#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "firmware/Bootloader.h"
#include "platform/Resources.h"
#include "tests/firmware/FirmwareFixture.h"

namespace {

using Step = ScriptedBootloaderDriver::Step;
using Protocol = FirmwareFixture;

void LoadImage(const QByteArray& image) {
    FirmwareSize = static_cast<std::int32_t>(image.size());
    FirmwareHexText = QString::fromLatin1(image.toHex().toUpper());
}

QString HexOf(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex().toUpper());
}

struct SplitCase {
    const char* name;
    int size;
    // The log, with "<i>" standing for block i's hex text.
    QStringList log;
};
void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.name;
}

class Split : public Protocol, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(Split, CutsTheImageIntoBlocksAndLogsEachOne) {
    const SplitCase& c = GetParam();
    const QByteArray image = TestImage(c.size);
    LoadImage(image);
    CaptureConsole();
    SplitFirmwareImage();

    QStringList expected;
    for (QString line : c.log) {
        for (int i = 0; i < 3; ++i)
            line.replace(QStringLiteral("<%1>").arg(i), HexOf(image.mid(256 * i, 256)));
        expected << line;
    }
    EXPECT_EQ(captured, expected);
    const int blocks = (c.size + 255) / 256;
    ASSERT_EQ(FirmwareBlockCount, blocks);
    EXPECT_EQ(LastBlockBytes, c.size % 256);
    for (int i = 0; i < blocks; ++i) {
        const QByteArray part = image.mid(256 * i, 256);
        EXPECT_EQ(FirmwareBlockTexts[static_cast<std::size_t>(i)], HexOf(part)) << i;
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(FirmwareBlockData[i].data()),
                             static_cast<qsizetype>(part.size())),
                  part)
            << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Images, Split,
    ::testing::Values(
        // Whole blocks only: the last-chunk line comes once, among the first two.
        SplitCase{"TwoFullBlocks",
                  512,
                  {"P num of chunks: 2", "P num of bytes last chunk: 0",
                   "A chunk from string 0: ", "A <0>", "P chunk 0 size: 256", "A ", "A ",
                   "A chunk from string 1: ", "A <1>", "P chunk 1 size: 256", "A ", "A "}},
        // Shorter than a block: no full block, one block of 200 bytes.
        SplitCase{"OnePartialBlock",
                  200,
                  {"P num of chunks: 0", "P num of bytes last chunk: 200",
                   "P num of bytes last chunk: 200", "A chunk from string 0: ", "A <0>",
                   "P chunk 0 size: 200", "A ", "A "}},
        SplitCase{"FullAndPartial",
                  300,
                  {"P num of chunks: 1", "P num of bytes last chunk: 44", "A chunk from string 0: ",
                   "A <0>", "P chunk 0 size: 256", "A ", "A ", "P num of bytes last chunk: 44",
                   "A chunk from string 1: ", "A <1>", "P chunk 1 size: 44", "A ", "A "}},
        SplitCase{"Empty", 0, {"P num of chunks: 0", "P num of bytes last chunk: 0"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Protocol, TheShippedImageMakes210BlocksEndingWith200Bytes) {
    const QByteArray image = platform::ReadResource("FIRMWARE_4");
    ASSERT_EQ(image.size(), 53704);
    LoadImage(image);
    CaptureConsole();
    SplitFirmwareImage();
    EXPECT_EQ(captured.mid(0, 2),
              (QStringList{"P num of chunks: 209", "P num of bytes last chunk: 200"}));
    EXPECT_EQ(FirmwareBlockCount, 210);
    EXPECT_EQ(LastBlockBytes, 200);
    EXPECT_EQ(FirmwareBlockTexts[208].size(), 512);
    EXPECT_EQ(FirmwareBlockTexts[209], HexOf(image.right(200)));
    EXPECT_TRUE(captured.contains("P chunk 209 size: 200"));
}

TEST_F(Protocol, OversizedImageIsRefusedBeforeTheTablesChange) {
    LoadImage(TestImage(300));
    SplitFirmwareImage();
    LoadImage(TestImage(131073));
    EXPECT_THROW(SplitFirmwareImage(), FirmwareImageRejected);
    EXPECT_EQ(FirmwareBlockCount, 2);
    EXPECT_EQ(LastBlockBytes, 44);
}

TEST_F(Protocol, ImagesWorthWritingEndBelowTheVersionRecord) {
    const std::pair<int, bool> cases[] = {{0, false},     {1, true},       {53704, true},
                                          {130048, true}, {130049, false}, {131073, false}};
    for (const auto& [size, accepted] : cases) {
        FirmwareSize = size;
        if (accepted)
            EXPECT_NO_THROW(CheckFirmwareImage()) << size;
        else
            EXPECT_THROW(CheckFirmwareImage(), FirmwareImageRejected) << size;
    }
}

struct FrameCase {
    std::uint32_t address;
    const char* frame;
    const char* checksum;
};
void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << Hex8(c.address).toStdString();
}

class AddressFrame : public Protocol, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(AddressFrame, WriteMemoryCommandSendsTheAddressFrameByteByByte) {
    const FrameCase& c = GetParam();
    OpenBootloader();
    RecordTimeline();
    BootloaderAddress = c.address;
    CaptureConsole();
    SendWriteMemoryCommand();
    EXPECT_EQ(captured,
              (QStringList{"P SEND WRITE COMMAND", "P num of bytes received: 1", "A received: 79",
                           "A ACK", "P SEND ADDRESS + CHECKSUM", "P Address: " + Hex8(c.address),
                           QStringLiteral("P address checksum: ") + c.checksum,
                           "P num of bytes received: 1", "A received: 79", "A ACK"}));
    EXPECT_EQ(Hex2(AddressChecksum(c.address)), c.checksum);
    EXPECT_EQ(Timeline(), QStringLiteral("31 s1 CE s1 s20 ") +
                              QString(c.frame).replace(QLatin1Char(' '), " s1 ") +
                              QStringLiteral(" s1 s20"));
}

INSTANTIATE_TEST_SUITE_P(Addresses, AddressFrame,
                         ::testing::Values(FrameCase{0x08000000, "08 00 00 00 08", "08"},
                                           FrameCase{0x08000100, "08 00 01 00 09", "09"},
                                           FrameCase{0x0801FC00, "08 01 FC 00 F5", "F5"}),
                         [](const auto& info) { return Hex8(info.param.address).toStdString(); });

TEST_F(Protocol, BlockChecksumIsTheCountByteXorTheData) {
    const struct {
        QByteArray image;
        std::uint8_t checksum;
    } cases[] = {
        {QByteArray(256, '\xFF'), 0xFF},  // FF xor an even number of FF
        {QByteArray::fromHex("010203"), 0x02},
        {QByteArray::fromHex("A1B2C3"), 0xD2},
        {QByteArray(1, '\x5A'), 0x5A},
    };
    for (const auto& c : cases) {
        LoadImage(c.image);
        SplitFirmwareImage();
        const auto count = static_cast<std::uint8_t>(c.image.size() - 1);
        EXPECT_EQ(BlockChecksum(0, count), c.checksum) << c.image.toHex().constData();
    }
}

TEST_F(Protocol, VersionRecordCarriesTheVersionAndItsChecksum) {
    const std::pair<std::int32_t, const char*> cases[] = {
        {4, "07000000000000000403"},
        {7, "07000000000000000700"},
        {0x12, "07000000000000001215"},
        {255, "0700000000000000FFF8"},
    };
    for (const auto& [version, hex] : cases) {
        const auto frame = VersionRecordFrame(version);
        const QByteArray bytes(reinterpret_cast<const char*>(frame.data()), 10);
        EXPECT_EQ(HexOf(bytes), QString::fromLatin1(hex)) << version;
    }
}

TEST_F(Protocol, OneBlockIsPacedByteByByteWithBusyPausesBetweenDataBytes) {
    OpenBootloader();
    SendEraseCommand();
    LoadImage(QByteArray::fromHex("A1B2C3"));
    SplitFirmwareImage();
    RecordTimeline();
    CaptureConsole();
    std::vector<int> maximum, positions;
    WriteFirmwareBlocks(
        {[&](int m) { maximum.push_back(m); }, [&](int p) { positions.push_back(p); }});
    EXPECT_EQ(Timeline(),
              "31 s1 CE s1 s20 08 s1 00 s1 00 s1 00 s1 08 s1 s20 "
              "02 s1 A1 b B2 b C3 b D2 s1");
    EXPECT_EQ(captured, (QStringList{"A Start Write Command",
                                     "A ",
                                     "P SEND WRITE COMMAND",
                                     "P num of bytes received: 1",
                                     "A received: 79",
                                     "A ACK",
                                     "P SEND ADDRESS + CHECKSUM",
                                     "P Address: 08000000",
                                     "P address checksum: 08",
                                     "P num of bytes received: 1",
                                     "A received: 79",
                                     "A ACK",
                                     "P SEND N BYTE + DATA + CHECKSUM",
                                     "P N_byte: 02",
                                     "P chunk size: 3",
                                     "P data checksum: D2",
                                     "P num of bytes received: 1",
                                     "A received: 79",
                                     "A ACK",
                                     "P "}));
    EXPECT_EQ(maximum, std::vector<int>{1});
    EXPECT_EQ(positions, std::vector<int>{0});
    EXPECT_EQ(BootloaderAddress, 0x08000003u);
}

TEST_F(Protocol, FullBlockIsAnnouncedWithCountByteFF) {
    OpenBootloader();
    SendEraseCommand();
    LoadImage(QByteArray(256, '\xFF'));
    SplitFirmwareImage();
    CaptureConsole();
    WriteFirmwareBlocks({});
    EXPECT_TRUE(captured.contains("P N_byte: FF"));
    EXPECT_TRUE(captured.contains("P chunk size: 256"));
    EXPECT_TRUE(captured.contains("P data checksum: FF"));
    // The count byte, 256 data bytes and the checksum, each written alone.
    const auto& writes = boot->Writes();
    ASSERT_GE(writes.size(), 258u);
    EXPECT_EQ(writes[writes.size() - 258], sim::Bytes{0xFF});
    EXPECT_TRUE(std::all_of(writes.end() - 258, writes.end(),
                            [](const sim::Bytes& w) { return w == sim::Bytes{0xFF}; }));
}

TEST_F(Protocol, EmptyImageSendsNoBlockAndSetsTheBarMaximumToZero) {
    OpenBootloader();
    LoadImage(QByteArray());
    SplitFirmwareImage();
    const std::size_t before = boot->Writes().size();
    CaptureConsole();
    std::vector<int> maximum, positions;
    WriteFirmwareBlocks(
        {[&](int m) { maximum.push_back(m); }, [&](int p) { positions.push_back(p); }});
    EXPECT_EQ(boot->Writes().size(), before);
    EXPECT_EQ(maximum, std::vector<int>{0});
    EXPECT_TRUE(positions.empty());
    EXPECT_EQ(captured, (QStringList{"A Start Write Command", "A "}));
}

TEST_F(Protocol, EraseAndGoArePacedAsThePedalExpects) {
    OpenBootloader();
    RecordTimeline();
    CaptureConsole();
    SendEraseCommand();
    SendGoCommand();
    EXPECT_EQ(Timeline(),
              "s1 43 s1 BC s20 s1 FF s1 00 s20 "
              "21 s1 DE s1 s100 08 s1 00 s1 00 s1 00 s1 08 s1 s100");
    EXPECT_EQ(
        captured,
        (QStringList{"A Start Erase Command", "P num of bytes received: 1", "A received: 79",
                     "A ACK", "P num of bytes received: 1", "A received: 79", "A ACK", "P ",
                     "P SEND GO COMMAND", "P num of bytes received: 1", "A received: 79", "A ACK",
                     "P SEND ADDRESS + CHECKSUM", "P Address: 08000000", "P address checksum: 08",
                     "P num of bytes received: 1", "A received: 79", "A ACK"}));
    EXPECT_EQ(boot->Started(), 0x08000000u);
}

// The one function that reads the bootloader: whatever the answer, the step
// ends with a verdict and nothing of it is left for the next step.
struct ExchangeCase {
    const char* name;
    sim::Bytes before;  // already waiting when the step starts (an earlier step's leftovers)
    sim::Bytes answer;  // what the bootloader sends once the step's bytes are out
    int answerBytes;
    BootloaderAnswer::Outcome outcome;
    QStringList log;  // LogBootloaderReply's lines for it
};
void PrintTo(const ExchangeCase& c, std::ostream* os) {
    *os << c.name;
}

class Exchange : public Protocol, public ::testing::WithParamInterface<ExchangeCase> {};

TEST_P(Exchange, ReadsExactlyTheAnswerAndLeavesNothingBehind) {
    const ExchangeCase& c = GetParam();
    OpenBootloader();
    boot->Queue(c.before);
    bool sent = false;
    const BootloaderAnswer answer = BootloaderExchange(
        [&] {
            sent = true;
            boot->Queue(c.answer);
        },
        c.answerBytes, 20);
    EXPECT_TRUE(sent);
    EXPECT_EQ(answer.outcome, c.outcome);
    EXPECT_EQ(ToBytes(answer.bytes), c.answer);
    std::uint32_t left = 99;
    ASSERT_EQ(boot->GetQueueStatus(DeviceHandle, left), ftd::FT_OK);
    EXPECT_EQ(left, 0u);
    if (c.answerBytes == 1) {
        CaptureConsole();
        LogBootloaderReply(answer);
        EXPECT_EQ(captured, c.log);
    }
}

const QStringList kAckLog = {"P num of bytes received: 1", "A received: 79", "A ACK"};

INSTANTIATE_TEST_SUITE_P(
    Answers, Exchange,
    ::testing::Values(
        ExchangeCase{"Ack", {}, {0x79}, 1, BootloaderAnswer::Outcome::Whole, kAckLog},
        ExchangeCase{"Nack",
                     {},
                     {0x1F},
                     1,
                     BootloaderAnswer::Outcome::Refused,
                     {"P num of bytes received: 1", "A received: 1F", "A NOT ACK"}},
        ExchangeCase{"OtherByte",
                     {},
                     {0x00},
                     1,
                     BootloaderAnswer::Outcome::WrongByte,
                     {"P num of bytes received: 1", "A received: 00"}},
        ExchangeCase{"AckWithATail",
                     {},
                     {0x79, 0x1F},
                     1,
                     BootloaderAnswer::Outcome::TooLong,
                     {"P num of bytes received: 2", "A received: 79", "A ACK"}},
        ExchangeCase{"Nothing", {}, {}, 1, BootloaderAnswer::Outcome::Silent, {"A received: "}},
        // An ACK left over from an earlier step is not this step's answer.
        ExchangeCase{
            "OnlyAnOldAck", {0x79}, {}, 1, BootloaderAnswer::Outcome::Silent, {"A received: "}},
        ExchangeCase{"ReadWhole", {}, {0x79, 1, 2, 3}, 4, BootloaderAnswer::Outcome::Whole, {}},
        ExchangeCase{"ReadCut", {}, {0x79, 1}, 4, BootloaderAnswer::Outcome::Incomplete, {}},
        ExchangeCase{
            "ReadTooLong", {}, {0x79, 1, 2, 3, 4}, 4, BootloaderAnswer::Outcome::TooLong, {}},
        ExchangeCase{"ReadRefused", {}, {0x1F}, 4, BootloaderAnswer::Outcome::Refused, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Read Memory as AN3155 has it: 11 EE, the address frame with its XOR, N - 1
// and its complement; the answer is ACK at each stage, then the N bytes. The
// read-back sends it without pauses.
TEST_F(Protocol, ReadMemoryFramesFollowTheBootloaderFormat) {
    OpenBootloader();
    SendEraseCommand();
    LoadImage(QByteArray::fromHex("A1B2C3"));
    SplitFirmwareImage();
    WriteFirmwareBlocks({});
    RecordTimeline();
    CaptureConsole();
    EXPECT_EQ(ToBytes(ReadFlash(0x08000000, 3, "block 0")), (sim::Bytes{0xA1, 0xB2, 0xC3}));
    EXPECT_EQ(ToBytes(ReadFlash(0x0801FF00, 256, "the last page's end")), sim::Bytes(256, 0xFF));
    EXPECT_EQ(Timeline(), "11 EE 08 00 00 00 08 02 FD 11 EE 08 01 FF 00 F6 FF 00");
    EXPECT_TRUE(captured.isEmpty());
    EXPECT_EQ(boot->Count(Step::ReadCount), 2);
}

}  // namespace
