#include "sim/PtyFrontEnd.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>

namespace sim {

void PrintPtyUsage(std::FILE* to) {
    std::fprintf(
        to,
        "usage: quendle-pedal-sim [--bootloader] [--boot-on-sync] [--firmware-version N]\n"
        "                         [--corrupt-write ADDRESS] [--pieces N [--piece-gap MS]]\n"
        "                         [--silent] [--link PATH] [--paced] [--verbose]\n"
        "Serves a virtual Quendle MK3 on a pseudo-terminal and prints its path.\n"
        "  --bootloader          start in the microcontroller's ROM bootloader\n"
        "  --boot-on-sync        a lone 0x7F resets the running pedal into the bootloader\n"
        "  --firmware-version N  firmware version the pedal reports (0..255)\n"
        "  --corrupt-write ADDRESS  the first write that programs ADDRESS (e.g. 0x08003905)\n"
        "                        stores a wrong byte there and still answers ACK\n"
        "  --pieces N            send every answer of the effect side in pieces of N bytes\n"
        "  --piece-gap MS        ... MS milliseconds apart (as a busy bridge hands them over)\n"
        "  --silent              carry out requests but never answer them\n"
        "  --link PATH           also make PATH a symbolic link to the terminal\n"
        "  --paced               deliver replies at the wire rate (11,520 bytes/s)\n"
        "  --verbose             log every write received on standard error\n"
        "SIGUSR1 resets the pedal into its bootloader; SIGTERM or SIGINT end it.\n");
}

namespace {

// A whole number in [min, max], the whole text in the given base (0: with a
// 0x prefix for hex); nothing otherwise.
std::optional<long long> WholeNumber(const char* text, int base, long long min, long long max) {
    char* end = nullptr;
    errno = 0;
    const long long number = std::strtoll(text, &end, base);
    if (errno != 0 || end == text || *end != '\0' || number < min || number > max)
        return std::nullopt;
    return number;
}

}  // namespace

bool ParsePtyOptions(int argc, char** argv, PtyOptions& options, bool& help) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "quendle-pedal-sim: %s needs a value\n", name);
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "--bootloader") {
            options.bootloader = true;
        } else if (arg == "--boot-on-sync") {
            options.bootOnSync = true;
        } else if (arg == "--paced") {
            options.paced = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--link") {
            const char* path = value("--link");
            if (!path) return false;
            options.link = path;
        } else if (arg == "--firmware-version") {
            const char* text = value("--firmware-version");
            if (!text) return false;
            const auto version = WholeNumber(text, 0, 0, 255);
            if (!version) {
                std::fprintf(stderr, "quendle-pedal-sim: firmware version must be 0..255, not %s\n",
                             text);
                return false;
            }
            options.firmwareVersion = static_cast<int>(*version);
        } else if (arg == "--silent") {
            options.silent = true;
        } else if (arg == "--pieces" || arg == "--piece-gap") {
            const char* text = value(arg.c_str());
            if (!text) return false;
            const auto number = WholeNumber(text, 10, 1, 60000);
            if (!number) {
                std::fprintf(stderr, "quendle-pedal-sim: %s needs a number 1..60000, not %s\n",
                             arg.c_str(), text);
                return false;
            }
            (arg == "--pieces" ? options.pieceBytes : options.pieceGapMs) =
                static_cast<int>(*number);
        } else if (arg == "--corrupt-write") {
            const char* text = value("--corrupt-write");
            if (!text) return false;
            const auto address = WholeNumber(text, 0, 0x08000000LL, 0x0801FFFFLL);
            if (!address) {
                std::fprintf(stderr,
                             "quendle-pedal-sim: --corrupt-write needs a flash address "
                             "0x08000000..0x0801FFFF, not %s\n",
                             text);
                return false;
            }
            options.corrupt = true;
            options.corruptAddress = static_cast<std::uint32_t>(*address);
        } else {
            std::fprintf(stderr, "quendle-pedal-sim: unknown option %s\n", arg.c_str());
            return false;
        }
    }
    return true;
}

PtyFrontEnd::PtyFrontEnd(const PtyOptions& options, Clock nowMs) {
    if (nowMs) pedal_.SetClock(std::move(nowMs));
    pedal_.SetStreamFraming(true);
    pedal_.SetWirePaced(options.paced);
    pedal_.SetBootOnSync(options.bootOnSync);
    if (options.firmwareVersion >= 0)
        pedal_.SetFirmwareVersion(static_cast<std::uint8_t>(options.firmwareVersion));
    if (options.corrupt) pedal_.CorruptFlashWrite(options.corruptAddress);
    pedal_.SetSilent(options.silent);
    if (options.pieceBytes > 0) {
        ReplyFault pieces;
        // Far more cuts than any answer of the effect side has bytes.
        for (std::size_t at = static_cast<std::size_t>(options.pieceBytes); at < 70000;
             at += static_cast<std::size_t>(options.pieceBytes))
            pieces.splitAfter.push_back(at);
        pieces.splitGapMs = options.pieceGapMs;
        pedal_.SetEveryReplyFault(std::move(pieces));
    }
    if (options.bootloader) pedal_.EnterBootloader();
}

void PtyFrontEnd::Received(const std::uint8_t* data, std::size_t size) {
    pedal_.Receive(data, size);
}

const Bytes& PtyFrontEnd::Outbox() {
    const Bytes ready = pedal_.TakeAll();
    outbox_.insert(outbox_.end(), ready.begin(), ready.end());
    return outbox_;
}

void PtyFrontEnd::Written(std::size_t n) {
    outbox_.erase(outbox_.begin(),
                  outbox_.begin() + static_cast<std::ptrdiff_t>(std::min(n, outbox_.size())));
}

int PtyFrontEnd::WaitMs() const {
    return pedal_.HasUndelivered() ? 1 : 200;
}

}  // namespace sim
