#include "sim/VirtualPedal.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

namespace sim {
namespace {

constexpr std::uint8_t kParameterWrite = 0x01;
constexpr std::uint8_t kDeviceInformation = 0x02;
constexpr std::uint8_t kStoreSettings = 0x03;
constexpr std::uint8_t kAssign = 0x04;
constexpr std::uint8_t kOpenEffect = 0x05;
constexpr std::uint8_t kMidiChannel = 0x07;
constexpr std::uint8_t kFootswitch = 0x08;
constexpr std::uint8_t kTuningOrNoteFilter = 0x09;
constexpr std::uint8_t kEepromErase = 0x0B;
constexpr std::uint8_t kEepromRead = 0x0C;
constexpr std::uint8_t kPreUpload = 0x0D;

// The built-in algorithm's DSP addresses, slot by slot ("Range" has none).
constexpr std::array<int, VirtualPedal::kSlotCount> kBuiltInAddresses = {
    0x000B, 0x00E8, 0x0077, 0x0073, 0x0003, 0x00CC, 0x00DE, 0x00A0,
    0x00E9, -1,     0x000A, 0x006E, 0x00E7, 0x001B, 0x000C};

// Where an algorithm image keeps its address table, and which slot each of
// its 17 words feeds (-1: not a parameter).
constexpr std::size_t kImageTableOffset = 3;
constexpr std::array<int, 17> kImageWordSlot = {0,  1,  2,  3,  4,  5,  6,  7, 8,
                                                -1, -1, -1, 10, 11, 12, 13, 14};

std::int64_t SteadyNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::uint16_t Be16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

std::uint32_t Be32(const Bytes& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
           (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

bool IsCommandCode(std::uint8_t code) {
    switch (code) {
        case kParameterWrite:
        case kDeviceInformation:
        case kStoreSettings:
        case kAssign:
        case kOpenEffect:
        case kMidiChannel:
        case kFootswitch:
        case kTuningOrNoteFilter:
        case kEepromErase:
        case kEepromRead:
        case kPreUpload:
            return true;
        default:
            return false;
    }
}

}  // namespace

VirtualPedal::VirtualPedal() : VirtualPedal(SteadyNowMs) {}

VirtualPedal::VirtualPedal(Clock nowMs) : now_(std::move(nowMs)), eeprom_(kEepromSize, 0xFF) {
    bootloader_ = std::make_unique<StmBootloader>(StmBootloader::Hooks{
        [this](const Bytes& bytes, std::int64_t delayMs) { QueueBootloaderAnswer(bytes, delayMs); },
        [this](std::uint32_t address) { LeaveBootloader(address); }, [this] { PullPlug(); }});
    for (std::size_t slot = 0; slot < kSlotCount; ++slot)
        if (kBuiltInAddresses[slot] >= 0)
            slotAddresses_[slot] = static_cast<std::uint16_t>(kBuiltInAddresses[slot]);
    // Nothing assigned: five clear flags, every code 0xFFFF.
    std::fill(assignments_.begin() + 5, assignments_.end(), 0xFF);
    SetFirmwareVersion(firmwareVersion_);
}

VirtualPedal::~VirtualPedal() = default;

void VirtualPedal::SetClock(Clock nowMs) {
    now_ = std::move(nowMs);
}

// ---- Output queue ------------------------------------------------------------

std::size_t VirtualPedal::Arrived(const Chunk& chunk, std::int64_t now) const {
    if (now < chunk.readyAt) return 0;
    if (!chunk.paced) return chunk.data.size();
    const std::int64_t arrived = (now - chunk.readyAt) * kWireBytesPerSecond / 1000;
    return static_cast<std::size_t>(
        std::min<std::int64_t>(arrived, static_cast<std::int64_t>(chunk.data.size())));
}

void VirtualPedal::Queue(Bytes bytes, std::int64_t delayMs, bool gated) {
    if (bytes.empty() || unplugged_) return;
    const std::int64_t now = now_();
    Chunk chunk;
    chunk.readyAt = now + std::max<std::int64_t>(delayMs, 0);
    chunk.paced = paced_;
    chunk.gated = gated;
    if (paced_) {
        // One wire: a reply cannot start before the previous one has left.
        chunk.readyAt = std::max(chunk.readyAt, wireFreeAt_);
        const auto size = static_cast<std::int64_t>(bytes.size());
        wireFreeAt_ = chunk.readyAt + (size * 1000 + kWireBytesPerSecond - 1) / kWireBytesPerSecond;
    }
    chunk.data = std::move(bytes);
    output_.push_back(std::move(chunk));
}

std::size_t VirtualPedal::Pending() const {
    const std::int64_t now = now_();
    std::size_t total = 0;
    for (std::size_t i = 0; i < output_.size(); ++i) {
        const Chunk& chunk = output_[i];
        if (chunk.gated && i > 0) break;
        const std::size_t arrived = Arrived(chunk, now);
        total += arrived - chunk.taken;
        if (arrived < chunk.data.size()) break;  // later bytes queue behind this one
    }
    return total;
}

std::size_t VirtualPedal::Take(std::uint8_t* out, std::size_t max) {
    std::size_t n = std::min(max, Pending());
    if (maxRead_ > 0) n = std::min(n, maxRead_);
    std::size_t done = 0;
    while (done < n) {
        Chunk& chunk = output_.front();
        const std::size_t part = std::min(n - done, chunk.data.size() - chunk.taken);
        if (out) std::memcpy(out + done, chunk.data.data() + chunk.taken, part);
        chunk.taken += part;
        done += part;
        if (chunk.taken == chunk.data.size()) output_.pop_front();
    }
    return n;
}

Bytes VirtualPedal::TakeAll() {
    Bytes bytes(Pending());
    bytes.resize(Take(bytes.data(), bytes.size()));
    return bytes;
}

void VirtualPedal::DropPending() {
    const std::size_t limit = std::exchange(maxRead_, 0);
    Take(nullptr, Pending());
    maxRead_ = limit;
}

std::int64_t VirtualPedal::MsUntilNextByte() const {
    if (Pending() > 0) return 0;
    const std::int64_t now = now_();
    for (std::size_t i = 0; i < output_.size(); ++i) {
        const Chunk& chunk = output_[i];
        if (chunk.taken >= chunk.data.size()) continue;
        // A gated piece waits for the reads of the one before it, which are
        // readable already when it is its turn.
        if (chunk.readyAt > now) return chunk.readyAt - now;
        // Paced bytes come one every 1000 / 11,520 ms.
        return 1;
    }
    return -1;
}

bool VirtualPedal::HasUndelivered() const {
    std::size_t queued = 0;
    for (const Chunk& chunk : output_) queued += chunk.data.size() - chunk.taken;
    return queued > Pending();
}

void VirtualPedal::Send(const Bytes& bytes) {
    Queue(bytes, 0);
}

void VirtualPedal::SendAfter(const Bytes& bytes, std::int64_t delayMs) {
    Queue(bytes, delayMs);
}

// ---- Replies and their faults ----------------------------------------------

ReplyFault& VirtualPedal::NextReplyFault() {
    if (replyFaults_.empty()) replyFaults_.emplace_back();
    return replyFaults_.front();
}

ReplyFault VirtualPedal::TakeReplyFault() {
    if (replyFaults_.empty()) return everyReply_;
    ReplyFault fault = std::move(replyFaults_.front());
    replyFaults_.pop_front();
    return fault;
}

void VirtualPedal::ReplyLines(const std::vector<unsigned>& values) {
    ReplyFault fault = TakeReplyFault();
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i) {
        auto it = fault.valueText.find(i);
        text += it != fault.valueText.end() ? it->second : std::to_string(values[i]);
        text += "\r\n";
    }
    Reply(Bytes(text.begin(), text.end()), std::move(fault));
}

void VirtualPedal::Reply(Bytes text, ReplyFault fault) {
    if (silent_ || fault.swallow) return;
    if (fault.replace) text = *fault.replace;
    if (fault.truncate && *fault.truncate < text.size()) text.resize(*fault.truncate);
    Bytes whole = fault.prefix;
    whole.insert(whole.end(), text.begin(), text.end());
    whole.insert(whole.end(), fault.suffix.begin(), fault.suffix.end());

    std::size_t from = 0;
    std::int64_t delay = fault.delayMs;
    bool first = true;
    std::vector<std::size_t> cuts = fault.splitAfter;
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(whole.size());
    for (std::size_t cut : cuts) {
        cut = std::min(cut, whole.size());
        if (cut <= from) continue;
        Queue(Bytes(whole.begin() + static_cast<std::ptrdiff_t>(from),
                    whole.begin() + static_cast<std::ptrdiff_t>(cut)),
              delay, !first && fault.splitGapMs <= 0);
        from = cut;
        first = false;
        delay += fault.splitGapMs;
    }
}

// ---- DSP side ----------------------------------------------------------------

void VirtualPedal::Receive(const std::uint8_t* data, std::size_t size) {
    if (unplugged_) return;
    messages_.emplace_back(data, data + size);
    if (bootOnSync_ && !inBootloader_ && size == 1 && data[0] == StmBootloader::kSync)
        EnterBootloader();
    std::size_t i = 0;
    while (i < size && inBootloader_ && !unplugged_) bootloader_->Feed(data[i++]);
    // A Go in the middle of a write hands the rest to the firmware it started.
    if (i < size && !unplugged_) ReceiveDsp(data + i, size - i);
}

std::size_t VirtualPedal::MessageLength(const Bytes& buffer, std::size_t at) const {
    const std::size_t rest = buffer.size() - at;
    switch (buffer[at]) {
        case kParameterWrite:
            return 7;
        case kDeviceInformation:
        case kOpenEffect:
        case kMidiChannel:
        case kPreUpload:
            return 2;
        case kStoreSettings:
            return 21;
        case kAssign:
            return 16;
        case kFootswitch:
            return 3;
        case kEepromErase:
        case kEepromRead:
            return 5;
        case kTuningOrNoteFilter: {
            // The tuning (2 bytes) and the note filter (3 bytes) share their
            // command code; only the length of the write tells them apart. With
            // more bytes behind, take the third byte as a note code only if it
            // is one and a command follows it.
            if (rest <= 3) return std::max<std::size_t>(rest, 2);
            const std::uint8_t third = buffer[at + 2];
            const bool noteCode = third <= 0x07 || third == 0xFF;
            return noteCode && IsCommandCode(buffer[at + 3]) ? 3 : 2;
        }
        default:
            return 0;
    }
}

void VirtualPedal::ReceiveDsp(const std::uint8_t* data, std::size_t size) {
    const std::int64_t now = now_();
    Bytes buffer;
    if (!partial_.empty()) {
        if (streamFraming_ && now - partialAt_ <= kMessageCompletionMs)
            buffer = partial_;
        else
            unrecognised_.push_back(partial_);
        partial_.clear();
    }
    buffer.insert(buffer.end(), data, data + size);

    std::size_t at = 0;
    while (at < buffer.size()) {
        if (uploadArmed_) {
            // The image announces its own length in bytes 1 and 2; until they
            // are in, at least three bytes are needed.
            auto target = [this] {
                if (upload_.size() < 3) return std::size_t{3};
                return std::max<std::size_t>(Be16(upload_, 1), 3);
            };
            const std::size_t take = std::min(target() - upload_.size(), buffer.size() - at);
            upload_.insert(upload_.end(), buffer.begin() + static_cast<std::ptrdiff_t>(at),
                           buffer.begin() + static_cast<std::ptrdiff_t>(at + take));
            at += take;
            if (upload_.size() >= target()) FinishUpload();
            continue;
        }
        const std::size_t length = MessageLength(buffer, at);
        const std::size_t rest = buffer.size() - at;
        const auto begin = buffer.begin() + static_cast<std::ptrdiff_t>(at);
        if (length == 0) {
            // No way to find the next message boundary in what follows.
            unrecognised_.emplace_back(begin, buffer.end());
            break;
        }
        if (rest < length) {
            if (streamFraming_) {
                partial_.assign(begin, buffer.end());
                partialAt_ = now;
            } else {
                unrecognised_.emplace_back(begin, buffer.end());
            }
            break;
        }
        Bytes message(begin, begin + static_cast<std::ptrdiff_t>(length));
        at += length;
        commands_.push_back(message);
        Execute(message);
    }
}

void VirtualPedal::Execute(const Bytes& m) {
    switch (m[0]) {
        case kParameterWrite: {
            const std::uint16_t address = Be16(m, 1);
            const std::uint32_t value = Be32(m, 3);
            writes_[address] = value;
            for (std::size_t slot = 0; slot < kSlotCount; ++slot)
                if (slotAddresses_[slot] == address) slotValues_[slot] = value;
            return;
        }
        case kDeviceInformation: {
            if (m[1] != 0x00) return;
            const auto info = DeviceInformation();
            ReplyLines(std::vector<unsigned>(info.begin(), info.end()));
            return;
        }
        case kStoreSettings:
            for (std::size_t i = 0; i < 5; ++i) slotValues_[10 + i] = Be32(m, 1 + 4 * i);
            ++storeCount_;
            return;
        case kAssign:
            std::copy(m.begin() + 1, m.end(), assignments_.begin());
            return;
        case kOpenEffect:
            ++openEffectCount_;
            return;
        case kMidiChannel:
            midiChannel_ = m[1];
            return;
        case kFootswitch:
            footswitchMode_ = static_cast<std::uint8_t>(m[1] * 2 + m[2]);
            return;
        case kTuningOrNoteFilter:
            if (m.size() == 2)
                tuning_ = m[1];
            else
                noteFilter_ = {m[1], m[2]};
            return;
        case kEepromErase: {
            const std::uint16_t first = Be16(m, 1), last = Be16(m, 3);
            for (std::uint32_t a = first; a <= last; ++a) eeprom_[a % kEepromSize] = 0xFF;
            return;
        }
        case kEepromRead: {
            const std::uint16_t first = Be16(m, 1), last = Be16(m, 3);
            std::vector<unsigned> values;
            for (std::uint32_t a = first; a <= last; ++a)
                values.push_back(eeprom_[a % kEepromSize]);
            if (!values.empty()) ReplyLines(values);
            return;
        }
        case kPreUpload:
            if (m[1] != 0x00) return;
            uploadArmed_ = true;
            upload_.clear();
            return;
        default:
            return;
    }
}

void VirtualPedal::FinishUpload() {
    uploadArmed_ = false;
    lastUpload_ = std::move(upload_);
    upload_.clear();
    ++uploadCount_;
    commands_.push_back(lastUpload_);
    // The running algorithm's parameters now live where its table says.
    if (lastUpload_.size() >= kImageTableOffset + 2 * kImageWordSlot.size()) {
        for (std::size_t word = 0; word < kImageWordSlot.size(); ++word)
            if (kImageWordSlot[word] >= 0)
                slotAddresses_[static_cast<std::size_t>(kImageWordSlot[word])] =
                    Be16(lastUpload_, kImageTableOffset + 2 * word);
    }
    const std::string answer = kUploadAnswer;
    Reply(Bytes(answer.begin(), answer.end()), TakeReplyFault());
}

std::optional<std::uint32_t> VirtualPedal::ParameterAt(std::uint16_t address) const {
    auto it = writes_.find(address);
    if (it == writes_.end()) return std::nullopt;
    return it->second;
}

std::array<std::uint8_t, VirtualPedal::kReplyValueCount> VirtualPedal::DeviceInformation() const {
    std::array<std::uint8_t, kReplyValueCount> v{};
    v[0] = firmwareVersion_;
    v[1] = static_cast<std::uint8_t>(algorithmVersion_ >> 8);
    v[2] = static_cast<std::uint8_t>(algorithmVersion_ & 0xFF);
    v[3] = effectNumber_;
    v[4] = footswitchMode_;
    std::copy(assignments_.begin(), assignments_.end(), v.begin() + 5);
    v[20] = tuning_;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot)
        for (std::size_t b = 0; b < 4; ++b)
            v[21 + 4 * slot + b] = static_cast<std::uint8_t>(slotValues_[slot] >> (24 - 8 * b));
    return v;
}

void VirtualPedal::SetFirmwareVersion(std::uint8_t version) {
    firmwareVersion_ = version;
    // The record the upgrade writes: seven zero bytes, then the version.
    const std::size_t at = kVersionRecordAddress - StmBootloader::kFlashBase;
    std::fill_n(Flash().begin() + static_cast<std::ptrdiff_t>(at), 7, 0x00);
    Flash()[at + 7] = version;
}

// ---- Bootloader and plug -----------------------------------------------------

void VirtualPedal::EnterBootloader() {
    inBootloader_ = true;
    uploadArmed_ = false;
    upload_.clear();
    partial_.clear();
    bootloader_->Reset();
}

void VirtualPedal::QueueBootloaderAnswer(const Bytes& bytes, std::int64_t delayMs) {
    if (bootPieceBytes_ == 0) {
        Queue(bytes, delayMs);
        return;
    }
    // The bootloader sends an answer in parts (ACK, data, ACK); the bridge
    // cuts the stream, so a piece keeps its gap to the piece before it
    // whichever part that belonged to. Without a gap a piece is readable once
    // the one before it was read, as Reply cuts the DSP side's.
    const std::int64_t now = now_();
    std::int64_t at = std::max(now + std::max<std::int64_t>(delayMs, 0), bootPiecesFreeAt_);
    for (std::size_t from = 0; from < bytes.size(); from += bootPieceBytes_) {
        const std::size_t to = std::min(bytes.size(), from + bootPieceBytes_);
        Queue(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                    bytes.begin() + static_cast<std::ptrdiff_t>(to)),
              at - now, bootPieceGapMs_ <= 0);
        at += bootPieceGapMs_;
    }
    bootPiecesFreeAt_ = at;
}

void VirtualPedal::LeaveBootloader(std::uint32_t /*address*/) {
    inBootloader_ = false;
    // The firmware learns its own version from the record written after it.
    firmwareVersion_ = Flash()[kVersionRecordAddress - StmBootloader::kFlashBase + 7];
}

void VirtualPedal::PlugIn() {
    unplugged_ = false;
    inBootloader_ = false;
    output_.clear();
    partial_.clear();
    // Powered up afresh, the DSP waits for no image an earlier pre-upload
    // message announced.
    uploadArmed_ = false;
    upload_.clear();
}

void VirtualPedal::PullPlug() {
    if (unplugged_) return;
    unplugged_ = true;
    output_.clear();
    if (onUnplug_) onUnplug_();
}

}  // namespace sim
