#pragma once
// The virtual pedal: a model of the device as seen from the USB-serial link.
// Bytes the host writes go in through Receive(); what the pedal sends back waits
// in its output queue until the host takes it. It shares no code with the
// editor's message builders or reply decoder, so it cannot agree with their
// mistakes.
//
// Two personalities share the link: the DSP firmware (binary commands in,
// ASCII decimal lines out) and the microcontroller's ROM bootloader (see
// StmBootloader). Faults can be injected into either, and every reply can be
// delayed, split or paced at the wire rate against an injectable clock.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/StmBootloader.h"

namespace sim {

using Bytes = std::vector<std::uint8_t>;
// Milliseconds on a monotonic clock.
using Clock = std::function<std::int64_t()>;

// What goes wrong with one reply of the DSP side (the device information,
// an EEPROM read or the upload answer). Parts combine: the reply text is built
// (with valueText), then replaced, truncated, wrapped in prefix/suffix, then
// split and delayed.
struct ReplyFault {
    bool swallow = false;                 // no answer at all
    std::optional<Bytes> replace;         // these bytes instead of the reply
    std::optional<std::size_t> truncate;  // only the first n bytes
    Bytes prefix;                         // garbage before the reply
    Bytes suffix;                         // garbage (or extra lines) after it
    // Line i of the reply printed as this text instead of its value, e.g.
    // {0, "1234"} for a four-digit first value.
    std::map<std::size_t, std::string> valueText;
    // The reply comes in pieces cut after these byte offsets (ascending). A
    // piece becomes readable only once the bytes before it have all been
    // read, or splitGapMs after the previous piece when splitGapMs > 0.
    std::vector<std::size_t> splitAfter;
    std::int64_t splitGapMs = 0;
    std::int64_t delayMs = 0;  // the first byte becomes readable this much later
};

class VirtualPedal {
public:
    static constexpr std::size_t kEepromSize = 16 * 1024;
    static constexpr std::size_t kSlotCount = 15;
    static constexpr std::size_t kReplyValueCount = 81;
    static constexpr std::size_t kAssignmentBytes = 15;
    static constexpr std::uint32_t kVersionRecordAddress = 0x0801FC00;
    // 115,200 baud with 10 bits per byte (8N1).
    static constexpr std::int64_t kWireBytesPerSecond = 11520;
    // Over a stream a message cut by the operating system is completed by
    // bytes arriving within this time; later bytes start a new message.
    static constexpr std::int64_t kMessageCompletionMs = 50;
    static constexpr const char* kUploadAnswer = "Upload complete\r\n";

    VirtualPedal();
    explicit VirtualPedal(Clock nowMs);
    virtual ~VirtualPedal();
    VirtualPedal(const VirtualPedal&) = delete;
    VirtualPedal& operator=(const VirtualPedal&) = delete;

    // ---- The link ----------------------------------------------------------

    // Host to pedal: the bytes of one write (over a pseudo-terminal: the bytes
    // that arrived together).
    void Receive(const std::uint8_t* data, std::size_t size);
    void Receive(const Bytes& bytes) { Receive(bytes.data(), bytes.size()); }

    // Pedal to host.
    std::size_t Pending() const;                           // bytes the host can read now
    std::size_t Take(std::uint8_t* out, std::size_t max);  // reads up to max of them
    Bytes TakeAll();                                       // everything readable now
    // The host purged its receive side: drops what is readable now; bytes
    // still on their way (delayed, paced, or a later piece of a split reply)
    // arrive afterwards as they would on the wire.
    void DropPending();
    // Whether bytes are queued that are not readable yet.
    bool HasUndelivered() const;
    // Milliseconds until more bytes become readable: 0 when some are readable
    // now, -1 when nothing is on its way.
    std::int64_t MsUntilNextByte() const;
    // Every read returns at most this many bytes (0: no limit), so that each
    // reply comes in several reads while Pending() still counts it all.
    void SetMaxReadSize(std::size_t bytes) { maxRead_ = bytes; }

