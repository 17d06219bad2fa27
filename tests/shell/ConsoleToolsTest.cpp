#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/ConsoleTools.h"
#include "app/TformPrint.h"
#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "tests/support/EditorFixture.h"

namespace {

// The pedal's EEPROM answer: one decimal line per byte.
sim::Bytes DecimalLines(const std::vector<int>& values) {
    std::string text;
    for (int v : values) text += std::to_string(v) + "\r\n";
    return sim::Bytes(text.begin(), text.end());
}

class ConsoleTools : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        pedal = &AddPedal();
        StartEditor();
        ASSERT_EQ(Open_USB_Device_By_Serial_Number("QMK3TEST"), ftd::FT_OK);
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
    pedal->Send(DecimalLines({1}));
    formPrint->btnReadEEPROM->click();

    const QString erase = QString::fromLatin1(c.erase).remove(' ');
    const QString read = QStringLiteral("0C") + erase.mid(2);
    EXPECT_EQ(Sent(), (std::vector<sim::Bytes>{HexBytes(c.erase), HexBytes(read.toLatin1())}));
    const QStringList lines = NewConsoleLines();
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines.mid(0, 4), (QStringList{"5", erase, "5", read}));
    EXPECT_EQ(clock->sleepLog, (std::vector<int>{100, 200, 10, 10}));
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, EepromRequest,
    ::testing::Values(EepromCase{"InitialTexts", "0", "16383", "0B 00 00 3F FF"},
                      // Only the low 16 bits count: 70000 is 4464.
                      EepromCase{"StartAbove16Bits", "70000", "16383", "0B 11 70 3F FF"},
                      EepromCase{"SingleByte", "255", "255", "0B 00 FF 00 FF"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConsoleTools, ReadListsTheValuesNumberedFromTheStartAddress) {
    SetRange("100", "102");
    pedal->Send(DecimalLines({7, 255, 0}));
    formPrint->btnReadEEPROM->click();
    EXPECT_EQ(NewConsoleLines(), (QStringList{"5", "0C00640066", "num of bytes received: 3",
                                              "100:    07", "101:    FF", "102:    00"}));
    EXPECT_FALSE(EepromReadActive);
    EXPECT_EQ(EepromStartAddress, 100);
    EXPECT_EQ(EepromEndAddress, 102);
}

TEST_F(ConsoleTools, WholeEepromIsReadAndListedWithItsAddresses) {
    std::vector<int> eeprom(16384);
    for (std::size_t i = 0; i < eeprom.size(); ++i) eeprom[i] = static_cast<int>((i * 7) % 256);
    pedal->Send(DecimalLines(eeprom));
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
    pedal->Send(sim::Bytes{'1', '\r', '\n', ';', '\r', '\n'});
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
    QTimer::singleShot(0, formPrint, [this] {
        formPrint->btnReadEEPROM->click();
        pedal->Send(DecimalLines({42}));
    });
    formPrint->btnReadEEPROM->click();
    EXPECT_EQ(Sent().size(), 1u);
    EXPECT_EQ(NewConsoleLines(), (QStringList{"5", "0C00003FFF", "EEPROM read already running",
                                              "num of bytes received: 1", "0:    2A"}));
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
        EXPECT_EQ(Sent(), std::vector<sim::Bytes>{HexBytes(c.bytes)});
        EXPECT_EQ(NewConsoleLines(), QStringList{QStringLiteral("01") + c.address + c.data});
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
    ::testing::Values(SendCase{"0010", "0000007F", "01 00 10 00 00 00 7F"},
                      SendCase{"00ab", "ffffff80", "01 00 AB FF FF FF 80"},
                      SendCase{"addr", "data", nullptr},  // as the boxes start
                      SendCase{"010", "0000007F", nullptr}, SendCase{"00100", "0000007F", nullptr},
                      SendCase{"0010", "0000007", nullptr}, SendCase{"0010", "0000007G", nullptr},
                      SendCase{"0010", " 000007F", nullptr}, SendCase{"", "", nullptr}));

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
