// The simulated pedal's pseudo-terminal front-end fed random bytes. The
// first byte picks the options it runs with; the rest arrives in reads whose
// lengths and spacing in time the input also picks: each read is a header
// byte (length 1-16 in the low nibble, 0-150 ms since the last read in the
// high one) and its bytes.
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "sim/PtyFrontEnd.h"

namespace {

// What the pedal's DSP side ever sends: decimal lines and the upload answer.
bool DspText(std::uint8_t byte) {
    static const std::string kUploadAnswer = sim::VirtualPedal::kUploadAnswer;
    return (byte >= '0' && byte <= '9') || byte == '\r' || byte == '\n' ||
           kUploadAnswer.find(static_cast<char>(byte)) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t flags = data[0];
    std::vector<std::string> arguments = {"quendle-pedal-sim"};
    if (flags & 1) arguments.push_back("--bootloader");
    if (flags & 2) arguments.push_back("--boot-on-sync");
    if (flags & 4) arguments.push_back("--paced");
    if (flags & 8) {
        arguments.push_back("--firmware-version");
        arguments.push_back(std::to_string(flags >> 4));
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    sim::PtyOptions options;
    bool help = false;
    FUZZ_CHECK(
        sim::ParsePtyOptions(static_cast<int>(arguments.size()), argv.data(), options, help));

    std::int64_t now = 0;
    sim::PtyFrontEnd frontEnd(options, [&now] { return now; });
    bool everInBootloader = frontEnd.Pedal().InBootloader();
    std::size_t at = 1;
    while (at < size) {
        const std::uint8_t header = data[at++];
        const std::size_t length = std::min<std::size_t>((header & 0xF) + 1, size - at);
        now += (header >> 4) * 10;
        frontEnd.Received(data + at, length);
        at += length;
        everInBootloader = everInBootloader || frontEnd.Pedal().InBootloader();
        // The terminal takes a part of what is ready, as a full one would.
        const sim::Bytes& outbox = frontEnd.Outbox();
        if (!everInBootloader)
            for (std::uint8_t byte : outbox) FUZZ_CHECK(DspText(byte));
        frontEnd.Written(outbox.size() / 2);
        if (frontEnd.Pedal().Unplugged()) break;
    }
    // Given time, everything the pedal has to say comes out.
    now += 60 * 60 * 1000;
    frontEnd.Outbox();
    FUZZ_CHECK(!frontEnd.Pedal().HasUndelivered());
    return 0;
}