    // Tests: queue bytes as if the pedal had sent them (garbage, raw replies).
    void Send(const Bytes& bytes);
    void SendAfter(const Bytes& bytes, std::int64_t delayMs);
    // Every write received, in order, as it arrived.
    const std::vector<Bytes>& Messages() const { return messages_; }
    void ClearMessages() { messages_.clear(); }
    // Every DSP command recognised, one entry per message (an uploaded image is
    // one entry), in order.
    const std::vector<Bytes>& Commands() const { return commands_; }
    // Bytes the DSP side could not make sense of (unknown command codes,
    // messages cut short), one entry per occurrence.
    const std::vector<Bytes>& Unrecognised() const { return unrecognised_; }

    // ---- Time and delivery -------------------------------------------------

    // Set it before anything is queued: queued bytes keep the times they got.
    void SetClock(Clock nowMs);
    std::int64_t NowMs() const { return now_(); }
    // Replies trickle out at 11,520 bytes/s instead of appearing at once.
    void SetWirePaced(bool paced) { paced_ = paced; }
    // Off (in process): every Receive() is one whole message, and a message cut
    // short is unrecognised. On (pseudo-terminal): a message cut at the end of
    // a read is completed by the next read if it comes within
    // kMessageCompletionMs.
    void SetStreamFraming(bool on) { streamFraming_ = on; }

    // ---- DSP state ---------------------------------------------------------

    std::uint8_t FirmwareVersion() const { return firmwareVersion_; }
    // Also writes the matching version record into the flash, so that a trip
    // through the bootloader without an upgrade keeps the version.
    void SetFirmwareVersion(std::uint8_t version);
    std::uint16_t AlgorithmVersion() const { return algorithmVersion_; }
    void SetAlgorithmVersion(std::uint16_t version) { algorithmVersion_ = version; }
    std::uint8_t EffectNumber() const { return effectNumber_; }
    void SetEffectNumber(std::uint8_t number) { effectNumber_ = number; }
    // short-press code * 2 + long-press code, as the footswitch message set it.
    std::uint8_t FootswitchMode() const { return footswitchMode_; }
    void SetFootswitchMode(std::uint8_t mode) { footswitchMode_ = mode; }
    // Bytes 1..15 of the last assignment message: five flags, five 16-bit codes.
    const std::array<std::uint8_t, kAssignmentBytes>& Assignments() const { return assignments_; }
    void SetAssignments(const std::array<std::uint8_t, kAssignmentBytes>& a) { assignments_ = a; }
    std::uint8_t Tuning() const { return tuning_; }
    void SetTuning(std::uint8_t tuning) { tuning_ = tuning; }
    // The two note codes of the last note filter message (0xFF = none).
    std::pair<std::uint8_t, std::uint8_t> NoteFilter() const { return noteFilter_; }
    // The last MIDI channel message's byte: 0 = omni, 1..16.
    std::uint8_t MidiChannel() const { return midiChannel_; }

    // The fifteen parameter values, in the order the device information reports.
    std::uint32_t SlotValue(std::size_t slot) const { return slotValues_.at(slot); }
    void SetSlotValue(std::size_t slot, std::uint32_t value) { slotValues_.at(slot) = value; }
    // The DSP address behind a slot; a live write to that address changes the
    // slot's value. Defaults: the built-in algorithm's table; slot 9 has none.
    std::optional<std::uint16_t> SlotAddress(std::size_t slot) const {
        return slotAddresses_.at(slot);
    }
    void SetSlotAddress(std::size_t slot, std::optional<std::uint16_t> address) {
        slotAddresses_.at(slot) = address;
    }
    // The last value written live to an address, if any.
    std::optional<std::uint32_t> ParameterAt(std::uint16_t address) const;
    const std::map<std::uint16_t, std::uint32_t>& ParameterWrites() const { return writes_; }
    std::size_t StoreCount() const { return storeCount_; }
    std::size_t OpenEffectCount() const { return openEffectCount_; }

