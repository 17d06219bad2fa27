#pragma once
// The link to the pedal: owns the open device and runs every exchange that
// writes and then reads, one at a time.
//
// An exchange knows what its whole answer is (N decimal lines, one text line,
// N bytes) and reads until it has it, however the USB bridge cuts it up,
// waiting in the event loop (woken by the port, never spinning) for at most
// a bounded time in which nothing arrives. The receive side is emptied before
// and after each exchange, so nothing of one answer is ever read as another's;
// after an answer the link gave up on (or one that came with more than it
// should), the next exchange first waits for the pedal to fall quiet, as the
// rest of that answer may still be on its way.
// While an exchange waits, a second one is refused and live parameter writes
// are held (the latest value per address) until it ends.
//
// A driver error that means the device has gone (I/O error, unplugged)
// closes the link at once and is reported by the lost() signal; the link never
// opens a window itself.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "device/FtDriver.h"
#include "device/PedalMessages.h"

class QEventLoop;
class QTimer;

// What a whole answer looks like.
struct AnswerShape {
    enum class Kind { Lines, Line, Bytes };
    Kind kind = Kind::Bytes;
    int count = 0;  // lines (Lines), the longest line in bytes (Line), bytes (Bytes)

    static AnswerShape LinesOf(int n) { return {Kind::Lines, n}; }
    static AnswerShape TextLine(int maxBytes) { return {Kind::Line, maxBytes}; }
    static AnswerShape BytesOf(int n) { return {Kind::Bytes, n}; }
    // More than this many bytes cannot belong to a whole answer.
    int MaxBytes() const;
};

// How long an answer may keep the link waiting with nothing arriving.
constexpr int kAnswerTimeoutMs = 2000;

struct ExchangeResult;

struct Exchange {
    QString what;  // names the operation in status lines ("Request")
    PedalMessage message;
    AnswerShape answer;
    bool purgeTransmitFirst = false;
    // A pause between the write and the first look for the answer.
    int pauseBeforeReadMs = 0;
    // How long the first byte may take, and then each following one.
    int firstByteTimeoutMs = kAnswerTimeoutMs;
    int inactivityTimeoutMs = kAnswerTimeoutMs;
    // Runs on a whole answer before the exchange ends, while other exchanges
    // are still refused and live writes still held: what it applies cannot be
    // overtaken by a write made during the wait, nor overtake one. It may
    // turn the result into a failure (status and problem).
    std::function<void(ExchangeResult&)> onWhole;
};

struct ExchangeResult {
    enum class Status {
        Whole,        // answer holds exactly the whole answer
        Busy,         // another exchange was running; nothing was sent
        NotOpen,      // no device is open, or the pedal is in its bootloader or
                      // awaits an image; nothing was sent
        WriteFailed,  // the driver refused the write (its box has been shown)
        NoAnswer,     // nothing came within the time
        Incomplete,   // part of an answer came, then nothing more
        TooLong,      // more came than a whole answer can hold
        Closed,       // Disconnect, unplug or an I/O error ended the wait
        Cancelled,    // the editor is quitting
    };
    Status status = Status::NotOpen;
    QByteArray answer;  // the whole answer, or what came of it
    // For the user when the exchange failed and nobody has told them yet
    // (NoAnswer, Incomplete, TooLong); empty otherwise.
    QString problem;

    bool whole() const { return status == Status::Whole; }
};

class PedalLink : public QObject {
    Q_OBJECT
public:
    // The one link of the editor.
    static PedalLink& Instance();

    bool IsOpen() const { return open_; }
    bool IsBusy() const { return busy_; }
    // What the running exchange is for (empty when none runs).
    QString BusyWith() const { return busyWith_; }
    // The pre-upload message reached the pedal and the algorithm image did
    // not follow whole: the pedal would take any message as part of it, so
    // the link refuses every one but an image until the next Open (the user
    // is asked to switch the pedal off and on first).
    bool AwaitsImage() const { return imageAwaited_; }

    // Opens the device with this serial number through the driver wrappers
    // (whose error box reports a failure) and applies the link settings.
    ftd::FT_STATUS Open(const QString& serialNumber);
    // Disconnect: ends a running exchange and closes the device; the rest of
    // that exchange's answer is waited out before the next connection's
    // first exchange. A driver error of the close is shown and the link stays
    // open.
    ftd::FT_STATUS Close();

    // True (and says so by refused()) while an exchange waits: operations
    // check it before they ask the user anything.
    bool RefuseIfBusy();
    // Marks the link busy for a run of exchanges driven step by step (the
    // firmware upgrade): others are refused and live writes held until it ends.
    class Hold {
    public:
        Hold(PedalLink& link, const QString& what);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        bool acquired() const { return acquired_; }

