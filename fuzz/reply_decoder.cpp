// The pedal's replies, decoded as the link decodes them: any bytes at all,
// and the same bytes read as a well-formed reply.
#include <string>

#include "fuzz/FuzzSupport.h"
#include "fuzz/ReplyDecoder.h"

namespace {

// The decoder works on the hex text of the reply and ends a value at every
// hex digit D, so a value can end only where a byte has a nibble D. A reply
// whose only such bytes are CRs holds exactly one value per CR.
void CheckRawReply(const QByteArray& bytes) {
    const auto values = fuzz::DecodeReplyBytes(bytes);
    if (!values) return;  // refused: the user is told, nothing is used
    std::size_t carriageReturns = 0;
    std::size_t endMarks = 0;
    for (char c : bytes) {
        const auto byte = static_cast<std::uint8_t>(c);
        carriageReturns += byte == 0x0D;
        endMarks += (byte >> 4) == 0xD;
        endMarks += (byte & 0xF) == 0xD;
    }
    FUZZ_CHECK(values->size() <= endMarks);
    if (endMarks == carriageReturns) FUZZ_CHECK(values->size() == carriageReturns);
}

// Every two input bytes make one value line of one to three digits, ended by
// CR LF or by CR alone: the reply decodes to exactly those values, modulo 256.
void CheckWellFormedReply(const QByteArray& bytes) {
    QByteArray reply;
    std::vector<std::uint8_t> expected;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto high = static_cast<std::uint8_t>(bytes[i]);
        const auto low = static_cast<std::uint8_t>(bytes[i + 1]);
        const int number = ((high & 0x3F) << 8 | low) % 1000;
        std::string digits = std::to_string(number);
        if (high & 0x40) digits.insert(0, 3 - digits.size(), '0');  // leading zeros
        reply += QByteArray::fromStdString(digits);
        reply += (high & 0x80) ? "\r" : "\r\n";
        expected.push_back(static_cast<std::uint8_t>(number % 256));
    }
    const auto values = fuzz::DecodeReplyBytes(reply);
    FUZZ_CHECK(values.has_value());
    FUZZ_CHECK(*values == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::StartPlatform();
    const QByteArray bytes = fuzz::Bytes(data, size);
    CheckRawReply(bytes);
    CheckWellFormedReply(bytes);
    return 0;
}
