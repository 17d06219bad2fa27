#include "device/PedalLink.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>

#include "device/Communication.h"
#include "device/Connection.h"
#include "device/D2XXUnit.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Time.h"

using ftd::FT_OK;
using ftd::FT_STATUS;

namespace {

constexpr char kCR = '\r';
constexpr char kLF = '\n';

// Statuses after which the device cannot be used again without a new open.
bool MeansGone(FT_STATUS status) {
    return status == ftd::FT_IO_ERROR || status == ftd::FT_DEVICE_NOT_FOUND ||
           status == ftd::FT_DEVICE_NOT_OPENED || status == ftd::FT_INVALID_HANDLE;
}

int Capped(int ms) {
    const int cap = PedalLink::TimeoutCapMs();
    return cap > 0 ? std::min(ms, cap) : ms;
}

}  // namespace

int AnswerShape::MaxBytes() const {
    switch (kind) {
        case Kind::Lines:
            // Up to three digits, CR and LF a line; the slack lets a stray
            // longer value through to the decoder, which knows what it means.
            return count * 8 + 64;
        case Kind::Line:
        case Kind::Bytes:
            return count;
    }
    return count;
}

int AnswerLines(const QByteArray& bytes) {
    return static_cast<int>(bytes.count(kCR));
}

AnswerProgress CheckAnswer(const AnswerShape& shape, QByteArray& received) {
    switch (shape.kind) {
        case AnswerShape::Kind::Lines: {
            int lines = 0;
            for (qsizetype i = 0; i < received.size(); ++i) {
                if (received[i] != kCR || ++lines < shape.count) continue;
                // The answer ends with its last CR and the LF after it; what
                // follows is not part of it.
                qsizetype end = i + 1;
                if (end < received.size() && received[end] == kLF) ++end;
                received.truncate(end);
                return AnswerProgress::Whole;
            }
            break;
        }
        case AnswerShape::Kind::Line: {
            const qsizetype lf = received.indexOf(kLF);
            if (lf >= 0 && lf < shape.count) {
                received.truncate(lf + 1);
                return AnswerProgress::Whole;
            }
            break;
        }
        case AnswerShape::Kind::Bytes:
            if (received.size() >= shape.count) {
                received.truncate(shape.count);
                return AnswerProgress::Whole;
            }
            break;
    }
    return received.size() >= shape.MaxBytes() ? AnswerProgress::TooLong : AnswerProgress::Partial;
}

PedalLink::Hold::Hold(PedalLink& link, const QString& what) : link_(link), acquired_(!link.busy_) {
    if (!acquired_) {
        link.RefuseIfBusy();
        return;
    }
    link.BecomeBusy(what);
}

PedalLink::Hold::~Hold() {
    if (!acquired_) return;
    link_.BecomeIdle(link_.open_);
}

PedalLink& PedalLink::Instance() {
    static PedalLink* link = new PedalLink;
    return *link;
}

int& PedalLink::TimeoutCapMs() {
    static int cap = 0;
    return cap;
}

void PedalLink::Reset() {
    open_ = false;
    unsettled_ = false;
    lfOwed_ = false;
    settleAfterMs_ = 0;
    busy_ = false;
    cancelled_ = false;
    busyWith_.clear();
    held_.clear();
    loop_ = nullptr;
    imageAwaited_ = false;
    ++generation_;
}

FT_STATUS PedalLink::Open(const QString& serialNumber) {
    const FT_STATUS status = Open_USB_Device_By_Serial_Number(serialNumber);
    if (status != FT_OK) return status;
    open_ = true;
    cancelled_ = false;
    held_.clear();
    // Whoever was told to switch a pedal that awaited an image off and on
    // connects again only after doing so.
    imageAwaited_ = false;
    SetFTBaudRate();
    SetFTDataCharacteristics();
    WatchWhileIdle();
    emit opened();
    return status;
}

FT_STATUS PedalLink::Close() {
    const FT_STATUS status = CloseFTDevice();
    if (status != FT_OK) return status;
    open_ = false;
    held_.clear();
    ++generation_;
    // The pedal does not know the editor let go: an answer it was sending
    // goes on coming, and one not begun yet may begin as long as the exchange
    // would have waited for it. The next connection's first exchange waits
    // that out.
    if (busy_) {
        unsettled_ = true;
        quietSince_.restart();
        settleAfterMs_ = answerDue_.remainingTime();
    }
    if (loop_) loop_->quit();
    emit closed(QString());
    return status;
}

