#pragma once
// Messages to the pedal and its replies. Everything sent is first a text of
// hex digit pairs ("0200", "0100E800400000"), converted into OutBuffer just
// before the write. The pedal answers with lines of ASCII decimal numbers,
// which ReadReply() collects whole and decodes into ReplyValues.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// Set while the link talks to the pedal's bootloader instead of its DSP side.
// Reads then return the first reply byte as two hex digits and do not pause.
extern bool FirmwareUpgradeMode;
// The values of the last reply that held any, index 0 first.
extern std::vector<std::uint8_t> ReplyValues;
// While set, the reply listing numbers its lines from EepromStartAddress.
extern bool EepromReadActive;
extern std::uint16_t EepromStartAddress;

// Converts hex text into the start of OutBuffer, two characters per byte,
// stopping at the first pair that is not hexadecimal; returns the bytes made.
int HexTextToOutBuffer(const QString& text, int maxBytes);

// The values of one reply, decoded the way the pedal's tools always have.
// Throws platform::ConversionError for a digit that is not one.
std::vector<std::uint8_t> DecodeReplyValues(const QByteArray& reply);
// The same into values; when a digit does not convert, values holds the ones
// before it and the error is thrown.
void DecodeReplyInto(const QByteArray& reply, std::vector<std::uint8_t>& values);
// The first line (counting from 1) of a reply that is not a value of one to
// three ASCII digits ended by CR (a LF after the CR belongs to it); 0 when
// every line is one. What follows the last CR is not a line.
int FirstLineNotAValue(const QByteArray& reply);
// Logs "num of bytes received: " with decoded, then every value of ReplyValues.
void LogReplyValues(std::size_t decoded);
// Decodes the bytes of one reply into ReplyValues (a reply without a value
// leaves them) and logs them.
void DecodeReply(const QByteArray& reply);

// Ends every wait for the pedal at its next turn (the main window is closing).
void CancelPedalWaits();
bool PedalWaitsCancelled();
// Waits run again after CancelPedalWaits: only for a program that builds the
// windows anew after closing them (the tests, case after case).
void ResumePedalWaits();

// Hex text helpers shared by the message builders.
int HexDigitValue(QChar c);         // 0 ... 15 for a hex digit of either case, else -1
QString Hex2(std::uint32_t value);  // two upper-case digits of the low byte
QString Hex4(std::uint32_t value);  // four digits of the low 16 bits
QString Hex8(std::uint32_t value);  // eight digits
QString BytesToHex(const QByteArray& bytes);

// Sets a program-wide flag for the life of a scope and clears it again however
// the scope ends (ReadBackActive, EepromReadActive), so an error or an aborted
// wait never leaves it set.
class ScopedFlag {
public:
    explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = false; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    bool& flag_;
};
// Runs a long operation at most once at a time: while one runs, a second
// attempt is refused (acquired() is false) instead of nesting inside it.
class ExclusiveRun {
public:
    explicit ExclusiveRun(bool& running) : running_(running), acquired_(!running) {
        if (acquired_) running_ = true;
    }
    ~ExclusiveRun() {
        if (acquired_) running_ = false;
    }
    ExclusiveRun(const ExclusiveRun&) = delete;
    ExclusiveRun& operator=(const ExclusiveRun&) = delete;
    bool acquired() const { return acquired_; }

private:
    bool& running_;
    bool acquired_;
};
