#pragma once
// The pedal microcontroller's USART ROM bootloader, as ST documents it for its
// STM32 parts (medium-density F1 here: 128 KiB of flash in 1 KiB pages, 20 KiB
// of RAM, product ID 0x0410). It is a byte-stream machine: the editor writes
// every byte by itself, a flasher writes whole frames at once, and both must
// get the same answers.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

// What goes wrong at one step of the bootloader. A step is one ACK or NACK the
// bootloader sends, counted from 0 since it was (re)entered; the answer to the
// synchronisation byte is step 0.
struct BootFault {
    enum Kind {
        NoAnswer,   // the ACK/NACK is never sent; the operation itself still takes place
        Nack,       // NACK instead of ACK; the operation is refused
        WrongByte,  // `byte` is sent in place of the ACK/NACK; the operation takes place
        Late,       // the ACK/NACK comes delayMs later; the operation takes place
        Unplug,     // the device drops off the bus before answering
        Tail,       // `byte` follows the ACK/NACK, as a noisy line might add it
        // The answer of the step comes in pieces, as a USB bridge hands bytes
        // over: the ACK/NACK at once, then the data of a read in pieces of
        // `pieceBytes`, each delayMs after the one before. The operation
        // takes place.
        Split,
    };
    BootFault(Kind kind = NoAnswer, std::uint8_t byte = 0, std::int64_t delayMs = 0,
              std::size_t pieceBytes = 1)
        : kind(kind), byte(byte), delayMs(delayMs), pieceBytes(pieceBytes) {}
    Kind kind;
    std::uint8_t byte;
    std::int64_t delayMs;
    std::size_t pieceBytes;
};

class StmBootloader {
public:
    static constexpr std::uint32_t kFlashBase = 0x08000000;
    static constexpr std::uint32_t kFlashSize = 128 * 1024;
    static constexpr std::uint32_t kPageSize = 1024;
    static constexpr std::uint32_t kPageCount = kFlashSize / kPageSize;
    static constexpr std::uint32_t kRamBase = 0x20000000;
    static constexpr std::uint32_t kRamSize = 20 * 1024;
    static constexpr std::uint16_t kProductId = 0x0410;
    static constexpr std::uint8_t kBootloaderVersion = 0x22;
    static constexpr std::uint8_t kSync = 0x7F;
    static constexpr std::uint8_t kAck = 0x79;
    static constexpr std::uint8_t kNack = 0x1F;

    // Where the bootloader's answers and its two ways out go.
    struct Hooks {
        std::function<void(const Bytes& bytes, std::int64_t delayMs)> send;
        std::function<void(std::uint32_t address)> go;  // the host started the firmware
        std::function<void()> unplug;                   // an injected unplug fired
    };

    explicit StmBootloader(Hooks hooks);

    // As after a reset into the bootloader: waiting for the synchronisation
    // byte, step and Write Memory counters back at 0. Flash, RAM and the
    // injected faults stay.
    void Reset();
    void Feed(std::uint8_t byte);

    Bytes& Flash() { return flash_; }
    const Bytes& Flash() const { return flash_; }
    Bytes& Ram() { return ram_; }

    // Number of ACK/NACK steps so far (the index the next one will get).
    std::size_t Steps() const { return steps_; }
    // Number of Write Memory commands accepted so far (the index the next gets).
    std::size_t WriteCommands() const { return writeCommands_; }
    // One line per command carried out or refused, e.g. "sync", "get-id",
    // "erase global", "erase pages 0..52", "write 08000000 256",
    // "read 08000000 256", "go 08000000", "nack write 08000000: not erased".
    const std::vector<std::string>& Log() const { return log_; }
    void ClearLog() { log_.clear(); }

    void FailStep(std::size_t step, BootFault fault) { stepFaults_[step] = fault; }
    // Refuses the data frame of the index-th Write Memory command (0-based,
    // counted since the last reset) with a NACK; the flash is left untouched.
    void NackWriteCommand(std::size_t index) { nackWrites_[index] = true; }
    // The next Write Memory that programs `address` stores that byte with the
    // bits of `mask` flipped and still answers ACK: a fault that only reading
    // the flash back can find. Used up by the write it spoils.
    void CorruptProgrammedByte(std::uint32_t address, std::uint8_t mask = 0x01) {
        corruptions_[address] = mask;
    }
    void ClearFaults();

private:
    enum class State {
        WaitSync,
        Command,
        Complement,
        Address,
        ReadCount,
        WriteCount,
        WriteData,
        WriteChecksum,
        EraseCount,
        EraseGlobalChecksum,
        ErasePages,
        EraseChecksum,
        Dead,
    };

    // Sends the verdict of one step, after the step's fault if one is set.
    // Returns whether the operation goes ahead.
    bool Verdict(bool ok, const std::string& what);
    // Sends bytes of the current step's answer, in pieces while it is split.
    void Send(const Bytes& bytes);
    void OnComplement(std::uint8_t byte);
    void OnAddress();
    void OnReadCount();
    void OnWriteFrame();
    void OnEraseGlobal(std::uint8_t checksum);
    void OnErasePages(std::uint8_t checksum);
    // The memory behind [address, address + size), or null when the range is
    // not wholly inside flash or RAM.
    std::uint8_t* Memory(std::uint32_t address, std::size_t size, bool* isFlash = nullptr);

    Hooks hooks_;
    Bytes flash_;
    Bytes ram_;
    State state_ = State::WaitSync;
    std::uint8_t command_ = 0;
    Bytes frame_;
    std::size_t need_ = 0;
    std::uint32_t address_ = 0;
    std::size_t writeIndex_ = 0;
    std::size_t steps_ = 0;
    std::size_t writeCommands_ = 0;
    std::map<std::size_t, BootFault> stepFaults_;
    std::map<std::size_t, bool> nackWrites_;
    std::map<std::uint32_t, std::uint8_t> corruptions_;
    // The split of the step being answered: piece size (0: not split) and the
    // delay the next piece gets.
    std::size_t splitPiece_ = 0;
    std::int64_t splitGapMs_ = 0;
    std::int64_t splitDelayMs_ = 0;
    std::vector<std::string> log_;
};

}  // namespace sim