    private:
        PedalLink& link_;
        bool acquired_;
    };
    // Judges a driver call made on the open device: false when it failed. A
    // device that has gone closes the link (closed() says why, once); any
    // other failure is shown as the driver wrappers show them.
    bool Check(const QString& label, ftd::FT_STATUS status) { return !Failed(label, status); }
    // Writes a message that has no answer. Refused (false) while an exchange
    // runs or when nothing is open; false too when the write failed.
    bool Send(const PedalMessage& message, bool purgeTransmitFirst = false);
    // A live parameter write: sent now, or held while an exchange runs and
    // sent when it ends (the latest value per address, in the order made).
    // False when the write was made and failed (the user has been told);
    // with no device open nothing is written, and that is not a failure.
    bool WriteParameter(std::uint16_t address, std::uint32_t value);
    // Whether a write to this address is held for the end of the exchange.
    bool HoldsWriteTo(std::uint16_t address) const;
    // Writes the message and reads its whole answer.
    ExchangeResult Run(const Exchange& exchange);

    // Ends every wait at once and refuses new ones (the editor is closing).
    void CancelWaits();
    bool Cancelled() const { return cancelled_; }
    // Tests: a fresh link (device closed, nothing held, not cancelled).
    void Reset();

    // When above 0, caps every exchange's time-outs (tests of a silent pedal
    // need not wait seconds).
    static int& TimeoutCapMs();

signals:
    void opened();
    // The link closed: reason is empty after a Disconnect, otherwise it says
    // why (the device vanished or failed).
    void closed(const QString& reason);
    void busyChanged(bool busy);
    // An operation was refused because another one is waiting for the pedal.
    void refused(const QString& text);

private:
    PedalLink() = default;
    // True (and says so by refused()) while the pedal at the other end is in
    // its bootloader: only the firmware upgrade talks to it, by its own steps.
    bool RefuseIfInBootloader();
    // True (and says so by refused()) while the pedal awaits an image and
    // this message is not one.
    bool RefuseIfImageAwaited(const PedalMessage& message);
    // Writes the hex text; a device that vanished closes the link.
    bool Write(const PedalMessage& message, bool purgeTransmitFirst);
    // A driver call failed with status: a device that has gone closes the
    // link (true); any other failure is shown as the wrappers show them.
    bool Failed(const QString& label, ftd::FT_STATUS status);
    void Lose(const QString& label, ftd::FT_STATUS status);
    void DropReceived();
    void FlushHeldWrites();
    bool WriteNow(std::uint16_t address, std::uint32_t value);
    // Sleeps in the event loop until bytes may have come, at most ms.
    void Sleep(int ms);
    // Drops what the pedal sends until it has been quiet for a while (bounded).
    void Settle(const std::function<bool()>& stillOpen);
    // Open and between exchanges: the device is watched, so that one that
    // goes away closes the link then, not at the next click.
    void WatchWhileIdle();
    void LookWhileIdle(unsigned generation);
    // The one way into and out of an exchange or a hold: the busy flag and
    // its signal, the watch between exchanges off and on again, and the
    // live writes held meanwhile sent when `flushHeldWrites`.
    void BecomeBusy(const QString& what);
    void BecomeIdle(bool flushHeldWrites);

    bool open_ = false;
    bool busy_ = false;
    bool cancelled_ = false;
    QString busyWith_;
    // Bumped by every close, so a wait knows its device went away.
    unsigned generation_ = 0;
    QEventLoop* loop_ = nullptr;
    // An answer was given up on, overran or was left by a Disconnect: its rest
    // may still come, also after the next Open. Quiet counts from the end of
    // that exchange or the last byte dropped since.
    bool unsettled_ = false;
    QElapsedTimer quietSince_;
    // Quiet counts only from this long after quietSince_: a Disconnect came
    // before the pedal began its answer, which it may still begin until then.
    qint64 settleAfterMs_ = 0;
    // A whole answer of lines ended at its last CR without the LF after it:
    // an LF that begins the next exchange's answer is that one, dropped.
    bool lfOwed_ = false;
    bool imageAwaited_ = false;
    // While an exchange reads its answer: when it would give up waiting.
    QDeadlineTimer answerDue_;
    std::vector<std::pair<std::uint16_t, std::uint32_t>> held_;
};

// Where the answer stands: whole (and cut to it), still coming, or too long.
enum class AnswerProgress { Whole, Partial, TooLong };
AnswerProgress CheckAnswer(const AnswerShape& shape, QByteArray& received);
// The number of lines (carriage returns) in bytes.
int AnswerLines(const QByteArray& bytes);
