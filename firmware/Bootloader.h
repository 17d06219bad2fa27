#pragma once
// The host side of the pedal microcontroller's serial ROM bootloader as the
// firmware upgrade uses it: one global erase, Write Memory in blocks of up to
// 256 bytes from the start of flash, a small version record in the last page,
// Read Memory of all of it to prove what was written, and Go. Every byte goes
// out in a write of its own, paced the way the pedal has always been driven
// (the read-back needs no pacing).
//
// Each answer is checked: a refusal, a wrong byte, a cut or overlong answer or
// no answer at all ends the upgrade at once with BootloaderFailure, so nothing
// more is sent and the pedal stays in its bootloader, ready for another attempt.
//
// An answer that was lost or garbled does not mean the bootloader refused: it
// may have taken the command and be waiting for the rest of it (an address, a
// data frame), and would take the next attempt's first bytes as that rest. So
// such an ending marks the bootloader as possibly in the middle of a command,
// and the next upgrade (or Connect) first brings it back in step.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "platform/Errors.h"

constexpr std::uint8_t kBootloaderAck = 0x79;
constexpr std::uint8_t kBootloaderNack = 0x1F;
constexpr std::uint32_t kFlashStart = 0x08000000;
constexpr std::uint32_t kVersionRecordAddress = 0x0801FC00;
constexpr int kFirmwareBlockBytes = 256;
constexpr int kMaxFirmwareBlocks = 512;
// What the block tables can hold: 128 KiB from the start of flash.
constexpr std::int32_t kFirmwareTableBytes = kMaxFirmwareBlocks * kFirmwareBlockBytes;
// The largest image an upgrade writes: it must end below the version record's
// page, or the record would land on flash the image has already programmed.
constexpr std::int32_t kMaxFirmwareImageBytes =
    static_cast<std::int32_t>(kVersionRecordAddress - kFlashStart);
// The empty countdown after each image data byte.
constexpr std::uint64_t kDataBytePauseIterations = 1000001;

// The image being written. LoadFirmwareImage fills size and text,
// SplitFirmwareImage the rest; they stay until the next upgrade of the run.
extern std::int32_t FirmwareSize;
extern QString FirmwareHexText;
extern std::uint16_t FirmwareBlockCount;
extern std::uint16_t LastBlockBytes;
extern std::array<QString, kMaxFirmwareBlocks> FirmwareBlockTexts;
extern std::array<std::array<std::uint8_t, kFirmwareBlockBytes>, kMaxFirmwareBlocks>
    FirmwareBlockData;
// The address the next address frame carries.
extern std::uint32_t BootloaderAddress;

// How long each answer may take. The global erase gets far longer: the
// bootloader answers only when the whole flash is blank.
extern int BootloaderReplyTimeoutMs;
extern int BootloaderEraseTimeoutMs;

// True once an exchange with the bootloader ended without a clear answer (no
// answer, a wrong byte, a byte that could not be sent, the pedal gone): the
// bootloader may still wait for the rest of a command. Cleared when the
// bootloader is seen back in step: it refused a filler byte or a second sync
// byte. It outlives the connection, so that Connect can mend it too.
extern bool BootloaderMidCommand;
// How long each filler byte of ResyncBootloader waits for an answer. A refusal
// comes at once; the wait covers the bridge's latency.
extern int BootloaderResyncWaitMs;
// The most filler bytes a bootloader can take before it must refuse one: the
// rest of an address frame whose checksum happens to match (up to 5), a whole
// Write Memory frame of 0xFF that it may accept (count, 256 data bytes,
// checksum), then a command byte and its wrong complement.
constexpr int kResyncMaxBytes = 5 + (1 + 256 + 1) + 2;

// A bootloader step that did not get its ACK, or a byte that could not be sent.
// cancelled() is true when the wait ended because the editor is quitting.
// reason() is what went wrong, without the advice the message adds.
class BootloaderFailure : public platform::EditorError {
public:
    explicit BootloaderFailure(const QString& message, bool cancelled = false,
                               const QString& reason = {})
        : platform::EditorError(message), cancelled_(cancelled), reason_(reason) {}
    bool cancelled() const { return cancelled_; }
    const QString& reason() const { return reason_; }

private:
    bool cancelled_;
    QString reason_;
};

// An image the upgrade will not write (empty or too large); nothing was sent.
class FirmwareImageRejected : public platform::EditorError {
public:
    using platform::EditorError::EditorError;
};

// The progress indicator the block writes drive (the upgrade window's bar).
struct FirmwareProgress {
    std::function<void(int)> setMaximum;
    std::function<void(int)> setPosition;
};

