#include "platform/Console.h"

#include <utility>
#include <vector>

namespace platform {
namespace {
struct State {
    ConsoleSink sink;
    std::vector<std::pair<QString, Scroll>> pending;
};
State& state() {
    static State s;
    return s;
}
void Emit(const QString& text, Scroll scroll) {
    if (state().sink)
        state().sink(text, scroll);
    else
        state().pending.emplace_back(text, scroll);
}
}  // namespace

void SetConsoleSink(ConsoleSink sink) {
    state().sink = std::move(sink);
    if (!state().sink) return;
    auto pending = std::move(state().pending);
    state().pending.clear();
    for (const auto& [line, scroll] : pending) state().sink(line, scroll);
}

}  // namespace platform

void ConsolePrint(const QString& text) {
    platform::Emit(text, platform::Scroll::ToEnd);
}
void ConsoleAppend(const QString& text) {
    platform::Emit(text, platform::Scroll::None);
}