    Bytes& Eeprom() { return eeprom_; }
    const Bytes& Eeprom() const { return eeprom_; }

    // The 81 values the device information request answers with.
    std::array<std::uint8_t, kReplyValueCount> DeviceInformation() const;

    // The image of the last completed upload (empty before the first).
    const Bytes& LastUpload() const { return lastUpload_; }
    std::size_t UploadCount() const { return uploadCount_; }
    // After the pre-upload message, until the whole image has arrived.
    bool UploadInProgress() const { return uploadArmed_; }

    // ---- DSP faults --------------------------------------------------------

    // While silent the DSP side carries out requests but never answers them.
    void SetSilent(bool silent) { silent_ = silent; }
    // The fault for the next reply (created empty if none is queued). Faults
    // are used up one per reply, in order.
    ReplyFault& NextReplyFault();
    void QueueReplyFault(ReplyFault fault) { replyFaults_.push_back(std::move(fault)); }
    // The fault of every reply that has none queued (the pseudo-terminal
    // front-end's --pieces and --silent).
    void SetEveryReplyFault(ReplyFault fault) { everyReply_ = std::move(fault); }
    void SwallowNextReply() { NextReplyFault().swallow = true; }
    void DelayNextReply(std::int64_t ms) { NextReplyFault().delayMs = ms; }
    void SplitNextReplyAfter(std::size_t n) { NextReplyFault().splitAfter.push_back(n); }
    void ReplaceNextReply(Bytes raw) { NextReplyFault().replace = std::move(raw); }
    void TruncateNextReply(std::size_t n) { NextReplyFault().truncate = n; }
    void FourDigitValueInNextReply(std::size_t line, std::string text = "1234") {
        NextReplyFault().valueText[line] = std::move(text);
    }
    void GarbageAfterNextReply(Bytes garbage) { NextReplyFault().suffix = std::move(garbage); }

    // ---- Bootloader --------------------------------------------------------

    // As if the pedal were reset with its boot pin held: the bootloader waits
    // for the synchronisation byte.
    void EnterBootloader();
    bool InBootloader() const { return inBootloader_; }
    // As if the user held the boot button: a write of the single
    // synchronisation byte 0x7F to the running firmware resets the pedal into
    // its bootloader, which then answers it. Lets a simulated pedal go through
    // a firmware upgrade with nobody at the pedal.
    void SetBootOnSync(bool on) { bootOnSync_ = on; }
    // The bridge hands the bootloader's answers over in pieces of this many
    // bytes, gapMs apart (0 bytes: as the bootloader sends them), as it does
    // the DSP side's (SetEveryReplyFault).
    void SetBootloaderPieces(std::size_t bytes, std::int64_t gapMs) {
        bootPieceBytes_ = bytes;
        bootPieceGapMs_ = gapMs;
    }
    StmBootloader& Bootloader() { return *bootloader_; }
    // The 128 KiB from 0x08000000. It starts erased (0xFF) but for the version
    // record of the current firmware at 0x0801FC00: seven zero bytes, then the
    // version. After a Go the firmware reports the byte at 0x0801FC07.
    const Bytes& Flash() const { return bootloader_->Flash(); }
    Bytes& Flash() { return bootloader_->Flash(); }
    std::size_t BootloaderSteps() const { return bootloader_->Steps(); }
    const std::vector<std::string>& BootloaderLog() const { return bootloader_->Log(); }
    // See BootFault: the step-th ACK/NACK (0-based, the sync answer is 0).
    void FailBootloaderStep(std::size_t step, BootFault fault) {
        bootloader_->FailStep(step, fault);
    }
    void UnplugAtBootloaderStep(std::size_t step) { FailBootloaderStep(step, {BootFault::Unplug}); }
    // NACKs the data frame of the index-th Write Memory command (0-based).
    void NackWriteMemory(std::size_t index) { bootloader_->NackWriteCommand(index); }
    // The next write that programs `address` stores a wrong byte there, still
    // acknowledged (see StmBootloader::CorruptProgrammedByte).
    void CorruptFlashWrite(std::uint32_t address, std::uint8_t mask = 0x01) {
        bootloader_->CorruptProgrammedByte(address, mask);
    }

