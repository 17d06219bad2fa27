#include "device/PedalMessages.h"

#include "device/Communication.h"

namespace msg {

namespace {

PedalMessage Plain(const QString& hex) {
    return {hex, {}};
}

// Logs the message's length in bytes and then its text, as the console tools
// always have.
PedalMessage EepromMessage(const char* code, std::uint16_t start, std::uint16_t end) {
    const QString hex = QLatin1String(code) + Hex4(start) + Hex4(end);
    return {hex, {QString::number(hex.size() / 2), hex}};
}

}  // namespace

PedalMessage ParameterWrite(std::uint16_t address, std::uint32_t value) {
    const QString hex = QStringLiteral("01") + Hex4(address) + Hex8(value);
    return {hex, {QStringLiteral("write to DSP msg: ") + hex}};
}

PedalMessage RawParameterWrite(const QString& addressDigits, const QString& dataDigits) {
    const QString hex = QStringLiteral("01") + addressDigits + dataDigits;
    return {hex, {hex}};
}

PedalMessage DeviceInformationRequest() {
    return Plain(QStringLiteral("0200"));
}

PedalMessage StoreSettings(const std::array<std::uint32_t, 5>& values) {
    QString hex = QStringLiteral("03");
    for (std::uint32_t v : values) hex += Hex8(v);
    return {
        hex,
        {QStringLiteral("Store settings message (HEX): ") + hex, QString::number(hex.size() / 2)}};
}

PedalMessage ControlAssignments(const std::array<bool, 5>& flags,
                                const std::array<std::uint16_t, 5>& codes) {
    QString hex = QStringLiteral("04");
    for (bool assigned : flags) hex += assigned ? QStringLiteral("01") : QStringLiteral("00");
    for (std::uint16_t code : codes) hex += Hex4(code);
    return {
        hex,
        {QStringLiteral("lenght of assign message in bytes: ") + QString::number(hex.size() / 2),
         QStringLiteral("assign message: ") + hex}};
}

PedalMessage OpenEffect() {
    return Plain(QStringLiteral("0500"));
}

PedalMessage MidiChannel(std::uint8_t channel) {
    const QString hex = QStringLiteral("07") + Hex2(channel);
    return {hex, {hex}};
}

PedalMessage FootswitchBehaviour(const QString& shortCode, const QString& longCode) {
    const QString hex = QStringLiteral("08") + shortCode + longCode;
    return {hex, {QStringLiteral("footswitch behaviour message: ") + hex, hex}};
}

PedalMessage Tuning(std::uint8_t tuning) {
    const QString hex = QStringLiteral("09") + Hex2(tuning);
    return {hex, {QStringLiteral("Tuning Message: ") + hex}};
}

PedalMessage NoteFilter(const QString& byte1, const QString& byte2) {
    const QString hex = QStringLiteral("09") + byte1 + byte2;
    return {hex,
            {QStringLiteral("byte 1: ") + byte1, QStringLiteral("byte 2: ") + byte2,
             QStringLiteral("Set note filters: ") + hex, QString::number(hex.size() / 2)}};
}

PedalMessage EepromErase(std::uint16_t start, std::uint16_t end) {
    return EepromMessage("0B", start, end);
}

PedalMessage EepromRead(std::uint16_t start, std::uint16_t end) {
    return EepromMessage("0C", start, end);
}

PedalMessage BootloaderSync() {
    return Plain(QStringLiteral("7F"));
}

PedalMessage PreUpload() {
    PedalMessage message = Plain(QStringLiteral("0D00"));
    message.announcesImage = true;
    return message;
}

PedalMessage AlgorithmImage(const QString& hex) {
    PedalMessage message = Plain(hex);
    message.isImage = true;
    return message;
}

}  // namespace msg