void PedalLink::Lose(const QString& label, FT_STATUS status) {
    // Whatever is left of the handle is let go quietly: the user hears once
    // why the pedal went, not once per call that failed on the way.
    ftd::Driver().StopWatching(DeviceHandle);
    ftd::Driver().Close(DeviceHandle);
    open_ = false;
    held_.clear();
    ++generation_;
    if (loop_) loop_->quit();
    ConsolePrint(QStringLiteral("link lost: ") + FTErrorText(label, status));
    emit closed(QStringLiteral("The pedal was disconnected (%1). Plug it in again, then use "
                               "Scan and Connect.")
                    .arg(FTErrorText(label, status)));
}

bool PedalLink::Failed(const QString& label, FT_STATUS status) {
    if (status == FT_OK) return false;
    if (MeansGone(status))
        Lose(label, status);
    else
        ReportFTError(label, status);
    return true;
}

void PedalLink::DropReceived() {
    if (!open_) return;
    Failed(QStringLiteral("FT_Purge RX"), ftd::Driver().Purge(DeviceHandle, ftd::FT_PURGE_RX));
}

bool PedalLink::Write(const PedalMessage& message, bool purgeTransmitFirst) {
    // Every write passes here, held live writes too.
    if (RefuseIfImageAwaited(message)) return false;
    if (purgeTransmitFirst &&
        Failed(QStringLiteral("FT_Purge TX"), ftd::Driver().Purge(DeviceHandle, ftd::FT_PURGE_TX)))
        return false;
    // The hex text becomes bytes in the transmit buffer, as every message
    // always has; a pair that is not hex ends the conversion, and the length
    // sent is still half the text's.
    const int n = std::min<int>(message.size(), static_cast<int>(kBufferSize));
    HexTextToOutBuffer(message.hex, n);
    std::uint32_t written = 0;
    const FT_STATUS status =
        ftd::Driver().Write(DeviceHandle, OutBuffer.data(), static_cast<std::uint32_t>(n), written);
    const bool whole = status == FT_OK && written == static_cast<std::uint32_t>(n);
    // Any byte of the announcement may have armed the pedal; only a whole
    // image disarms it.
    if (message.announcesImage && (whole || written > 0)) imageAwaited_ = true;
    if (message.isImage && whole) imageAwaited_ = false;
    if (Failed(QStringLiteral("FT_Write"), status)) return false;
    return whole;
}

bool PedalLink::RefuseIfBusy() {
    if (!busy_) return false;
    emit refused(QStringLiteral("Waiting for the pedal's answer to %1; try again in a moment.")
                     .arg(busyWith_));
    return true;
}

bool PedalLink::RefuseIfInBootloader() {
    if (!BootloaderConnected) return false;
    emit refused(QStringLiteral(
        "The pedal is in its bootloader, which takes no messages for the effect; nothing was "
        "sent."));
    return true;
}

bool PedalLink::RefuseIfImageAwaited(const PedalMessage& message) {
    if (!imageAwaited_ || message.isImage) return false;
    emit refused(QStringLiteral(
        "The pedal still waits for the algorithm an upload announced and would take any message "
        "as part of it; nothing was sent. Switch the pedal off and on, then use Disconnect and "
        "Connect."));
    return true;
}

bool PedalLink::Send(const PedalMessage& message, bool purgeTransmitFirst) {
    if (cancelled_ || RefuseIfBusy()) return false;
    if (!open_) {
        emit refused(QStringLiteral("The pedal is not connected; nothing was sent."));
        return false;
    }
    // The bootloader would read the message's bytes as commands of its own.
    if (RefuseIfInBootloader()) return false;
    return Write(message, purgeTransmitFirst);
}

bool PedalLink::WriteNow(std::uint16_t address, std::uint32_t value) {
    const PedalMessage message = msg::ParameterWrite(address, value);
    if (RefuseIfImageAwaited(message)) return false;
    for (const QString& line : message.log) ConsolePrint(line);
    return Write(message, false);
}

bool PedalLink::WriteParameter(std::uint16_t address, std::uint32_t value) {
    if (!open_ || cancelled_) return true;
    if (!busy_) return WriteNow(address, value);
    // Only the latest value of an address matters; it goes where it was last
    // made, so the pedal sees the moves in the order the user made them.
    held_.erase(std::remove_if(held_.begin(), held_.end(),
                               [address](const auto& w) { return w.first == address; }),
                held_.end());
    held_.emplace_back(address, value);
    return true;
}

bool PedalLink::HoldsWriteTo(std::uint16_t address) const {
    return std::any_of(held_.begin(), held_.end(),
                       [address](const auto& w) { return w.first == address; });
}

void PedalLink::FlushHeldWrites() {
    auto held = std::move(held_);
    held_.clear();
    for (const auto& [address, value] : held) {
        if (!open_) return;
        WriteNow(address, value);
    }
}

void PedalLink::CancelWaits() {
    cancelled_ = true;
    if (loop_) loop_->quit();
}

