#pragma once
// The host side of the pedal microcontroller's serial ROM bootloader as the
// firmware upgrade uses it: one global erase, Write Memory in blocks of up to
// 256 bytes from the start of flash, a small version record in the last page,
// and Go. Every byte goes out in a write of its own, paced the way the pedal
// has always been driven.
//
// Each answer is checked: a refusal, a wrong byte or no answer at all ends the
// upgrade at once with BootloaderFailure, so nothing more is sent and the pedal
// stays in its bootloader, ready for another attempt.

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

// A bootloader step that did not get its ACK, or a byte that could not be sent.
// cancelled() is true when the wait ended because the editor is quitting.
class BootloaderFailure : public platform::EditorError {
public:
    explicit BootloaderFailure(const QString& message, bool cancelled = false)
        : platform::EditorError(message), cancelled_(cancelled) {}
    bool cancelled() const { return cancelled_; }

private:
    bool cancelled_;
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
// Starts the new firmware at the start of flash.
void SendGoCommand();

// Write Memory command and the address frame of BootloaderAddress; target
// names what is being written, for the failure message.
void SendWriteMemoryCommand(const QString& target = {});
// Waits for one answer and logs it with its verdict; returns it as two hex
// digits (empty when nothing came within timeoutMs).
QString ReadBootloaderReply(int timeoutMs = BootloaderReplyTimeoutMs);
std::uint8_t AddressChecksum(std::uint32_t address);
std::uint8_t BlockChecksum(int block, std::uint8_t countByte);
// The data frame of the version record, count byte to checksum.
std::array<std::uint8_t, 10> VersionRecordFrame(std::int32_t version);
