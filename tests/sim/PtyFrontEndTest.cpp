// The pseudo-terminal front-end, run as its own process and driven through
// the terminal like a real serial client would, including a real STM32
// flasher against its bootloader.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "sim/PtyFrontEnd.h"
#include "tests/sim/SimTestSupport.h"

using namespace simtest;
using sim::Bytes;

namespace {

// One run of quendle-pedal-sim; ended with SIGTERM when the test is done.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& options) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv = {const_cast<char*>(QUENDLE_PEDAL_SIM_PATH)};
            for (const std::string& o : options) argv.push_back(const_cast<char*>(o.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        std::FILE* stream = fdopen(out[0], "r");
        char line[256] = {};
        if (stream && std::fgets(line, sizeof line, stream)) path_ = line;
        if (!path_.empty() && path_.back() == '\n') path_.pop_back();
        if (stream) std::fclose(stream);
    }
    ~SimProcess() { Stop(); }

    const std::string& Path() const { return path_; }
    void Signal(int signal) { kill(pid_, signal); }
    // Ends the program as a service manager would; returns its exit status.
    int Stop() {
        if (pid_ <= 0) return status_;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
    }

private:
    pid_t pid_ = -1;
    int status_ = -1;
    std::string path_;
};

// A raw serial client on the terminal's other side.
class Terminal {
public:
    explicit Terminal(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {
        termios t{};
        if (fd_ >= 0 && tcgetattr(fd_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~Terminal() {
        if (fd_ >= 0) close(fd_);
    }
    bool IsOpen() const { return fd_ >= 0; }
    void Write(const Bytes& bytes) {
        ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // Reads until `lines` CR LF pairs have come or 5 s have passed.
    std::string ReadLines(std::size_t lines) {
        std::string text;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        auto complete = [&] {
            std::size_t count = 0;
            for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2)
                ++count;
            return count >= lines;
        };
        while (!complete() && std::chrono::steady_clock::now() < until) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            char buffer[512];
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }

    // Up to `count` bytes, waiting at most 2 s for them.
    Bytes ReadBytes(std::size_t count) {
        Bytes bytes;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (bytes.size() < count && std::chrono::steady_clock::now() < until) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            std::uint8_t buffer[256];
            const ssize_t n = read(fd_, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (n > 0) bytes.insert(bytes.end(), buffer, buffer + n);
        }
        return bytes;
    }

private:
    int fd_;
};

TEST(PtyFrontEnd, ServesTheDspSideWithEveryByteValueIntact) {
    SimProcess sim({"--firmware-version", "7"});
    ASSERT_EQ(sim.Path().rfind("/dev/pts/", 0), 0u) << "first line: " << sim.Path();
    Terminal port(sim.Path());
    ASSERT_TRUE(port.IsOpen());

    // Values holding CR, XON, XOFF and DEL: a cooked terminal would change them.
    port.Write(B({0x03, 0x0D, 0x11, 0x13, 0x7F, 0x0A, 0x0A, 0x0A, 0x0A, 0, 0,
                  0,    0,    0,    0,    0,    0,    0,    0,    0,    0}));
    port.Write(B({0x02, 0x00}));
    const auto values = Lines(port.ReadLines(81));
    ASSERT_EQ(values.size(), 81u);
    EXPECT_EQ(values[0], "7");
    const std::vector<std::string> slot10(values.begin() + 61, values.begin() + 65);
    EXPECT_EQ(slot10, (std::vector<std::string>{"13", "17", "19", "127"}));
    EXPECT_EQ(sim.Stop(), 0) << "SIGTERM ends it cleanly";
}

TEST(PtyFrontEnd, SigusrOneResetsThePedalIntoItsBootloader) {
    SimProcess sim({});
    Terminal port(sim.Path());
    ASSERT_TRUE(port.IsOpen());
    port.Write(B({0x02, 0x00}));
    EXPECT_EQ(Lines(port.ReadLines(81)).size(), 81u);

    sim.Signal(SIGUSR1);
    usleep(100000);
    port.Write(B({0x7F}));
    EXPECT_EQ(port.ReadBytes(1), B({0x79}));
    port.Write(B({0x02, 0xFD}));
    EXPECT_EQ(port.ReadBytes(5), B({0x79, 0x01, 0x04, 0x10, 0x79}));
}

TEST(PtyFrontEnd, LinkPointsAtTheTerminalWhileItRuns) {
    char dir[] = "/tmp/quendle-sim-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string link = std::string(dir) + "/pedal";
    {
        SimProcess sim({"--link", link});
        char target[256] = {};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(sim.Path(), target);
        EXPECT_EQ(sim.Stop(), 0);
    }
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "the link goes with the program";
    rmdir(dir);
}

TEST(PtyFrontEnd, RefusesBadOptionValues) {
    for (const char* options : {"--firmware-version 300", "--corrupt-write 0x20000000",
                                "--corrupt-write 0x08020000", "--corrupt-write flash"}) {
        const std::string command =
            std::string(QUENDLE_PEDAL_SIM_PATH) + " " + options + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << options;
        EXPECT_EQ(WEXITSTATUS(status), 2) << options;
    }
}

// The --commands channel, driven without a terminal: each command takes
// effect on the next answer, the state line reports what the pedal holds and
// how much it has read, and a command it does not know changes nothing.
TEST(PtyFrontEnd, CommandsChangeTheFaultsAndReportTheState) {
    std::int64_t now = 0;
    sim::PtyFrontEnd frontEnd(sim::PtyOptions{}, [&now] { return now; });
    const Bytes request = B({0x02, 0x00});
    auto answer = [&] {
        frontEnd.Received(request.data(), request.size());
        Bytes got;
        for (int ms = 0; ms < 5000; ms += 10, now += 10) {
            const Bytes& out = frontEnd.Outbox();
            got.insert(got.end(), out.begin(), out.end());
            frontEnd.Written(out.size());
        }
        return Text(got);
    };
    // Slot 0's address and a value, as a live write carries them.
    const std::uint16_t address = *frontEnd.Pedal().SlotAddress(0);
    const Bytes write = B({0x01, address >> 8, address & 0xFF, 0x00, 0x12, 0x34, 0x56});
    frontEnd.Received(write.data(), write.size());
    const std::string state = frontEnd.Command("state");
    EXPECT_EQ(state.rfind("state received 7 footswitch 0 tuning 0 assignments "
                          "0000000000FFFFFFFFFFFFFFFFFFFF values 123456 ",
                          0),
              0u)
        << state;
    const std::string whole = answer();
    ASSERT_EQ(Lines(whole).size(), 81u);

    EXPECT_EQ(frontEnd.Command("pieces 8 30"), "ok");
    frontEnd.Received(request.data(), request.size());
    const Bytes& first = frontEnd.Outbox();
    EXPECT_EQ(first.size(), 8u) << "one piece now, the next 30 ms later";
    frontEnd.Written(first.size());
    EXPECT_EQ(whole.substr(8) + whole, answer()) << "the rest of that answer, then a whole one";

    EXPECT_EQ(frontEnd.Command("pieces 0 0"), "ok");
    EXPECT_EQ(frontEnd.Command("split 5 500"), "ok");
    frontEnd.Received(request.data(), request.size());
    EXPECT_EQ(Text(frontEnd.Outbox()), whole.substr(0, 5));
    frontEnd.Written(5);
    now += 499;
    EXPECT_TRUE(frontEnd.Outbox().empty()) << "the rest comes 500 ms later";
    now += 1;
    EXPECT_EQ(Text(frontEnd.Outbox()), whole.substr(5));
    frontEnd.Written(whole.size() - 5);

    EXPECT_EQ(frontEnd.Command("cut 5"), "ok");
    EXPECT_EQ(answer(), whole.substr(0, 5));
    EXPECT_EQ(answer(), whole) << "only the next answer is cut";
    EXPECT_EQ(frontEnd.Command("silent on"), "ok");
    EXPECT_EQ(answer(), "");
    EXPECT_EQ(frontEnd.Command("silent off"), "ok");
    EXPECT_EQ(answer(), whole);

    for (const char* bad : {"", "bogus", "pieces 8", "pieces x 3", "cut -1", "silent maybe",
                            "state now", "cut 99999999999999999999", "split 0 10", "split 5"})
        EXPECT_EQ(frontEnd.Command(bad).rfind("error ", 0), 0u) << bad;
    EXPECT_EQ(answer(), whole);
}

// The bootloader's side of --commands: the bridge's pieces cut its answers
// too, a step can be made silent or answered with another byte, and the flash
// is reported as the pedal holds it.
TEST(PtyFrontEnd, CommandsReachTheBootloader) {
    std::int64_t now = 0;
    sim::PtyOptions options;
    options.bootloader = true;
    sim::PtyFrontEnd frontEnd(options, [&now] { return now; });
    auto send = [&](const Bytes& bytes) { frontEnd.Received(bytes.data(), bytes.size()); };
    // What reaches the terminal in the next 50 ms, a look every millisecond.
    auto pieces = [&] {
        std::vector<Bytes> got;
        for (int ms = 0; ms < 50; ++ms, ++now) {
            const Bytes& out = frontEnd.Outbox();
            if (!out.empty()) got.push_back(out);
            frontEnd.Written(out.size());
        }
        return got;
    };

    EXPECT_EQ(frontEnd.Command("pieces 1 5"), "ok");
    send(B({0x7F}));
    EXPECT_EQ(pieces(), std::vector<Bytes>{B({0x79})});
    send(B({0x02, 0xFD}));  // Get ID: ACK, count, product ID, ACK
    EXPECT_EQ(pieces(),
              (std::vector<Bytes>{B({0x79}), B({0x01}), B({0x04}), B({0x10}), B({0x79})}));

    EXPECT_EQ(frontEnd.Command("pieces 0 0"), "ok");
    // Steps 3 and 4: two more Get IDs' first answers.
    EXPECT_EQ(frontEnd.Command("boot-fault 3 silent"), "ok");
    EXPECT_EQ(frontEnd.Command("boot-fault 5 byte 00"), "ok");
    send(B({0x02, 0xFD}));
    EXPECT_EQ(pieces(), std::vector<Bytes>{B({0x01, 0x04, 0x10, 0x79})});
    send(B({0x02, 0xFD}));
    EXPECT_EQ(pieces(), std::vector<Bytes>{B({0x00, 0x01, 0x04, 0x10, 0x79})});

    // Seven zero bytes and the version: the record of the firmware it runs.
    EXPECT_EQ(frontEnd.Command("flash 0x0801FC00 8"), "flash 0000000000000003");
    EXPECT_EQ(frontEnd.Command("flash 0x0801FFFF 1"), "flash FF");
    for (const char* bad :
         {"flash 0x07FFFFFF 1", "flash 0x0801FFFF 2", "flash 0x08000000", "flash 0x08000000 -1",
          "boot-fault 3", "boot-fault x silent", "boot-fault 3 loud", "boot-fault 3 byte",
          "boot-fault 3 byte 100", "boot-fault 3 silent now"})
        EXPECT_EQ(frontEnd.Command(bad).rfind("error ", 0), 0u) << bad;
}

std::string Stm32flash() {
    for (const char* path : {"/usr/bin/stm32flash", "/usr/local/bin/stm32flash"})
        if (access(path, X_OK) == 0) return path;
    return {};
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A real AN3155 client writes and verifies a firmware-sized image, reads it
// back, writes the version record and starts the firmware, which then
// reports that version.
TEST(PtyFrontEnd, StandardFlasherWritesVerifiesAndStartsTheFirmware) {
    const std::string flasher = Stm32flash();
    if (flasher.empty()) GTEST_SKIP() << "stm32flash is not installed";

    char dir[] = "/tmp/quendle-flash-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string folder = dir;
    std::string image(53704, '\0');
    std::uint32_t state = 0x12345678;
    for (char& c : image) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    std::ofstream(folder + "/image.bin", std::ios::binary) << image;
    std::ofstream(folder + "/record.bin", std::ios::binary) << std::string("\0\0\0\0\0\0\0\x04", 8);

    SimProcess sim({"--bootloader"});
    ASSERT_FALSE(sim.Path().empty());
    const std::string log = folder + "/stm32flash.log";
    auto run = [&](const std::string& arguments) {
        const std::string command =
            flasher + " -m 8n1 -b 115200 " + arguments + " " + sim.Path() + " >>" + log + " 2>&1";
        return std::system(command.c_str());
    };

    ASSERT_EQ(run("-w " + folder + "/image.bin -v"), 0) << ReadFile(log);
    ASSERT_EQ(run("-S 0x08000000:53704 -r " + folder + "/back.bin"), 0) << ReadFile(log);
    EXPECT_TRUE(ReadFile(folder + "/back.bin") == image) << "read-back differs";
    ASSERT_EQ(run("-S 0x0801FC00 -w " + folder + "/record.bin -g 0x08000000"), 0) << ReadFile(log);

    Terminal port(sim.Path());
    port.Write(B({0x02, 0x00}));
    const auto values = Lines(port.ReadLines(81));
    ASSERT_EQ(values.size(), 81u);
    EXPECT_EQ(values[0], "4");

    for (const char* name : {"/image.bin", "/record.bin", "/back.bin", "/stm32flash.log"})
        std::remove((folder + name).c_str());
    rmdir(dir);
}

}  // namespace
