#include "sim/StmBootloader.h"

#include <algorithm>
#include <cstdio>

namespace sim {
namespace {

constexpr std::uint8_t kGet = 0x00;
constexpr std::uint8_t kGetVersion = 0x01;
constexpr std::uint8_t kGetId = 0x02;
constexpr std::uint8_t kReadMemory = 0x11;
constexpr std::uint8_t kGo = 0x21;
constexpr std::uint8_t kWriteMemory = 0x31;
constexpr std::uint8_t kErase = 0x43;

std::string Hex32(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

std::uint8_t Xor(const std::uint8_t* data, std::size_t size) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum ^= data[i];
    return sum;
}

}  // namespace

StmBootloader::StmBootloader(Hooks hooks)
    : hooks_(std::move(hooks)), flash_(kFlashSize, 0xFF), ram_(kRamSize, 0x00) {}

void StmBootloader::Reset() {
    state_ = State::WaitSync;
    frame_.clear();
    need_ = 0;
    steps_ = 0;
    writeCommands_ = 0;
}

void StmBootloader::ClearFaults() {
    stepFaults_.clear();
    nackWrites_.clear();
    corruptions_.clear();
}

void StmBootloader::Send(const Bytes& bytes) {
    if (splitPiece_ == 0) {
        hooks_.send(bytes, 0);
        return;
    }
    for (std::size_t from = 0; from < bytes.size(); from += splitPiece_) {
        const std::size_t to = std::min(bytes.size(), from + splitPiece_);
        hooks_.send(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                          bytes.begin() + static_cast<std::ptrdiff_t>(to)),
                    splitDelayMs_);
        splitDelayMs_ += splitGapMs_;
    }
}

std::uint8_t* StmBootloader::Memory(std::uint32_t address, std::size_t size, bool* isFlash) {
    const std::uint64_t begin = address;
    const std::uint64_t end = begin + size;
    if (begin >= kFlashBase && end <= std::uint64_t{kFlashBase} + kFlashSize) {
        if (isFlash) *isFlash = true;
        return flash_.data() + (begin - kFlashBase);
    }
    if (begin >= kRamBase && end <= std::uint64_t{kRamBase} + kRamSize) {
        if (isFlash) *isFlash = false;
        return ram_.data() + (begin - kRamBase);
    }
    return nullptr;
}

bool StmBootloader::Verdict(bool ok, const std::string& what) {
    const std::size_t step = steps_++;
    splitPiece_ = 0;
    if (!ok) log_.push_back("nack " + what);
    auto it = stepFaults_.find(step);
    if (it == stepFaults_.end()) {
        Send({ok ? kAck : kNack});
        return ok;
    }
    const BootFault fault = it->second;
    stepFaults_.erase(it);
    const std::string where = "step " + std::to_string(step) + " (" + what + "): ";
    switch (fault.kind) {
        case BootFault::NoAnswer:
            log_.push_back(where + "no answer");
            return ok;
        case BootFault::Nack:
            log_.push_back(where + "injected nack");
            Send({kNack});
            return false;
        case BootFault::WrongByte:
            log_.push_back(where + "wrong byte");
            Send({fault.byte});
            return ok;
        case BootFault::Late:
            log_.push_back(where + "late answer");
            hooks_.send({ok ? kAck : kNack}, fault.delayMs);
            return ok;
        case BootFault::Unplug:
            log_.push_back(where + "unplugged");
            state_ = State::Dead;
            if (hooks_.unplug) hooks_.unplug();
            return false;
        case BootFault::Tail:
            log_.push_back(where + "extra byte");
            Send({ok ? kAck : kNack, fault.byte});
            return ok;
        case BootFault::Split:
            log_.push_back(where + "split answer");
            splitPiece_ = std::max<std::size_t>(fault.pieceBytes, 1);
            splitGapMs_ = fault.delayMs;
            splitDelayMs_ = 0;
            Send({ok ? kAck : kNack});
            return ok;
    }
    return ok;
}

