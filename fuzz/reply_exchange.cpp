// A whole Request through the link: the virtual pedal answers the device
// information request with the input's bytes, cut into up to three pieces
// that arrive one after the other. The link applies the answer only when it
// is whole, every line is a value and it decodes to 81 values, and leaves
// nothing of it behind.
#include "device/Communication.h"
#include "device/Connection.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/ReplyDecoder.h"
#include "platform/Errors.h"
#include "sim/VirtualPedalDriver.h"

namespace {

sim::VirtualPedal* g_pedal = nullptr;

void Connect() {
    if (g_pedal) return;
    auto& driver = *ftd::InstalledDriverAs<sim::VirtualPedalDriver>();
    g_pedal = &driver.AddDevice("QMK3FUZZ");
    if (PedalLink::Instance().Open(QStringLiteral("QMK3FUZZ")) != ftd::FT_OK)
        fuzz::Fail("opening the virtual pedal", __FILE__, __LINE__);
}

// What an earlier, whole reply left in ReplyValues.
std::vector<std::uint8_t> EarlierReply() {
    std::vector<std::uint8_t> values(81);
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = static_cast<std::uint8_t>(k * 37);
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::StartPlatform();
    Connect();
    fuzz::FreshDialogs();
    // The pieces follow each other at once: an answer that is not whole need
    // not keep each input waiting for seconds.
    PedalLink::TimeoutCapMs() = 1;
    // The first two bytes say where the reply is cut; a reply needs a byte.
    if (size < 3) return 0;
    const sim::Bytes reply(data + 2, data + size);

    // The answer is whole exactly when the reply holds 81 lines, however it
    // arrives, and then it is that reply up to its 81st line.
    int lines = 0;
    std::size_t wholeEnd = 0;
    for (std::size_t i = 0; i < reply.size() && lines < 81; ++i)
        if (reply[i] == '\r' && ++lines == 81) wholeEnd = i + 1;
    if (wholeEnd > 0 && wholeEnd < reply.size() && reply[wholeEnd] == '\n') ++wholeEnd;
    const bool whole =
        lines == 81 && wholeEnd <= static_cast<std::size_t>(AnswerShape::LinesOf(81).MaxBytes());
    const auto expected = whole ? fuzz::DecodeReplyBytes(fuzz::Bytes(data + 2, wholeEnd))
                                : std::optional<std::vector<std::uint8_t>>{};

    g_pedal->ReplaceNextReply(reply);
    g_pedal->SplitNextReplyAfter(data[0] % reply.size());
    g_pedal->SplitNextReplyAfter(data[1] % reply.size());
    ReplyValues = EarlierReply();
    bool refused = false;
    ExchangeResult result;
    try {
        result = RequestDeviceInformation();
    } catch (const platform::ConversionError&) {
        refused = true;
    }
    if (whole && !expected) {
        // The decoder refuses the whole answer: nothing is applied.
        FUZZ_CHECK(refused);
        FUZZ_CHECK(ReplyValues == EarlierReply());
    } else if (whole && expected->size() == 81 &&
               FirstLineNotAValue(fuzz::Bytes(data + 2, wholeEnd)) == 0) {
        FUZZ_CHECK(!refused && result.whole());
        FUZZ_CHECK(ReplyValues == *expected);
    } else {
        // Not applied: what an earlier answer left stays.
        FUZZ_CHECK(!refused && !result.whole());
        FUZZ_CHECK(ReplyValues == EarlierReply());
    }
    // Nothing of this reply becomes part of the next answer.
    const ExchangeResult next = RequestDeviceInformation();
    FUZZ_CHECK(next.whole());
    const auto info = g_pedal->DeviceInformation();
    FUZZ_CHECK(ReplyValues == std::vector<std::uint8_t>(info.begin(), info.end()));
    g_pedal->ClearMessages();
    return 0;
}