// What one bootloader step got back. Every answer the upgrade waits for
// starts with ACK; for a read the data follows it.
struct BootloaderAnswer {
    enum class Outcome {
        Whole,       // exactly the bytes expected
        Refused,     // NACK where the ACK belongs
        WrongByte,   // another byte where the ACK belongs
        Silent,      // nothing came
        Incomplete,  // the ACK and part of the rest, then nothing more
        TooLong,     // more bytes than the answer has
        LinkLost,    // the driver could not reach the device (closed, unplugged)
        Cancelled,   // the editor is quitting
    };
    Outcome outcome = Outcome::Silent;
    QByteArray bytes;  // everything read, in order
};

// One step of the bootloader exchange, and the only place that reads its
// answers. Empties the receive side, calls send() to write the step's bytes
// (with their pauses), then reads until exactly answerBytes bytes have come,
// however the link splits them, running pending events meanwhile. The wait
// ends when nothing has arrived for inactivityMs. A first byte other than ACK
// ends the read at once (nothing follows a NACK); bytes beyond answerBytes
// that have already come make the answer TooLong. The receive side is emptied
// again at the end, so no byte of this step is read as another step's answer.
// send() may throw; then nothing is read.
BootloaderAnswer BootloaderExchange(const std::function<void()>& send, int answerBytes,
                                    int inactivityMs);

// What ResyncBootloader got.
struct BootloaderResync {
    enum class Outcome {
        InStep,     // the bootloader refused a filler byte: it waits for a command
        NoRefusal,  // kResyncMaxBytes went out and none was refused
        LinkLost,   // the driver could not reach the device
        Cancelled,  // the editor is quitting
    };
    Outcome outcome = Outcome::NoRefusal;
    int bytes = 0;  // filler bytes sent
    int acks = 0;   // of them acknowledged (a phase the bootloader accepted)
};

// Brings a bootloader that may be in the middle of a command back to waiting
// for one: sends single 0xFF bytes, each followed by a wait of
// BootloaderResyncWaitMs, until one is refused (NACK), at most
// kResyncMaxBytes. 0xFF completes every half command without harm: as a
// command byte its complement check fails, as address bytes their checksum
// fails, an erase of FF FF fails its checksum, and a Write Memory it fills
// writes only 0xFF, the erased value, which the upgrade's erase clears
// anyway. An ACK means a phase was accepted and more may be expected, so only
// a refusal ends it. Logs what it did; clears BootloaderMidCommand once all
// its bytes went out or one was refused (a lost link or a quit keep it).
// The caller holds the link.
BootloaderResync ResyncBootloader();
// Before an upgrade's first command: when BootloaderMidCommand is set,
// ResyncBootloader, and a BootloaderFailure when it does not bring the
// bootloader back in step. Nothing is sent when the flag is clear.
void BringBootloaderBackInStep();

// Throws FirmwareImageRejected unless FirmwareSize is an image worth writing.
void CheckFirmwareImage();
// Cuts FirmwareHexText into the block tables. An image larger than the tables
// is rejected before anything changes.
void SplitFirmwareImage();
// Erases the whole flash.
void SendEraseCommand();
// Writes every block from the start of flash upward.
void WriteFirmwareBlocks(const FirmwareProgress& progress);
// Writes the version record at kVersionRecordAddress: 07, seven zero bytes,
// the version's low byte, checksum.
void WriteVersionRecord(std::int32_t version);
// Reads every block back (Read Memory, no pacing) and compares it byte for
// byte with what was written; logs one line per block. A difference ends the
// upgrade with a message naming the first differing address.
void VerifyFirmwareBlocks(const FirmwareProgress& progress);
// Reads the version record back and compares it, then logs the summary of
// the whole read-back.
void VerifyVersionRecord(std::int32_t version);
// The Read Memory exchange for size (1..256) bytes at address: command,
// address frame, count byte and its complement, then the data. what names the
// memory for the failure messages.
QByteArray ReadFlash(std::uint32_t address, int size, const QString& what);
// Starts the new firmware at the start of flash.
void SendGoCommand();

// Write Memory command and the address frame of BootloaderAddress; target
// names what is being written, for the failure message.
void SendWriteMemoryCommand(const QString& target = {});
// Logs the answer to a step that expects a lone ACK with its verdict, and
// returns its first byte as two hex digits (empty when nothing came).
QString LogBootloaderReply(const BootloaderAnswer& answer);
std::uint8_t AddressChecksum(std::uint32_t address);
std::uint8_t BlockChecksum(int block, std::uint8_t countByte);
// The data frame of the version record, count byte to checksum.
std::array<std::uint8_t, 10> VersionRecordFrame(std::int32_t version);
