#include "device/Communication.h"

#include <QCoreApplication>
#include <algorithm>

#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "platform/Console.h"
#include "platform/Errors.h"
#include "platform/Time.h"

bool FirmwareUpgradeMode = false;
std::vector<std::uint8_t> ReplyValues;
bool EepromReadActive = false;
std::uint16_t EepromStartAddress = 0;

namespace {

bool g_waitsCancelled = false;

}  // namespace

int HexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    return -1;
}

QString Hex2(std::uint32_t value) {
    return QStringLiteral("%1").arg(value & 0xFFu, 2, 16, QLatin1Char('0')).toUpper();
}
QString Hex4(std::uint32_t value) {
    return QStringLiteral("%1").arg(value & 0xFFFFu, 4, 16, QLatin1Char('0')).toUpper();
}
QString Hex8(std::uint32_t value) {
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}
QString BytesToHex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex().toUpper());
}

int HexTextToOutBuffer(const QString& text, int maxBytes) {
    const int pairs = std::min<int>(static_cast<int>(text.size() / 2),
                                    std::min<int>(maxBytes, static_cast<int>(kBufferSize)));
    for (int i = 0; i < pairs; ++i) {
        const int high = HexDigitValue(text[2 * i]);
        const int low = HexDigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return i;
        OutBuffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return pairs;
}

void CancelPedalWaits() {
    g_waitsCancelled = true;
    PedalLink::Instance().CancelWaits();
}
bool PedalWaitsCancelled() {
    return g_waitsCancelled || QCoreApplication::closingDown();
}
void ResumePedalWaits() {
    g_waitsCancelled = false;
}

std::vector<std::uint8_t> DecodeReplyValues(const QByteArray& reply) {
    std::vector<std::uint8_t> values;
    DecodeReplyInto(reply, values);
    return values;
}

void DecodeReplyInto(const QByteArray& reply, std::vector<std::uint8_t>& values) {
    // The pedal ends each value with CR (hex "0D"), normally followed by LF
    // ("0A"). The scan runs over the hex text of the reply, with 'A' marking
    // the start and 'D' the end of a value, and takes the low digit of each
    // byte before the CR as one decimal digit. Garbage therefore decodes the
    // way the pedal's own tools always have decoded it. Only this reply's
    // bytes are scanned: a clean buffer holds nothing but zeros after them,
    // and zeros never mark a value.
    const QByteArray hex = reply.toHex().toUpper();
    const char* h = hex.constData();
    const int length = static_cast<int>(hex.size());
    int start = 0;
    values.clear();
    std::uint8_t last = 0;
    for (int j = 0; j < length; ++j) {
        if (h[j] == 'A') {
            start = j + 1;
        } else if (h[j] == 'D') {
            // The segment up to this 'D', less its last character (the high
            // digit of the CR byte when the bytes are aligned).
            const int segment = std::max(0, j - start - 1);
            if (segment == 2 || segment == 4 || segment == 6) {
                char digits[3];
                int value = 0;
                bool numeric = true;
                const int n = segment / 2;
                for (int k = 0; k < n; ++k) {
                    digits[k] = h[start + 2 * k + 1];
                    numeric = numeric && digits[k] >= '0' && digits[k] <= '9';
                    value = value * 10 + (digits[k] - '0');
                }
                if (!numeric) throw platform::ConversionError(QString::fromLatin1(digits, n));
                last = static_cast<std::uint8_t>(value % 256);
            }
            // A segment of any other length repeats the value before it.
            values.push_back(last);
            if (j < length - 1 && h[j + 1] == 'A') ++j;
            start = j + 1;
        }
    }
}

int FirstLineNotAValue(const QByteArray& reply) {
    int line = 0;
    qsizetype start = 0;
    for (qsizetype cr = reply.indexOf('\r'); cr >= 0; cr = reply.indexOf('\r', start)) {
        ++line;
        qsizetype from = start;
        if (line > 1 && from < cr && reply[from] == '\n') ++from;
        const qsizetype digits = cr - from;
        if (digits < 1 || digits > 3) return line;
        for (qsizetype k = from; k < cr; ++k)
            if (reply[k] < '0' || reply[k] > '9') return line;
        start = cr + 1;
    }
    return 0;
}

void LogReplyValues(std::size_t decoded) {
    ConsolePrint(QStringLiteral("num of bytes received: ") + QString::number(decoded));
    for (std::size_t k = 0; k < ReplyValues.size(); ++k) {
        const std::uint32_t number = EepromReadActive
                                         ? EepromStartAddress + static_cast<std::uint32_t>(k)
                                         : static_cast<std::uint32_t>(k);
        ConsolePrint(QString::number(number) + QStringLiteral(":    ") + Hex2(ReplyValues[k]));
    }
}

void DecodeReply(const QByteArray& reply) {
    std::vector<std::uint8_t> values;
    try {
        DecodeReplyInto(reply, values);
    } catch (const platform::ConversionError&) {
        // The values before the bad digit stay, as the pedal's tools always
        // left them.
        if (!values.empty()) ReplyValues = values;
        throw;
    }
    // A reply without a value leaves the last one's values in place.
    if (!values.empty()) ReplyValues = values;
    LogReplyValues(values.size());
}
