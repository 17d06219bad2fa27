#include "app/ConsoleTools.h"

#include <QRegularExpression>
#include <cmath>
#include <optional>

#include "app/TformPrint.h"
#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Time.h"

std::uint16_t EepromEndAddress = 0;
double NoteSemitoneOffset = 0;

namespace {

bool g_eepromReadRunning = false;

// The low 16 bits of the box's decimal number; anything else ends the command
// with the conversion error before a byte is sent.
std::uint16_t AddressFromBox(const QLineEdit* box) {
    bool ok = false;
    const int value = box->text().toInt(&ok, 10);
    if (!ok) throw platform::ConversionError(box->text());
    return static_cast<std::uint16_t>(value);
}

// Reads both address boxes and builds the EEPROM request with the given
// command code; logs its byte count and text. Nothing when the range is
// upside down (the user has been told).
std::optional<QString> EepromRequest(const char* code) {
    const std::uint16_t start = AddressFromBox(formPrint->edtStartAddress);
    const std::uint16_t end = AddressFromBox(formPrint->edtEndAddress);
    if (start > end) {
        platform::ShowMessage(
            QStringLiteral(
                "The start address (%1) is above the end address (%2); nothing was sent.")
                .arg(start)
                .arg(end));
        return std::nullopt;
    }
    EepromStartAddress = start;
    EepromEndAddress = end;
    const QString message = QLatin1String(code) + Hex4(start) + Hex4(end);
    ConsolePrint(QString::number(message.size() / 2));
    ConsolePrint(message);
    return message;
}

// Clears EepromReadActive however the read ends, so later replies are
// numbered from 0 again.
struct EepromReadScope {
    EepromReadScope() { EepromReadActive = true; }
    ~EepromReadScope() { EepromReadActive = false; }
};

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
    const auto message = EepromRequest("0B");
    if (!message) return;
    PurgeFTTransmit();
    SendHexMessage(*message);
    platform::SleepMs(100);
}

void TformPrint::btnReadEEPROMClick() {
    // A second click while the answer is still coming in would take its bytes.
    ExclusiveRun run(g_eepromReadRunning);
    if (!run.acquired()) {
        ConsolePrint(QStringLiteral("EEPROM read already running"));
        return;
    }
    const auto message = EepromRequest("0C");
    if (!message) return;
    EepromReadScope active;
    PurgeFTTransmit();
    SendHexMessage(*message);
    platform::SleepMs(200);
    ReadReply();
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
    const QString message = QStringLiteral("01") + address + data;
    ConsolePrint(message);
    HexTextToOutBuffer(message, 7);
    WriteFTDevice(7);
}

void TformPrint::cmbNotePickerChange() {
    NoteSemitoneOffset = cmbNotePicker->currentIndex() - 12;
}

void TformPrint::Button1Click() {
    ShowNoteFrequency();
}
