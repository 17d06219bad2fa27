// Serves the virtual pedal on a pseudo-terminal so that real serial clients
// (the editor with --port, or any STM32 bootloader flasher) can talk to it.
//
//   quendle-pedal-sim [--bootloader] [--boot-on-sync] [--firmware-version N]
//                     [--corrupt-write ADDRESS] [--link PATH] [--paced] [--verbose]
//                     [--commands]
//
// The first line on standard output is the path of the terminal to open. The
// program runs until SIGTERM or SIGINT; SIGUSR1 resets the pedal into its
// bootloader, as holding the boot button while powering it up would. With
// --commands it reads commands from standard input, one a line, and answers
// each with one line on standard output (PtyFrontEnd::Command); the end of
// standard input ends only the commands.
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

#include "sim/PtyFrontEnd.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t bootRequested = 0;

void OnStopSignal(int) {
    stopRequested = 1;
}
void OnBootSignal(int) {
    bootRequested = 1;
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
    sim::PtyOptions options;
    bool help = false;
    if (!sim::ParsePtyOptions(argc, argv, options, help)) {
        sim::PrintPtyUsage(stderr);
        return 2;
    }
    if (help) {
        sim::PrintPtyUsage(stdout);
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

    sim::PtyFrontEnd frontEnd(options);
    sim::VirtualPedal& pedal = frontEnd.Pedal();

    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);

    std::uint8_t buffer[4096];
    std::string commandLine;
    bool commandsOpen = options.commands;
    int status = 0;
    while (!stopRequested) {
        if (bootRequested) {
            bootRequested = 0;
            pedal.EnterBootloader();
            if (options.verbose) std::fprintf(stderr, "reset into the bootloader\n");
        }
        pollfd fds[2] = {
            {master, static_cast<short>(POLLIN | (frontEnd.Outbox().empty() ? 0 : POLLOUT)), 0},
            {STDIN_FILENO, POLLIN, 0}};
        pollfd& fd = fds[0];
        const int polled = poll(fds, commandsOpen ? 2 : 1, frontEnd.WaitMs());
        if (polled < 0) {
            if (errno == EINTR) continue;
            std::perror("quendle-pedal-sim: poll");
            status = 1;
            break;
        }
        // The terminal first: what a client wrote before it sent a command
        // (a parameter, then "state") is taken in before the command runs.
        if (fd.revents & POLLIN) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) {
                if (options.verbose) LogBytes("received", buffer, static_cast<std::size_t>(n));
                frontEnd.Received(buffer, static_cast<std::size_t>(n));
            }
        } else if (fd.revents & (POLLHUP | POLLERR)) {
            usleep(10000);  // nobody on the other side; do not spin
        }
        if (commandsOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            char text[512];
            const ssize_t n = read(STDIN_FILENO, text, sizeof text);
            if (n <= 0) {
                commandsOpen = false;
            } else {
                commandLine.append(text, static_cast<std::size_t>(n));
                for (std::size_t end; (end = commandLine.find('\n')) != std::string::npos;) {
                    const std::string answer = frontEnd.Command(commandLine.substr(0, end));
                    commandLine.erase(0, end + 1);
                    std::printf("%s\n", answer.c_str());
                    std::fflush(stdout);
                }
            }
        }
        const sim::Bytes& outbox = frontEnd.Outbox();
        if (!outbox.empty()) {
            const ssize_t n = write(master, outbox.data(), outbox.size());
            if (n > 0) {
                if (options.verbose) LogBytes("sent", outbox.data(), static_cast<std::size_t>(n));
                frontEnd.Written(static_cast<std::size_t>(n));
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
