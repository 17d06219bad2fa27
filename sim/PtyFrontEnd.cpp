#include "sim/PtyFrontEnd.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <vector>

namespace sim {

void PrintPtyUsage(std::FILE* to) {
    std::fprintf(
        to,
        "usage: quendle-pedal-sim [--bootloader] [--boot-on-sync] [--firmware-version N]\n"
        "                         [--corrupt-write ADDRESS] [--pieces N [--piece-gap MS]]\n"
        "                         [--silent] [--link PATH] [--paced] [--verbose] [--commands]\n"
        "Serves a virtual Quendle MK3 on a pseudo-terminal and prints its path.\n"
        "  --bootloader          start in the microcontroller's ROM bootloader\n"
        "  --boot-on-sync        a lone 0x7F resets the running pedal into the bootloader\n"
        "  --firmware-version N  firmware version the pedal reports (0..255)\n"
        "  --corrupt-write ADDRESS  the first write that programs ADDRESS (e.g. 0x08003905)\n"
        "                        stores a wrong byte there and still answers ACK\n"
        "  --pieces N            send every answer (effect side and bootloader) in pieces of\n"
        "                        N bytes\n"
        "  --piece-gap MS        ... MS milliseconds apart (as a busy bridge hands them over)\n"
        "  --silent              carry out requests but never answer them\n"
        "  --link PATH           also make PATH a symbolic link to the terminal\n"
        "  --paced               deliver replies at the wire rate (11,520 bytes/s)\n"
        "  --verbose             log every write received on standard error\n"
        "  --commands            take commands on standard input, one a line, each answered\n"
        "                        by one line: state, pieces N GAP, split N GAP, silent on|off,\n"
        "                        cut N, flash ADDRESS LENGTH, boot-fault STEP silent|byte HH\n"
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
        } else if (arg == "--commands") {
            options.commands = true;
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
    SetPieces(options.pieceBytes, options.pieceGapMs);
    if (options.bootloader) pedal_.EnterBootloader();
}

void PtyFrontEnd::SetPieces(int bytes, int gapMs) {
    ReplyFault pieces;
    // Far more cuts than any answer of the effect side has bytes.
    if (bytes > 0) {
        for (std::size_t at = static_cast<std::size_t>(bytes); at < 70000;
             at += static_cast<std::size_t>(bytes))
            pieces.splitAfter.push_back(at);
        pieces.splitGapMs = gapMs;
    }
    pedal_.SetEveryReplyFault(std::move(pieces));
    // The bridge does not know which side of the pedal is talking.
    pedal_.SetBootloaderPieces(static_cast<std::size_t>(bytes), gapMs);
}

void PtyFrontEnd::Received(const std::uint8_t* data, std::size_t size) {
    received_ += size;
    pedal_.Receive(data, size);
}

std::string PtyFrontEnd::Command(const std::string& line) {
    std::vector<std::string> words;
    for (std::size_t at = 0; at < line.size();) {
        const std::size_t start = line.find_first_not_of(" \t\r", at);
        if (start == std::string::npos) break;
        const std::size_t end = std::min(line.find_first_of(" \t\r", start), line.size());
        words.push_back(line.substr(start, end - start));
        at = end;
    }
    auto number = [&](std::size_t i, long long max) {
        return i < words.size() ? WholeNumber(words[i].c_str(), 10, 0, max) : std::nullopt;
    };
    const std::string name = words.empty() ? std::string() : words[0];
    if (name == "state" && words.size() == 1) {
        std::string text = "state received " + std::to_string(received_) + " footswitch " +
                           std::to_string(pedal_.FootswitchMode()) + " tuning " +
                           std::to_string(pedal_.Tuning()) + " assignments ";
        char hex[16];
        for (std::uint8_t b : pedal_.Assignments()) {
            std::snprintf(hex, sizeof hex, "%02X", b);
            text += hex;
        }
        text += " values";
        for (std::size_t s = 0; s < VirtualPedal::kSlotCount; ++s) {
            std::snprintf(hex, sizeof hex, " %X", static_cast<unsigned>(pedal_.SlotValue(s)));
            text += hex;
        }
        return text;
    }
    if (name == "pieces" && words.size() == 3) {
        const auto bytes = number(1, 60000), gap = number(2, 60000);
        if (!bytes || !gap) return "error pieces needs two numbers 0..60000";
        SetPieces(static_cast<int>(*bytes), static_cast<int>(*gap));
        return "ok";
    }
    if (name == "silent" && words.size() == 2 && (words[1] == "on" || words[1] == "off")) {
        pedal_.SetSilent(words[1] == "on");
        return "ok";
    }
    if (name == "split" && words.size() == 3) {
        const auto bytes = number(1, 60000), gap = number(2, 60000);
        if (!bytes || !gap || *bytes == 0) return "error split needs two numbers 1..60000";
        ReplyFault& fault = pedal_.NextReplyFault();
        fault.splitAfter = {static_cast<std::size_t>(*bytes)};
        fault.splitGapMs = *gap;
        return "ok";
    }
    if (name == "cut" && words.size() == 2) {
        const auto bytes = number(1, 60000);
        if (!bytes) return "error cut needs a number 0..60000";
        pedal_.TruncateNextReply(static_cast<std::size_t>(*bytes));
        return "ok";
    }
    if (name == "flash" && words.size() == 3) {
        const auto address = WholeNumber(words[1].c_str(), 0, StmBootloader::kFlashBase,
                                         StmBootloader::kFlashBase + StmBootloader::kFlashSize - 1);
        const auto size = number(2, StmBootloader::kFlashSize);
        if (!address || !size ||
            *address - StmBootloader::kFlashBase + *size > StmBootloader::kFlashSize)
            return "error flash needs an address and a length inside the flash";
        const Bytes& flash = pedal_.Flash();
        std::string text = "flash ";
        text.reserve(text.size() + 2 * static_cast<std::size_t>(*size));
        char hex[4];
        const auto from = static_cast<std::size_t>(*address - StmBootloader::kFlashBase);
        for (std::size_t i = from; i < from + static_cast<std::size_t>(*size); ++i) {
            std::snprintf(hex, sizeof hex, "%02X", flash[i]);
            text += hex;
        }
        return text;
    }
    if (name == "boot-fault" && (words.size() == 3 || words.size() == 4)) {
        const auto step = number(1, 1000000);
        if (!step) return "error boot-fault needs a step 0..1000000";
        if (words.size() == 3 && words[2] == "silent") {
            pedal_.FailBootloaderStep(static_cast<std::size_t>(*step), {BootFault::NoAnswer});
            return "ok";
        }
        const auto byte =
            words.size() == 4 ? WholeNumber(words[3].c_str(), 16, 0, 255) : std::nullopt;
        if (words[2] != "byte" || !byte) return "error boot-fault needs silent or byte HH";
        pedal_.FailBootloaderStep(static_cast<std::size_t>(*step),
                                  {BootFault::WrongByte, static_cast<std::uint8_t>(*byte)});
        return "ok";
    }
    return "error unknown command: " + line.substr(0, 80);
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