void StmBootloader::Feed(std::uint8_t byte) {
    switch (state_) {
        case State::Dead:
            return;
        case State::WaitSync:
            // Until the first 0x7F the real part is still measuring the baud
            // rate and ignores everything else.
            if (byte == kSync && Verdict(true, "sync")) {
                log_.push_back("sync");
                state_ = State::Command;
            }
            return;
        case State::Command:
            // Once synchronised, the part takes every byte as a command code,
            // 0x7F included: a host that syncs again gets silence, and a NACK
            // when its next byte is not the complement. Flashers rely on that
            // to find a bootloader left running by an earlier session.
            command_ = byte;
            state_ = State::Complement;
            return;
        case State::Complement:
            state_ = State::Command;
            OnComplement(byte);
            return;
        case State::Address:
            frame_.push_back(byte);
            if (frame_.size() == 5) {
                state_ = State::Command;
                OnAddress();
            }
            return;
        case State::ReadCount:
            frame_.push_back(byte);
            if (frame_.size() == 2) {
                state_ = State::Command;
                OnReadCount();
            }
            return;
        case State::WriteCount:
            frame_.assign(1, byte);
            need_ = std::size_t{byte} + 1;
            state_ = State::WriteData;
            return;
        case State::WriteData:
            frame_.push_back(byte);
            if (frame_.size() == need_ + 1) state_ = State::WriteChecksum;
            return;
        case State::WriteChecksum:
            frame_.push_back(byte);
            state_ = State::Command;
            OnWriteFrame();
            return;
        case State::EraseCount:
            frame_.assign(1, byte);
            if (byte == 0xFF) {
                state_ = State::EraseGlobalChecksum;
            } else {
                need_ = std::size_t{byte} + 1;
                state_ = State::ErasePages;
            }
            return;
        case State::EraseGlobalChecksum:
            state_ = State::Command;
            OnEraseGlobal(byte);
            return;
        case State::ErasePages:
            frame_.push_back(byte);
            if (frame_.size() == need_ + 1) state_ = State::EraseChecksum;
            return;
        case State::EraseChecksum:
            state_ = State::Command;
            OnErasePages(byte);
            return;
    }
}

void StmBootloader::OnComplement(std::uint8_t byte) {
    if (byte != static_cast<std::uint8_t>(command_ ^ 0xFF)) {
        char what[48];
        std::snprintf(what, sizeof what, "command %02X %02X: bad complement", command_, byte);
        Verdict(false, what);
        return;
    }
    switch (command_) {
        case kGet:
            if (!Verdict(true, "get")) return;
            // Only the commands this model carries out: the erase is the
            // one-byte-page 0x43, not the extended 0x44.
            Send({0x07, kBootloaderVersion, kGet, kGetVersion, kGetId, kReadMemory, kGo,
                  kWriteMemory, kErase});
            if (Verdict(true, "get")) log_.push_back("get");
            return;
        case kGetVersion:
            if (!Verdict(true, "get-version")) return;
            Send({kBootloaderVersion, 0x00, 0x00});
            if (Verdict(true, "get-version")) log_.push_back("get-version");
            return;
        case kGetId:
            if (!Verdict(true, "get-id")) return;
            Send({0x01, static_cast<std::uint8_t>(kProductId >> 8),
                  static_cast<std::uint8_t>(kProductId & 0xFF)});
            if (Verdict(true, "get-id")) log_.push_back("get-id");
            return;
        case kReadMemory:
        case kGo:
        case kWriteMemory:
            if (command_ == kWriteMemory) writeIndex_ = writeCommands_++;
            if (!Verdict(true, "command")) return;
            frame_.clear();
            state_ = State::Address;
            return;
        case kErase:
            if (!Verdict(true, "erase")) return;
            state_ = State::EraseCount;
            return;
        default: {
            char what[32];
            std::snprintf(what, sizeof what, "command %02X: not supported", command_);
            Verdict(false, what);
            return;
        }
    }
}

