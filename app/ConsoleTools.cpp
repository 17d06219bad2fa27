#include "app/ConsoleTools.h"

#include <QRegularExpression>
#include <cmath>
#include <optional>

#include "app/TformPrint.h"
#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Time.h"

std::uint16_t EepromEndAddress = 0;
double NoteSemitoneOffset = 0;

namespace {

// The low 16 bits of the box's decimal number; anything else ends the command
// with the conversion error before a byte is sent.
std::uint16_t AddressFromBox(const QLineEdit* box) {
    bool ok = false;
    const int value = box->text().toInt(&ok, 10);
    if (!ok) throw platform::ConversionError(box->text());
    return static_cast<std::uint16_t>(value);
}

// Reads both address boxes into EepromStartAddress and EepromEndAddress.
// False when the range is upside down (the user has been told).
bool ReadEepromRange() {
    const std::uint16_t start = AddressFromBox(formPrint->edtStartAddress);
    const std::uint16_t end = AddressFromBox(formPrint->edtEndAddress);
    if (start > end) {
        platform::ShowMessage(
            QStringLiteral(
                "The start address (%1) is above the end address (%2); nothing was sent.")
                .arg(start)
                .arg(end));
        return false;
    }
    EepromStartAddress = start;
    EepromEndAddress = end;
    return true;
}

bool IsHexDigits(const QString& text, int count) {
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]*$"));
    return text.size() == count && hex.match(text).hasMatch();
}

}  // namespace

QStringList NoteNames() {
    static const char* const kScale[] = {"A",  "A#", "B", "C",  "C#", "D",
                                         "D#", "E",  "F", "F#", "G",  "G#"};
    QStringList names;
    int octave = 1;
    for (int i = 0; i < 48; ++i) {
        const char* name = kScale[i % 12];
        if (i > 0 && i % 12 == 3) ++octave;  // the octave number changes at C
        names << QString::fromLatin1(name) + QString::number(octave);
    }
    return names;
}

void FillNotePicker() {
    formPrint->cmbNotePicker->clear();
    formPrint->cmbNotePicker->addItems(NoteNames());
    formPrint->cmbNotePicker->setCurrentIndex(0);
}

double NoteFrequency(double semitoneOffset) {
    return 110.0 * std::pow(2.0, semitoneOffset / 12.0);
}

QString FormatFrequency(double hz, const QLocale& locale) {
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    return plain.toString(hz, 'f', 2);
}

void ShowNoteFrequency() {
    ConsolePrint(QStringLiteral("Note frequency: ") +
                 FormatFrequency(NoteFrequency(NoteSemitoneOffset)));
}

void TformPrint::btnEraseEepromClick() {
    if (PedalLink::Instance().RefuseIfBusy() || !ReadEepromRange()) return;
    const PedalMessage message = msg::EepromErase(EepromStartAddress, EepromEndAddress);
    for (const QString& line : message.log) ConsolePrint(line);
    if (!PedalLink::Instance().Send(message, true)) return;
    platform::SleepMs(100);
}

void TformPrint::btnReadEEPROMClick() {
    PedalLink& link = PedalLink::Instance();
    if (link.RefuseIfBusy()) {
        ConsolePrint(QStringLiteral("EEPROM read not started: ") + link.BusyWith() +
                     QStringLiteral(" is waiting for the pedal"));
        return;
    }
    if (!ReadEepromRange()) return;
    const PedalMessage message = msg::EepromRead(EepromStartAddress, EepromEndAddress);
    for (const QString& line : message.log) ConsolePrint(line);

    const int count = EepromEndAddress - EepromStartAddress + 1;
    Exchange read;
    read.what = QStringLiteral("the EEPROM read");
    read.message = message;
    read.answer = AnswerShape::LinesOf(count);
    read.purgeTransmitFirst = true;
    read.pauseBeforeReadMs = 200;
    // The pedal reads its EEPROM before it answers, and the answer takes its
    // time on the wire: up to five bytes a value at 11,520 bytes/s.
    read.firstByteTimeoutMs = kAnswerTimeoutMs + count * 5 * 1000 / 11520;
    const ExchangeResult result = link.Run(read);
    if (!result.whole()) {
        if (!result.problem.isEmpty()) platform::ShowMessage(result.problem);
        return;
    }
    const std::vector<std::uint8_t> values = DecodeReplyValues(result.answer);
    if (static_cast<int>(values.size()) != count) {
        platform::ShowMessage(QStringLiteral("The pedal's answer was not understood: %1 values "
                                             "instead of %2.")
                                  .arg(values.size())
                                  .arg(count));
        return;
    }
    ReplyValues = values;
    const ScopedFlag numbered(EepromReadActive);
    LogReplyValues(values.size());
}

void TformPrint::btnSendClick() {
    const QString address = edtAddress->text();
    const QString data = edtData->text();
    // The message is a fixed 7 bytes; shorter or non-hex text would send
    // whatever an earlier message left in the buffer.
    if (!IsHexDigits(address, 4) || !IsHexDigits(data, 8)) {
        platform::ShowMessage(
            QStringLiteral("Send needs 4 hexadecimal digits in the address box and 8 in the "
                           "data box (for example 0010 and 0000007F); nothing was sent."));
        return;
    }
    const PedalMessage message = msg::RawParameterWrite(address, data);
    for (const QString& line : message.log) ConsolePrint(line);
    PedalLink::Instance().Send(message);
}

void TformPrint::cmbNotePickerChange() {
    NoteSemitoneOffset = cmbNotePicker->currentIndex() - 12;
}

void TformPrint::Button1Click() {
    ShowNoteFrequency();
}