void PedalLink::Sleep(int ms) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const int look = ftd::Driver().WatchForData(DeviceHandle, [&loop] { loop.quit(); });
    const int wait = look < 0 ? ms : std::min(ms, look);
    // Bytes may have come since the last look; the watch only reports new ones.
    std::uint32_t waiting = 0;
    if (ftd::Driver().GetQueueStatus(DeviceHandle, waiting) == FT_OK && waiting > 0) {
        ftd::Driver().StopWatching(DeviceHandle);
        return;
    }
    timer.start(std::max(wait, 0));
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
    if (open_) ftd::Driver().StopWatching(DeviceHandle);
}

void PedalLink::WatchWhileIdle() {
    if (!open_ || busy_) return;
    // The driver says when the device has news (bytes or an error); an
    // exchange puts its own watch in place of this one and restores it when
    // it ends. What is received meanwhile is left for the next exchange,
    // which drops it.
    const unsigned generation = generation_;
    ftd::Driver().WatchForData(DeviceHandle, [this, generation] {
        QTimer::singleShot(0, this, [this, generation] { LookWhileIdle(generation); });
    });
}

void PedalLink::BecomeBusy(const QString& what) {
    busy_ = true;
    busyWith_ = what;
    // Whoever holds the link, or runs the exchange, reads the device itself.
    if (open_) ftd::Driver().StopWatching(DeviceHandle);
    emit busyChanged(true);
}

void PedalLink::BecomeIdle(bool flushHeldWrites) {
    busy_ = false;
    busyWith_.clear();
    emit busyChanged(false);
    if (flushHeldWrites) FlushHeldWrites();
    WatchWhileIdle();
}

void PedalLink::LookWhileIdle(unsigned generation) {
    if (!open_ || busy_ || generation != generation_) return;
    std::uint32_t waiting = 0;
    const FT_STATUS status = ftd::Driver().GetQueueStatus(DeviceHandle, waiting);
    // Only a device that has gone is news between exchanges; any other
    // failure is for the next exchange to meet and report.
    if (MeansGone(status)) Lose(QStringLiteral("FT_GetQueueStatus"), status);
}

void PedalLink::Settle(const std::function<bool()>& stillOpen) {
    // As long as the link waited for that answer to go on; a pedal that never
    // falls quiet is not waited for longer than twice that, and what it keeps
    // sending is judged as the answer.
    const int quietMs = Capped(kAnswerTimeoutMs);
    const qint64 boundMs = 2 * quietMs + settleAfterMs_;
    QElapsedTimer settling;
    settling.start();
    while (stillOpen() && !cancelled_ && settling.elapsed() < boundMs) {
        std::uint32_t waiting = 0;
        if (Failed(QStringLiteral("FT_GetQueueStatus"),
                   ftd::Driver().GetQueueStatus(DeviceHandle, waiting)))
            return;
        if (waiting > 0) {
            ConsolePrint(QStringLiteral("dropped %1 late bytes of an earlier answer").arg(waiting));
            DropReceived();
            quietSince_.restart();
            settleAfterMs_ = 0;
            continue;
        }
        const qint64 left = quietMs + settleAfterMs_ - quietSince_.elapsed();
        if (left <= 0) {
            unsettled_ = false;
            settleAfterMs_ = 0;
            return;
        }
        Sleep(static_cast<int>(left));
    }
    // Only a wait that ran its course settles the pedal: one a Disconnect cut
    // short leaves the rest still to come for the next connection's exchange.
    if (stillOpen() && !cancelled_) {
        unsettled_ = false;
        settleAfterMs_ = 0;
    }
}

