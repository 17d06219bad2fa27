#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "device/PedalLink.h"
#include "app/ConsoleTools.h"
#include "app/TformPrint.h"
#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "tests/support/EditorFixture.h"

namespace {

class ConsoleTools : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        pedal = &AddPedal();
        StartEditor();
        ASSERT_EQ(PedalLink::Instance().Open(QStringLiteral("QMK3TEST")), ftd::FT_OK);
        NewConsoleLines();
    }
    void SetRange(const QString& start, const QString& end) {
        formPrint->edtStartAddress->setText(start);
        formPrint->edtEndAddress->setText(end);
    }
    sim::VirtualPedal* pedal = nullptr;
};

struct EepromCase {
    const char* name;
    const char* start;
    const char* end;
    const char* erase;  // the erase message; the read differs in its code
};

class EepromRequest : public ConsoleTools, public ::testing::WithParamInterface<EepromCase> {};

TEST_P(EepromRequest, EraseAndReadSendTheRangeAndLogItsSizeFirst) {
    const EepromCase& c = GetParam();
    SetRange(c.start, c.end);
    formPrint->btnEraseEeprom->click();
    formPrint->btnReadEEPROM->click();

    const QString erase = QString::fromLatin1(c.erase).remove(' ');
    const QString read = QStringLiteral("0C") + erase.mid(2);
    EXPECT_EQ(Sent(), (std::vector<sim::Bytes>{HexBytes(c.erase), HexBytes(read.toLatin1())}));
    const QStringList lines = NewConsoleLines();
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines.mid(0, 4), (QStringList{"5", erase, "5", read}));
    ASSERT_GE(clock->sleepLog.size(), 2u);
    EXPECT_EQ(clock->sleepLog[0], 100);
    EXPECT_EQ(clock->sleepLog[1], 200);
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, EepromRequest,
    ::testing::Values(EepromCase{"InitialTexts", "0", "16383", "0B 00 00 3F FF"},
                      // Only the low 16 bits count: 70000 is 4464.
                      EepromCase{"StartAbove16Bits", "70000", "16383", "0B 11 70 3F FF"},
                      EepromCase{"SingleByte", "255", "255", "0B 00 FF 00 FF"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConsoleTools, EraseClearsTheRangeAndReadListsItNumberedFromTheStartAddress) {
    std::fill(pedal->Eeprom().begin(), pedal->Eeprom().end(), 0x00);
    pedal->Eeprom()[100] = 7;
    pedal->Eeprom()[101] = 255;
    SetRange("102", "103");
    formPrint->btnEraseEeprom->click();
    EXPECT_EQ(pedal->Eeprom()[101], 255);
    EXPECT_EQ(pedal->Eeprom()[102], 0xFF);
    EXPECT_EQ(pedal->Eeprom()[103], 0xFF);
    EXPECT_EQ(pedal->Eeprom()[104], 0x00);
    NewConsoleLines();

    SetRange("100", "102");
    formPrint->btnReadEEPROM->click();
    EXPECT_EQ(NewConsoleLines(), (QStringList{"5", "0C00640066", "num of bytes received: 3",
                                              "100:    07", "101:    FF", "102:    FF"}));
    EXPECT_FALSE(EepromReadActive);
    EXPECT_EQ(EepromStartAddress, 100);
    EXPECT_EQ(EepromEndAddress, 102);
}

TEST_F(ConsoleTools, WholeEepromIsReadAndListedWithItsAddresses) {
    for (std::size_t i = 0; i < pedal->Eeprom().size(); ++i)
        pedal->Eeprom()[i] = static_cast<std::uint8_t>((i * 7) % 256);
    // The answer (about 70 KB) comes in many reads.
    pedal->SetMaxReadSize(4096);
    formPrint->btnReadEEPROM->click();

    ASSERT_EQ(ReplyValues.size(), 16384u);
    const QStringList lines = NewConsoleLines();
    ASSERT_EQ(lines.size(), 2 + 1 + 16384);
    EXPECT_EQ(lines[2], "num of bytes received: 16384");
    for (int address : {0, 1, 9999, 16383}) {
        const int value = (address * 7) % 256;
        EXPECT_EQ(lines[3 + address],
                  QStringLiteral("%1:    %2")
                      .arg(address)
                      .arg(QString::number(value, 16).toUpper().rightJustified(2, '0')));
    }
    EXPECT_FALSE(EepromReadActive);
}

TEST_F(ConsoleTools, ReadThatFailsStillEndsTheAddressNumbering) {
    // A byte that is no decimal digit before the line end fails the decode.
    SetRange("0", "1");
    pedal->ReplaceNextReply(sim::Bytes{'1', '\r', '\n', ';', '\r', '\n'});
    formPrint->btnReadEEPROM->click();
    EXPECT_EQ(dialogs->messages, QStringList{"'B' is not a valid integer value"});
    EXPECT_FALSE(EepromReadActive);

    // And with the pedal gone, the wait ends with the driver's error.
    driver->Unplug();
    formPrint->btnReadEEPROM->click();
    EXPECT_GE(dialogs->messages.size(), 2);
    EXPECT_FALSE(EepromReadActive);
}

TEST_F(ConsoleTools, SecondReadWhileOneIsRunningIsRefused) {
    pedal->Eeprom()[5] = 42;
    SetRange("5", "5");
    // The answer is late, so the second click lands while the first waits.
    pedal->DelayNextReply(50);
    QTimer::singleShot(0, formPrint, [] { formPrint->btnReadEEPROM->click(); });
    formPrint->btnReadEEPROM->click();
    EXPECT_EQ(Sent().size(), 1u);
    EXPECT_EQ(NewConsoleLines(),
              (QStringList{"5", "0C00050005",
                           "EEPROM read not started: the EEPROM read is waiting for the pedal",
                           "num of bytes received: 1", "5:    2A"}));
}

struct RefusedRange {
    const char* name;
    const char* start;
    const char* end;
    const char* message;  // the start of it
};

class EepromRangeRefused : public ConsoleTools,
                           public ::testing::WithParamInterface<RefusedRange> {};

TEST_P(EepromRangeRefused, NothingIsSentAndTheAddressesStay) {
    const RefusedRange& c = GetParam();
    EepromStartAddress = 11;
    EepromEndAddress = 22;
    SetRange(c.start, c.end);
    for (QPushButton* button : {formPrint->btnEraseEeprom, formPrint->btnReadEEPROM}) {
        dialogs->messages.clear();
        button->click();
        ASSERT_EQ(dialogs->messages.size(), 1) << button->objectName().toStdString();
        EXPECT_TRUE(dialogs->messages[0].startsWith(c.message))
            << dialogs->messages[0].toStdString();
    }
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(NewConsoleLines().isEmpty());
    EXPECT_EQ(EepromStartAddress, 11);
    EXPECT_EQ(EepromEndAddress, 22);
    EXPECT_FALSE(EepromReadActive);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, EepromRangeRefused,
    ::testing::Values(RefusedRange{"StartNotDecimal", "3FFF", "16383",
                                   "'3FFF' is not a valid integer value"},
                      RefusedRange{"EndEmpty", "0", "", "'' is not a valid integer value"},
                      RefusedRange{"EndBeyond32Bits", "0", "99999999999",
                                   "'99999999999' is not a valid integer value"},
                      RefusedRange{"StartAboveEnd", "200", "100",
                                   "The start address (200) is above the end address (100)"}),
    [](const auto& info) { return std::string(info.param.name); });

struct SendCase {
    const char* name;
    const char* address;
    const char* data;
    const char* bytes;  // nullptr: refused
};

class RawSend : public ConsoleTools, public ::testing::WithParamInterface<SendCase> {};

TEST_P(RawSend, SendsExactlyFourAndEightHexDigitsAndRefusesTheRest) {
    const SendCase& c = GetParam();
    formPrint->edtAddress->setText(c.address);
    formPrint->edtData->setText(c.data);
    formPrint->btnSend->click();
    if (c.bytes) {
        const sim::Bytes bytes = HexBytes(c.bytes);
        EXPECT_EQ(Sent(), std::vector<sim::Bytes>{bytes});
        EXPECT_EQ(NewConsoleLines(), QStringList{QStringLiteral("01") + c.address + c.data});
        EXPECT_EQ(pedal->ParameterAt(static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2])),
                  QString::fromLatin1(c.data).toUInt(nullptr, 16));
        EXPECT_TRUE(dialogs->messages.isEmpty());
    } else {
        EXPECT_TRUE(Sent().empty());
        EXPECT_TRUE(NewConsoleLines().isEmpty());
        ASSERT_EQ(dialogs->messages.size(), 1);
        EXPECT_TRUE(dialogs->messages[0].startsWith("Send needs 4 hexadecimal digits"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, RawSend,
    ::testing::Values(SendCase{"Written", "0010", "0000007F", "01 00 10 00 00 00 7F"},
                      SendCase{"LowerCase", "00ab", "ffffff80", "01 00 AB FF FF FF 80"},
                      SendCase{"InitialTexts", "addr", "data", nullptr},
                      SendCase{"ShortAddress", "010", "0000007F", nullptr},
                      SendCase{"LongAddress", "00100", "0000007F", nullptr},
                      SendCase{"ShortData", "0010", "0000007", nullptr},
                      SendCase{"NotHex", "0010", "0000007G", nullptr},
                      SendCase{"Space", "0010", " 000007F", nullptr},
                      SendCase{"Empty", "", "", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConsoleTools, NoteFrequenciesOfThePicker) {
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(NoteSemitoneOffset, -12);  // "A1" is selected from the start
    const std::pair<const char*, const char*> notes[] = {
        {"A1", "55.00"}, {"E2", "82.41"}, {"A2", "110.00"}, {"A3", "220.00"}, {"G#5", "830.61"}};
    for (const auto& [note, frequency] : notes) {
        formPrint->cmbNotePicker->setCurrentIndex(formPrint->cmbNotePicker->findText(note));
        formPrint->Button1->click();
        EXPECT_EQ(NewConsoleLines(), QStringList{QStringLiteral("Note frequency: ") + frequency})
            << note;
    }
    EXPECT_EQ(formPrint->cmbNotePicker->count(), 48);
    EXPECT_EQ(NoteSemitoneOffset, 35);
}

TEST(FrequencyFormat, UsesTheLocalesSeparatorAndNoGrouping) {
    EXPECT_EQ(FormatFrequency(82.4068, QLocale(QLocale::German)), "82,41");
    EXPECT_EQ(FormatFrequency(830.6094, QLocale(QLocale::French)), "830,61");
    EXPECT_EQ(FormatFrequency(1760.0, QLocale(QLocale::English)), "1760.00");
    EXPECT_EQ(FormatFrequency(1760.0, QLocale(QLocale::German)), "1760,00");
}

}  // namespace
