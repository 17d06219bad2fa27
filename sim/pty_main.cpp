// Serves the virtual pedal on a pseudo-terminal so that real serial clients
// (the editor with --port, or any STM32 bootloader flasher) can talk to it.
//
//   quendle-pedal-sim [--bootloader] [--boot-on-sync] [--firmware-version N]
//                     [--corrupt-write ADDRESS] [--link PATH] [--paced] [--verbose]
//
// The first line on standard output is the path of the terminal to open. The
// program runs until SIGTERM or SIGINT; SIGUSR1 resets the pedal into its
// bootloader, as holding the boot button while powering it up would.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/VirtualPedal.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t bootRequested = 0;

void OnStopSignal(int) {
    stopRequested = 1;
}
void OnBootSignal(int) {
    bootRequested = 1;
}

struct Options {
    bool bootloader = false;
    bool bootOnSync = false;
    int firmwareVersion = -1;
    bool corrupt = false;
    std::uint32_t corruptAddress = 0;
    std::string link;
    bool paced = false;
    bool verbose = false;
};

void PrintUsage(std::FILE* to) {
    std::fprintf(
        to,
        "usage: quendle-pedal-sim [--bootloader] [--boot-on-sync] [--firmware-version N]\n"
        "                         [--corrupt-write ADDRESS] [--link PATH] [--paced] [--verbose]\n"
        "Serves a virtual Quendle MK3 on a pseudo-terminal and prints its path.\n"
        "  --bootloader          start in the microcontroller's ROM bootloader\n"
        "  --boot-on-sync        a lone 0x7F resets the running pedal into the bootloader\n"
        "  --firmware-version N  firmware version the pedal reports (0..255)\n"
        "  --corrupt-write ADDRESS  the first write that programs ADDRESS (e.g. 0x08003905)\n"
        "                        stores a wrong byte there and still answers ACK\n"
        "  --link PATH           also make PATH a symbolic link to the terminal\n"
        "  --paced               deliver replies at the wire rate (11,520 bytes/s)\n"
        "  --verbose             log every write received on standard error\n"
        "SIGUSR1 resets the pedal into its bootloader; SIGTERM or SIGINT end it.\n");
}

// Returns false (after saying why) when the command line is not usable.
bool ParseOptions(int argc, char** argv, Options& options, bool& help) {
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
            char* end = nullptr;
            errno = 0;
            const long version = std::strtol(text, &end, 0);
            if (errno != 0 || end == text || *end != '\0' || version < 0 || version > 255) {
                std::fprintf(stderr, "quendle-pedal-sim: firmware version must be 0..255, not %s\n",
                             text);
                return false;
            }
            options.firmwareVersion = static_cast<int>(version);
        } else if (arg == "--corrupt-write") {
            const char* text = value("--corrupt-write");
            if (!text) return false;
            char* end = nullptr;
            errno = 0;
            const unsigned long long address = std::strtoull(text, &end, 0);
            if (errno != 0 || end == text || *end != '\0' || address < 0x08000000ULL ||
                address >= 0x08020000ULL) {
                std::fprintf(stderr,
                             "quendle-pedal-sim: --corrupt-write needs a flash address "
                             "0x08000000..0x0801FFFF, not %s\n",
                             text);
                return false;
            }
            options.corrupt = true;
            options.corruptAddress = static_cast<std::uint32_t>(address);
        } else {
            std::fprintf(stderr, "quendle-pedal-sim: unknown option %s\n", arg.c_str());
            return false;
        }
    }
    return true;
}

// Raw 8N1 at 115,200 baud, so that no byte (CR, XON/XOFF, DEL, ...) is
// translated or eaten before a client has set its own mode.
void MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    tcsetattr(fd, TCSANOW, &t);
}

void InstallSignals() {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = OnStopSignal;  // no SA_RESTART: poll() must return at once
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    action.sa_handler = OnBootSignal;
    sigaction(SIGUSR1, &action, nullptr);
    action.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &action, nullptr);
}

void LogBytes(const char* label, const std::uint8_t* data, std::size_t size) {
    std::fprintf(stderr, "%s %zu:", label, size);
    for (std::size_t i = 0; i < size && i < 64; ++i) std::fprintf(stderr, " %02X", data[i]);
    std::fprintf(stderr, size > 64 ? " ...\n" : "\n");
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    bool help = false;
    if (!ParseOptions(argc, argv, options, help)) {
        PrintUsage(stderr);
        return 2;
    }
    if (help) {
        PrintUsage(stdout);
        return 0;
    }

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("quendle-pedal-sim: pseudo-terminal");
        return 1;
    }
    const char* name = ptsname(master);
    if (!name) {
        std::perror("quendle-pedal-sim: ptsname");
        return 1;
    }
    const std::string slavePath = name;
    // Holding the terminal's other side open keeps it alive while clients come
    // and go; without it the first client's close would hang it up for good.
    const int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        std::perror("quendle-pedal-sim: open terminal");
        return 1;
    }
    MakeRaw(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    if (!options.link.empty()) {
        struct stat st {};
        if (lstat(options.link.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            unlink(options.link.c_str());
        if (symlink(slavePath.c_str(), options.link.c_str()) != 0) {
            std::perror("quendle-pedal-sim: --link");
            return 1;
        }
    }
    InstallSignals();

    sim::VirtualPedal pedal;
    pedal.SetStreamFraming(true);
    pedal.SetWirePaced(options.paced);
    pedal.SetBootOnSync(options.bootOnSync);
    if (options.firmwareVersion >= 0)
        pedal.SetFirmwareVersion(static_cast<std::uint8_t>(options.firmwareVersion));
    if (options.corrupt) pedal.CorruptFlashWrite(options.corruptAddress);
    if (options.bootloader) pedal.EnterBootloader();

    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);

    sim::Bytes outbox;
    std::uint8_t buffer[4096];
    int status = 0;
    while (!stopRequested) {
        if (bootRequested) {
            bootRequested = 0;
            pedal.EnterBootloader();
            if (options.verbose) std::fprintf(stderr, "reset into the bootloader\n");
        }
        const sim::Bytes ready = pedal.TakeAll();
        outbox.insert(outbox.end(), ready.begin(), ready.end());

        pollfd fd{master, static_cast<short>(POLLIN | (outbox.empty() ? 0 : POLLOUT)), 0};
        // Timed delivery needs a short turn; otherwise sleep until a byte comes.
        const int timeoutMs = pedal.HasUndelivered() ? 1 : 200;
        const int polled = poll(&fd, 1, timeoutMs);
        if (polled < 0) {
            if (errno == EINTR) continue;
            std::perror("quendle-pedal-sim: poll");
            status = 1;
            break;
        }
        if (fd.revents & POLLIN) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) {
                if (options.verbose) LogBytes("received", buffer, static_cast<std::size_t>(n));
                pedal.Receive(buffer, static_cast<std::size_t>(n));
            }
        } else if (fd.revents & (POLLHUP | POLLERR)) {
            usleep(10000);  // nobody on the other side; do not spin
        }
        if (!outbox.empty()) {
            const ssize_t n = write(master, outbox.data(), outbox.size());
            if (n > 0) {
                if (options.verbose) LogBytes("sent", outbox.data(), static_cast<std::size_t>(n));
                outbox.erase(outbox.begin(), outbox.begin() + n);
            }
        }
        if (pedal.Unplugged()) {
            std::fprintf(stderr, "quendle-pedal-sim: the pedal was unplugged\n");
            status = 3;
            break;
        }
    }

    if (!options.link.empty()) unlink(options.link.c_str());
    close(slave);
    close(master);
    return status;
}