void StmBootloader::OnAddress() {
    const std::uint32_t address = (std::uint32_t{frame_[0]} << 24) |
                                  (std::uint32_t{frame_[1]} << 16) |
                                  (std::uint32_t{frame_[2]} << 8) | frame_[3];
    const char* name = command_ == kReadMemory ? "read" : command_ == kGo ? "go" : "write";
    const std::string what = std::string(name) + " " + Hex32(address);
    if (Xor(frame_.data(), 4) != frame_[4]) {
        Verdict(false, what + ": bad address checksum");
        return;
    }
    bool isFlash = false;
    const bool valid = Memory(address, 1, &isFlash) != nullptr && (command_ != kGo || isFlash);
    if (!valid) {
        Verdict(false, what + ": bad address");
        return;
    }
    if (!Verdict(true, what)) return;
    address_ = address;
    frame_.clear();
    if (command_ == kReadMemory) {
        state_ = State::ReadCount;
    } else if (command_ == kWriteMemory) {
        state_ = State::WriteCount;
    } else {
        log_.push_back(what);
        state_ = State::WaitSync;
        if (hooks_.go) hooks_.go(address);
    }
}

void StmBootloader::OnReadCount() {
    const std::size_t size = std::size_t{frame_[0]} + 1;
    const std::string what = "read " + Hex32(address_) + " " + std::to_string(size);
    if (frame_[1] != static_cast<std::uint8_t>(frame_[0] ^ 0xFF)) {
        Verdict(false, what + ": bad complement");
        return;
    }
    const std::uint8_t* memory = Memory(address_, size);
    if (!memory) {
        Verdict(false, what + ": out of range");
        return;
    }
    if (!Verdict(true, what)) return;
    Send(Bytes(memory, memory + size));
    log_.push_back(what);
}

void StmBootloader::OnWriteFrame() {
    const std::size_t size = frame_.size() - 2;
    const std::uint8_t* data = frame_.data() + 1;
    const std::string what = "write " + Hex32(address_) + " " + std::to_string(size);
    if (Xor(frame_.data(), frame_.size() - 1) != frame_.back()) {
        Verdict(false, what + ": bad checksum");
        return;
    }
    bool isFlash = false;
    std::uint8_t* memory = Memory(address_, size, &isFlash);
    if (!memory) {
        Verdict(false, what + ": out of range");
        return;
    }
    // Flash bits only go from 1 to 0 when programmed; the part refuses to
    // program anything that has not been erased first.
    if (isFlash && std::any_of(memory, memory + size, [](std::uint8_t b) { return b != 0xFF; })) {
        Verdict(false, what + ": not erased");
        return;
    }
    if (nackWrites_.count(writeIndex_)) {
        nackWrites_.erase(writeIndex_);
        Verdict(false, what + ": injected");
        return;
    }
    if (!Verdict(true, what)) return;
    std::copy(data, data + size, memory);
    log_.push_back(what);
    for (auto it = corruptions_.begin(); it != corruptions_.end();) {
        if (it->first >= address_ && it->first - address_ < size) {
            memory[it->first - address_] ^= it->second;
            log_.push_back("corrupted " + Hex32(it->first));
            it = corruptions_.erase(it);
        } else {
            ++it;
        }
    }
}

void StmBootloader::OnEraseGlobal(std::uint8_t checksum) {
    if (checksum != 0x00) {
        Verdict(false, "erase global: bad checksum");
        return;
    }
    if (!Verdict(true, "erase global")) return;
    std::fill(flash_.begin(), flash_.end(), 0xFF);
    log_.push_back("erase global");
}

void StmBootloader::OnErasePages(std::uint8_t checksum) {
    const std::uint8_t* pages = frame_.data() + 1;
    const std::size_t count = frame_.size() - 1;
    std::string what = "erase pages";
    if (count > 0) {
        const auto [lo, hi] = std::minmax_element(pages, pages + count);
        what += " " + std::to_string(*lo) + ".." + std::to_string(*hi);
    }
    if (Xor(frame_.data(), frame_.size()) != checksum) {
        Verdict(false, what + ": bad checksum");
        return;
    }
    if (std::any_of(pages, pages + count, [](std::uint8_t p) { return p >= kPageCount; })) {
        Verdict(false, what + ": no such page");
        return;
    }
    if (!Verdict(true, what)) return;
    for (std::size_t i = 0; i < count; ++i)
        std::fill_n(flash_.begin() + std::ptrdiff_t{pages[i]} * kPageSize, kPageSize, 0xFF);
    log_.push_back(what);
}

}  // namespace sim