ExchangeResult PedalLink::Run(const Exchange& exchange) {
    using Status = ExchangeResult::Status;
    ExchangeResult result;
    if (cancelled_) {
        result.status = Status::Cancelled;
        return result;
    }
    if (!open_) {
        result.status = Status::NotOpen;
        return result;
    }
    if (RefuseIfBusy()) {
        result.status = Status::Busy;
        return result;
    }
    if (RefuseIfInBootloader() || RefuseIfImageAwaited(exchange.message)) {
        result.status = Status::NotOpen;
        return result;
    }

    BecomeBusy(exchange.what);
    const unsigned generation = generation_;
    const auto stillOpen = [&] { return open_ && generation == generation_; };
    // However the exchange ends (an answer that does not decode throws), the
    // link is free again and what was held goes out.
    const auto finish = qScopeGuard([&] { BecomeIdle(stillOpen()); });

    // Whatever the pedal said before this exchange is not its answer.
    DropReceived();
    if (unsettled_) Settle(stillOpen);
    bool overran = false;
    if (cancelled_) {
        result.status = Status::Cancelled;
    } else if (stillOpen() && Write(exchange.message, exchange.purgeTransmitFirst)) {
        if (exchange.pauseBeforeReadMs > 0) platform::SleepMs(exchange.pauseBeforeReadMs);

        QByteArray& received = result.answer;
        QElapsedTimer quiet;
        quiet.start();
        int limit = Capped(exchange.firstByteTimeoutMs);
        answerDue_.setRemainingTime(limit);
        result.status = Status::NoAnswer;
        for (;;) {
            if (cancelled_) {
                result.status = Status::Cancelled;
                break;
            }
            if (!stillOpen()) {
                result.status = Status::Closed;
                break;
            }
            std::uint32_t waiting = 0;
            if (Failed(QStringLiteral("FT_GetQueueStatus"),
                       ftd::Driver().GetQueueStatus(DeviceHandle, waiting))) {
                result.status = Status::Closed;
                break;
            }
            if (waiting > 0) {
                // Never more than a whole answer can hold, plus one byte to
                // tell that it is too long: memory stays bounded whatever a
                // device sends.
                const int room = exchange.answer.MaxBytes() + 1 - static_cast<int>(received.size());
                const std::uint32_t take =
                    std::min<std::uint32_t>({waiting, static_cast<std::uint32_t>(std::max(room, 1)),
                                             static_cast<std::uint32_t>(kBufferSize)});
                std::uint32_t got = 0;
                if (Failed(QStringLiteral("FT_Read"),
                           ftd::Driver().Read(DeviceHandle, InBuffer.data(), take, got))) {
                    result.status = Status::Closed;
                    break;
                }
                if (got > 0) {
                    const char* data = reinterpret_cast<const char*>(InBuffer.data());
                    int count = static_cast<int>(got);
                    // The line end of the answer before, come after it was
                    // whole, is not the first byte of this one.
                    if (lfOwed_ && received.isEmpty()) {
                        lfOwed_ = false;
                        if (data[0] == kLF) {
                            ++data;
                            --count;
                        }
                    }
                    received.append(data, count);
                    quiet.restart();
                    limit = Capped(exchange.inactivityTimeoutMs);
                    answerDue_.setRemainingTime(limit);
                }
                const qsizetype before = received.size();
                const AnswerProgress progress = CheckAnswer(exchange.answer, received);
                if (progress == AnswerProgress::Whole) {
                    overran = received.size() < before;
                    result.status = Status::Whole;
                    break;
                }
                if (progress == AnswerProgress::TooLong) {
                    result.status = Status::TooLong;
                    break;
                }
                continue;
            }
            const qint64 left = limit - quiet.elapsed();
            if (left <= 0) {
                result.status = received.isEmpty() ? Status::NoAnswer : Status::Incomplete;
                break;
            }
            Sleep(static_cast<int>(left));
        }
    } else {
        result.status = stillOpen() ? Status::WriteFailed : Status::Closed;
    }

    answerDue_ = QDeadlineTimer();
    // An answer of lines is whole at its last CR; the LF after it may come a
    // moment later (the bridge hands bytes over in packets), once this
    // exchange has ended and the next one has started to read.
    if (result.status == Status::Whole && exchange.answer.kind == AnswerShape::Kind::Lines &&
        !result.answer.endsWith(kLF))
        lfOwed_ = true;
    // A late or overlong rest of this answer must not become the next one's:
    // what has come is dropped now, and what may still come before the next
    // exchange starts.
    if (stillOpen()) DropReceived();
    if (overran || result.status == Status::NoAnswer || result.status == Status::Incomplete ||
        result.status == Status::TooLong) {
        unsettled_ = true;
        quietSince_.restart();
        settleAfterMs_ = 0;
    }
    switch (result.status) {
        case Status::NoAnswer:
            result.problem = QStringLiteral("The pedal did not answer.");
            break;
        case Status::Incomplete:
            if (exchange.answer.kind == AnswerShape::Kind::Lines)
                result.problem =
                    QStringLiteral("The pedal's answer was incomplete: %1 of %2 values.")
                        .arg(AnswerLines(result.answer))
                        .arg(exchange.answer.count);
            else if (exchange.answer.kind == AnswerShape::Kind::Bytes)
                result.problem =
                    QStringLiteral("The pedal's answer was incomplete: %1 of %2 bytes.")
                        .arg(result.answer.size())
                        .arg(exchange.answer.count);
            else
                result.problem = QStringLiteral("The pedal's answer was incomplete.");
            break;
        case Status::TooLong:
            result.problem = QStringLiteral(
                                 "The pedal's answer was longer than any answer to %1 can be; it "
                                 "was not used.")
                                 .arg(exchange.what);
            break;
        default:
            break;
    }
    if (!result.problem.isEmpty() && !result.answer.isEmpty())
        ConsolePrint(QStringLiteral("received (not used): ") + BytesToHex(result.answer.left(64)) +
                     (result.answer.size() > 64 ? QStringLiteral("...") : QString()));
    if (result.whole() && exchange.onWhole) exchange.onWhole(result);
    return result;
}
