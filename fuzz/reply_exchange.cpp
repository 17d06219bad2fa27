// A whole Request through the link: the virtual pedal answers the device
// information request with the input's bytes, cut into up to three pieces
// that arrive one after the other, and the link reads and decodes them.
#include "device/Communication.h"
#include "device/D2XXUnit.h"
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
    if (Open_USB_Device_By_Serial_Number(QStringLiteral("QMK3FUZZ")) != ftd::FT_OK)
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
    // The first two bytes say where the reply is cut; a reply needs a byte.
    if (size < 3) return 0;
    const sim::Bytes reply(data + 2, data + size);
    const QByteArray bytes = fuzz::Bytes(data + 2, size - 2);
    const auto expected = fuzz::DecodeReplyBytes(bytes);

    g_pedal->ReplaceNextReply(reply);
    g_pedal->SplitNextReplyAfter(data[0] % reply.size());
    g_pedal->SplitNextReplyAfter(data[1] % reply.size());
    ReplyValues = EarlierReply();
    SendHexMessage(QStringLiteral("0200"));
    bool read = false;
    bool refused = false;
    try {
        read = ReadReply();
    } catch (const platform::ConversionError&) {
        refused = true;
    }
    // However it arrived, the reply is decoded whole, as the bytes alone are.
    FUZZ_CHECK(refused == !expected.has_value());
    if (!refused) {
        FUZZ_CHECK(read);
        // A reply without a value leaves the earlier one in place.
        FUZZ_CHECK(ReplyValues == (expected->empty() ? EarlierReply() : *expected));
    }
    // Nothing of this reply is left to become the start of the next one.
    FUZZ_CHECK(g_pedal->Pending() == 0);
    FUZZ_CHECK(!g_pedal->HasUndelivered());
    g_pedal->ClearMessages();
    return 0;
}