    // ---- Unplugging --------------------------------------------------------

    // The device dropped off the bus (an injected fault fired, or a test pulled
    // the plug): it receives and sends nothing more.
    bool Unplugged() const { return unplugged_; }
    void PullPlug();
    // Back on the bus, as after power-up: nothing queued, running its effect.
    void PlugIn();
    void OnUnplug(std::function<void()> handler) { onUnplug_ = std::move(handler); }

private:
    struct Chunk {
        Bytes data;
        std::size_t taken = 0;
        std::int64_t readyAt = 0;
        bool paced = false;
        bool gated = false;  // readable only once everything before it was read
    };
    std::size_t Arrived(const Chunk& chunk, std::int64_t now) const;
    void Queue(Bytes bytes, std::int64_t delayMs, bool gated = false);
    // A DSP reply: lines are the decimal values (valueText may replace them).
    void ReplyLines(const std::vector<unsigned>& values);
    void Reply(Bytes text, ReplyFault fault);
    ReplyFault TakeReplyFault();

    void ReceiveDsp(const std::uint8_t* data, std::size_t size);
    // Length of the message starting at buffer[at], 0 for an unknown command.
    std::size_t MessageLength(const Bytes& buffer, std::size_t at) const;
    void Execute(const Bytes& message);
    void FinishUpload();
    void LeaveBootloader(std::uint32_t address);
    void QueueBootloaderAnswer(const Bytes& bytes, std::int64_t delayMs);

    Clock now_;
    bool paced_ = false;
    std::size_t maxRead_ = 0;
    bool streamFraming_ = false;
    std::int64_t wireFreeAt_ = 0;
    std::deque<Chunk> output_;

    std::vector<Bytes> messages_;
    std::vector<Bytes> commands_;
    std::vector<Bytes> unrecognised_;
    Bytes partial_;
    std::int64_t partialAt_ = 0;

    std::uint8_t firmwareVersion_ = 3;
    std::uint16_t algorithmVersion_ = 0x0008;
    std::uint8_t effectNumber_ = 1;
    std::uint8_t footswitchMode_ = 0;
    std::array<std::uint8_t, kAssignmentBytes> assignments_{};
    std::uint8_t tuning_ = 0;
    std::pair<std::uint8_t, std::uint8_t> noteFilter_{0xFF, 0xFF};
    std::uint8_t midiChannel_ = 0;
    std::array<std::uint32_t, kSlotCount> slotValues_{};
    std::array<std::optional<std::uint16_t>, kSlotCount> slotAddresses_{};
    std::map<std::uint16_t, std::uint32_t> writes_;
    std::size_t storeCount_ = 0;
    std::size_t openEffectCount_ = 0;
    Bytes eeprom_;

    bool uploadArmed_ = false;
    Bytes upload_;
    Bytes lastUpload_;
    std::size_t uploadCount_ = 0;

    bool silent_ = false;
    std::deque<ReplyFault> replyFaults_;
    ReplyFault everyReply_;

    std::unique_ptr<StmBootloader> bootloader_;
    bool inBootloader_ = false;
    bool bootOnSync_ = false;
    std::size_t bootPieceBytes_ = 0;
    std::int64_t bootPieceGapMs_ = 0;
    std::int64_t bootPiecesFreeAt_ = 0;  // when the bridge may hand over the next piece

    bool unplugged_ = false;
    std::function<void()> onUnplug_;
};

}  // namespace sim
