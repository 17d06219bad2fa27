#pragma once
// Helpers shared by the link suites: pedal replies in the pedal's own text
// form, a console recorder that keeps the scroll kind of every line, and a
// clock whose sleeps let the pedal deliver the next piece of a reply.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Console.h"
#include "platform/Time.h"
#include "sim/VirtualPedal.h"

#include <ostream>

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace linktest {

// Values as the pedal sends them: ASCII decimal lines ended by CR LF.
inline sim::Bytes DecimalLines(const std::vector<int>& values) {
    sim::Bytes bytes;
    for (int v : values) {
        for (char c : std::to_string(v)) bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back('\r');
        bytes.push_back('\n');
    }
    return bytes;
}

inline sim::Bytes Text(const char* text) {
    return sim::Bytes(text, text + std::char_traits<char>::length(text));
}

// A full device-information reply: identity 12, 0, 8, 1, then settings.
inline std::vector<int> FullReply(int firmware = 12) {
    std::vector<int> values{firmware, 0, 8, 1};
    for (int i = 4; i < 81; ++i) values.push_back((i * 37) % 256);
    return values;
}

// The value listing DecodeReply logs after its count line.
inline QStringList Listing(const std::vector<std::uint8_t>& values, std::uint32_t first = 0) {
    QStringList lines;
    for (std::size_t k = 0; k < values.size(); ++k)
        lines << QStringLiteral("%1:    %2")
                     .arg(first + k)
                     .arg(values[k], 2, 16, QLatin1Char('0'))
                     .toUpper();
    return lines;
}

struct ConsoleLine {
    QString text;
    platform::Scroll scroll;
};

// Replaces the console sink; forwards to `next` (the console window's sink)
// when given, so its log keeps filling.
class ConsoleRecorder {
public:
    explicit ConsoleRecorder(std::function<void(const QString&, platform::Scroll)> next = {})
        : next_(std::move(next)) {
        platform::SetConsoleSink([this](const QString& line, platform::Scroll scroll) {
            lines.push_back({line, scroll});
            if (next_) next_(line, scroll);
        });
    }
    ~ConsoleRecorder() { platform::SetConsoleSink(nullptr); }
    QStringList Texts() const {
        QStringList texts;
        for (const auto& l : lines) texts << l.text;
        return texts;
    }
    std::vector<ConsoleLine> lines;

private:
    std::function<void(const QString&, platform::Scroll)> next_;
};

// Counts sleeps like the fixture's clock; each sleep first hands the pedal
// the next piece of a reply, as if it kept sending while the editor paused.
class DeliveringClock : public platform::CountingClock {
public:
    void SleepMs(int milliseconds) override {
        CountingClock::SleepMs(milliseconds);
        if (pedal && !pieces.empty()) {
            pedal->Send(pieces.front());
            pieces.pop_front();
        }
    }
    sim::VirtualPedal* pedal = nullptr;
    std::deque<sim::Bytes> pieces;
};

inline DeliveringClock& InstallDeliveringClock() {
    auto clock = std::make_unique<DeliveringClock>();
    DeliveringClock& ref = *clock;
    platform::InstallClock(std::move(clock));
    return ref;
}

// Cuts bytes into pieces at the given offsets.
inline std::deque<sim::Bytes> Split(const sim::Bytes& bytes, std::vector<std::size_t> cuts) {
    std::deque<sim::Bytes> pieces;
    std::size_t from = 0;
    cuts.push_back(bytes.size());
    for (std::size_t cut : cuts) {
        pieces.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                            bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        from = cut;
    }
    return pieces;
}

}  // namespace linktest
