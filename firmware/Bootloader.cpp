#include "firmware/Bootloader.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "platform/Console.h"
#include "platform/Time.h"

std::int32_t FirmwareSize = 0;
QString FirmwareHexText;
std::uint16_t FirmwareBlockCount = 0;
std::uint16_t LastBlockBytes = 0;
std::array<QString, kMaxFirmwareBlocks> FirmwareBlockTexts;
std::array<std::array<std::uint8_t, kFirmwareBlockBytes>, kMaxFirmwareBlocks> FirmwareBlockData{};
std::uint32_t BootloaderAddress = kFlashStart;

// One second is ages for an answer that follows the last byte by microseconds
// (a block is programmed in a few milliseconds). A mass erase is another
// matter: some parts take many seconds for it.
int BootloaderReplyTimeoutMs = 1000;
int BootloaderEraseTimeoutMs = 40000;
bool BootloaderMidCommand = false;
// The bootloader refuses at once; the bridge may hold a lone byte for up to
// its latency time (16 ms by default) before handing it over.
int BootloaderResyncWaitMs = 40;

namespace {

constexpr std::uint8_t kWriteMemory[] = {0x31, 0xCE};
constexpr std::uint8_t kReadMemory[] = {0x11, 0xEE};
constexpr std::uint8_t kEraseMemory[] = {0x43, 0xBC};
constexpr std::uint8_t kGlobalErase[] = {0xFF, 0x00};
constexpr std::uint8_t kGo[] = {0x21, 0xDE};

const QString kRetryHint = QStringLiteral(
    " Nothing more was sent; the pedal stays in its bootloader, so the upgrade can be "
    "started again.");
const QString kReconnectHint = QStringLiteral(
    " Nothing more was sent. Connect the pedal again with Upgrade Mode ticked and start the "
    "upgrade again.");
// A bootloader that refuses nothing is beyond what the editor can mend; only a
// restart of the pedal brings it back.
const QString kPowerCycleHint = QStringLiteral(
    " No upgrade step was sent. Switch the pedal off and on, then connect it again with "
    "Upgrade Mode ticked and start the upgrade again.");
const QString kResyncStep = QStringLiteral("bringing the bootloader back in step");

using Outcome = BootloaderAnswer::Outcome;

[[noreturn]] void Fail(const QString& what, const QString& hint = kRetryHint) {
    const QString text = QStringLiteral("Firmware upgrade stopped: ") + what + QLatin1Char('.');
    ConsolePrint(text);
    throw BootloaderFailure(text + hint, false, what);
}

QString HexBytes(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// The pedal's time to take in a command before its answer is read. These
// pauses are the longest of the exchange, so the windows keep answering
// during them (a screen reader's questions included); the short pauses
// between bytes stay plain sleeps.
void PauseBeforeReply(int milliseconds) {
    platform::WaitMs(milliseconds);
}

// The pedal went away during step: the link has told the user already, so
// the upgrade ends without a message of its own (the console keeps a line).
[[noreturn]] void LostDuring(const QString& step) {
    const QString text =
        QStringLiteral("Firmware upgrade stopped: the pedal was disconnected during ") + step +
        QLatin1Char('.');
    ConsolePrint(text);
    throw BootloaderFailure(text, true, step);
}

// One byte in a write of its own; false when the driver did not take it.
bool WriteOneByte(std::uint8_t byte) {
    OutBuffer[0] = byte;
    PedalLink& link = PedalLink::Instance();
    std::uint32_t written = 0;
    return link.IsOpen() &&
           link.Check(QStringLiteral("FT_Write"),
                      ftd::Driver().Write(DeviceHandle, OutBuffer.data(), 1, written)) &&
           written == 1;
}

// Every byte goes out in a write of its own, as the pedal has always been
// driven. A byte the driver would not take cannot be answered, so the upgrade
// ends here rather than after a wait for an answer that cannot come.
void SendByte(std::uint8_t byte, const QString& step) {
    if (WriteOneByte(byte)) return;
    // The bytes before this one went out: the bootloader waits for the rest.
    BootloaderMidCommand = true;
    if (!PedalLink::Instance().IsOpen()) LostDuring(step);
    Fail(step + QStringLiteral(" could not be sent to the pedal"));
}

// Ends the upgrade unless the answer to step is whole.
void Judge(const BootloaderAnswer& answer, const QString& step, int answerBytes) {
    // Only a refusal says for certain that the bootloader dropped the command;
    // behind a lost or garbled answer it may have taken it and now waits for
    // the rest.
    if (answer.outcome != Outcome::Whole && answer.outcome != Outcome::Refused)
        BootloaderMidCommand = true;
    switch (answer.outcome) {
        case Outcome::Whole:
            return;
        case Outcome::Cancelled:
            // Quitting ends the wait too; nobody is left to tell.
            throw BootloaderFailure(QStringLiteral("Firmware upgrade cancelled."), true);
        case Outcome::Silent:
            Fail(QStringLiteral("no answer from the bootloader to ") + step);
        case Outcome::Refused:
            Fail(QStringLiteral("the bootloader refused ") + step + QStringLiteral(" (NOT ACK)"));
        case Outcome::WrongByte:
            Fail(QStringLiteral("the bootloader answered ") + Hex2(std::uint8_t(answer.bytes[0])) +
                 QStringLiteral(" instead of ACK to ") + step);
        case Outcome::Incomplete:
            Fail(QStringLiteral("the answer to %1 was incomplete: %2 of %3 bytes came")
                     .arg(step)
                     .arg(answer.bytes.size())
                     .arg(answerBytes));
        case Outcome::TooLong: {
            const QByteArray extra = answer.bytes.mid(answerBytes);
            Fail(QStringLiteral("the bootloader sent %1 byte%2 more than its answer to %3 has (%4)")
                     .arg(extra.size())
                     .arg(extra.size() == 1 ? QString() : QStringLiteral("s"))
                     .arg(step)
                     .arg(HexBytes(extra.left(8)) +
                          (extra.size() > 8 ? QStringLiteral(" ...") : QString())));
        }
        case Outcome::LinkLost:
            if (!PedalLink::Instance().IsOpen()) LostDuring(step);
            Fail(QStringLiteral("the link to the pedal failed while waiting for the answer to ") +
                     step,
                 kReconnectHint);
    }
    Fail(QStringLiteral("no answer from the bootloader to ") + step);
}

// A step answered by a lone ACK, logged as the upgrade always has been.
void AckStep(const QString& step, const std::function<void()>& send,
             int timeoutMs = BootloaderReplyTimeoutMs) {
    const BootloaderAnswer answer = BootloaderExchange(send, 1, timeoutMs);
    LogBootloaderReply(answer);
    Judge(answer, step, 1);
}

// The same without log lines: the read-back logs one line per block instead.
void QuietAckStep(const QString& step, const std::function<void()>& send) {
    Judge(BootloaderExchange(send, 1, BootloaderReplyTimeoutMs), step, 1);
}

QString At(std::uint32_t address) {
    return QStringLiteral("at address ") + Hex8(address);
}

std::array<std::uint8_t, 5> AddressFrame(std::uint32_t a) {
    return {static_cast<std::uint8_t>(a >> 24), static_cast<std::uint8_t>(a >> 16),
            static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a), AddressChecksum(a)};
}

// BootloaderAddress, big-endian, then the XOR of its four bytes.
void SendAddressFrame(const QString& step, int pauseBeforeReplyMs) {
    ConsolePrint(QStringLiteral("SEND ADDRESS + CHECKSUM"));
    const std::uint32_t a = BootloaderAddress;
    const auto frame = AddressFrame(a);
    ConsolePrint(QStringLiteral("Address: ") + Hex8(a));
    ConsolePrint(QStringLiteral("address checksum: ") + Hex2(frame[4]));
    AckStep(step, [&] {
        for (std::uint8_t byte : frame) {
            SendByte(byte, step);
            platform::SleepMs(1);
        }
        PauseBeforeReply(pauseBeforeReplyMs);
    });
}

// Checks that the read-back of [address, address + written.size()) matches.
void Compare(const QByteArray& read, const std::uint8_t* written, std::uint32_t address,
             const QString& what) {
    for (int k = 0; k < read.size(); ++k) {
        const auto got = static_cast<std::uint8_t>(read[k]);
        if (got != written[k])
            Fail(QStringLiteral("the pedal's flash differs from %1 at address %2: %3 was read "
                                "back where %4 was written")
                     .arg(what, Hex8(address + static_cast<std::uint32_t>(k)), Hex2(got),
                          Hex2(written[k])));
    }
}

}  // namespace

BootloaderAnswer BootloaderExchange(const std::function<void()>& send, int answerBytes,
                                    int inactivityMs) {
    BootloaderAnswer answer;
    PedalLink& link = PedalLink::Instance();
    ftd::FtDriver& driver = ftd::Driver();
    // Every call goes through the link's judgement: a device that went away
    // closes the link with one message, not one per call on the way.
    const auto ok = [&](const char* label, ftd::FT_STATUS status) {
        return link.IsOpen() && link.Check(QLatin1String(label), status);
    };
    // Whatever is left of an earlier step must not be taken for this answer.
    if (!ok("FT_Purge RX", driver.Purge(DeviceHandle, ftd::FT_PURGE_RX))) {
        answer.outcome = Outcome::LinkLost;
        return answer;
    }
    send();
    QElapsedTimer quiet;
    quiet.start();
    std::uint32_t waiting = 0;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (PedalWaitsCancelled()) {
            answer.outcome = Outcome::Cancelled;
            break;
        }
        if (!ok("FT_GetQueueStatus", driver.GetQueueStatus(DeviceHandle, waiting))) {
            answer.outcome = Outcome::LinkLost;
            return answer;
        }
        if (waiting > 0) {
            std::uint32_t n = 0;
            const std::uint32_t take = std::min<std::uint32_t>(waiting, kBufferSize);
            if (!ok("FT_Read", driver.Read(DeviceHandle, InBuffer.data(), take, n)) || n == 0) {
                answer.outcome = Outcome::LinkLost;
                return answer;
            }
            answer.bytes.append(reinterpret_cast<const char*>(InBuffer.data()),
                                static_cast<qsizetype>(n));
            quiet.restart();
            const auto first = static_cast<std::uint8_t>(answer.bytes[0]);
            if (first != kBootloaderAck) {
                answer.outcome = first == kBootloaderNack ? Outcome::Refused : Outcome::WrongByte;
                break;
            }
            if (answer.bytes.size() < answerBytes) continue;
            // Whatever has come beyond the answer already is a tail.
            if (answer.bytes.size() == answerBytes &&
                ok("FT_GetQueueStatus", driver.GetQueueStatus(DeviceHandle, waiting)) &&
                waiting > 0 &&
                ok("FT_Read", driver.Read(DeviceHandle, InBuffer.data(),
                                          std::min<std::uint32_t>(waiting, kBufferSize), n)))
                answer.bytes.append(reinterpret_cast<const char*>(InBuffer.data()),
                                    static_cast<qsizetype>(n));
            answer.outcome = answer.bytes.size() > answerBytes ? Outcome::TooLong : Outcome::Whole;
            break;
        }
        if (quiet.elapsed() >= inactivityMs) {
            answer.outcome = answer.bytes.isEmpty() ? Outcome::Silent : Outcome::Incomplete;
            break;
        }
        // Sleep until bytes may have come, a millisecond at most.
        driver.WaitForData(DeviceHandle, 1);
    }
    if (link.IsOpen()) ok("FT_Purge RX", driver.Purge(DeviceHandle, ftd::FT_PURGE_RX));
    return answer;
}

BootloaderResync ResyncBootloader() {
    using Result = BootloaderResync::Outcome;
    BootloaderResync result;
    ConsolePrint(
        QStringLiteral("bringing the bootloader back in step: sending FF until it "
                       "refuses one"));
    while (result.bytes < kResyncMaxBytes) {
        bool written = false;
        const BootloaderAnswer answer =
            BootloaderExchange([&] { written = WriteOneByte(0xFF); }, 1, BootloaderResyncWaitMs);
        if (answer.outcome == Outcome::Cancelled) {
            result.outcome = Result::Cancelled;
            return result;
        }
        if (!written || answer.outcome == Outcome::LinkLost) {
            result.outcome = Result::LinkLost;
            return result;
        }
        ++result.bytes;
        if (answer.outcome == Outcome::Refused) {
            result.outcome = Result::InStep;
            break;
        }
        // An accepted phase (an address that happened to check, a frame of
        // 0xFF written) may be followed by another: only a refusal leaves the
        // bootloader waiting for a command. Silence means the byte went into
        // the unfinished command; a stray byte is noise on the line.
        if (answer.outcome == Outcome::Whole || answer.outcome == Outcome::TooLong) ++result.acks;
    }
    // In step, or none refused: then only switching the pedal off and on
    // mends it, after which it waits for no command, and sending the filler
    // again (least of all to a pedal that came up running its effect) would
    // change nothing.
    BootloaderMidCommand = false;
    if (result.outcome == Result::InStep) {
        ConsolePrint(QStringLiteral("the bootloader is back in step: it refused filler byte %1 "
                                    "(%2 acknowledged before)")
                         .arg(result.bytes)
                         .arg(result.acks));
    } else {
        ConsolePrint(QStringLiteral("the bootloader refused none of %1 filler bytes (%2 "
                                    "acknowledged)")
                         .arg(result.bytes)
                         .arg(result.acks));
    }
    return result;
}

void BringBootloaderBackInStep() {
    if (!BootloaderMidCommand) return;
    const BootloaderResync resync = ResyncBootloader();
    switch (resync.outcome) {
        case BootloaderResync::Outcome::InStep:
            return;
        case BootloaderResync::Outcome::Cancelled:
            throw BootloaderFailure(QStringLiteral("Firmware upgrade cancelled."), true);
        case BootloaderResync::Outcome::LinkLost:
            if (!PedalLink::Instance().IsOpen()) LostDuring(kResyncStep);
            Fail(QStringLiteral("the link to the pedal failed while ") + kResyncStep,
                 kReconnectHint);
        case BootloaderResync::Outcome::NoRefusal:
            break;
    }
    Fail(QStringLiteral("the bootloader did not come back in step: it refused none of the %1 "
                        "bytes sent to end the command it was left in")
             .arg(resync.bytes),
         kPowerCycleHint);
}

std::uint8_t AddressChecksum(std::uint32_t address) {
    return static_cast<std::uint8_t>((address >> 24) ^ (address >> 16) ^ (address >> 8) ^ address);
}

std::uint8_t BlockChecksum(int block, std::uint8_t countByte) {
    std::uint8_t checksum = countByte;
    const int n = static_cast<int>(FirmwareBlockTexts[static_cast<std::size_t>(block)].size() / 2);
    const auto& data = FirmwareBlockData[static_cast<std::size_t>(block)];
    for (int k = 0; k < n; ++k) checksum ^= data[static_cast<std::size_t>(k)];
    return checksum;
}

std::array<std::uint8_t, 10> VersionRecordFrame(std::int32_t version) {
    // Eight data bytes: seven zeros, then the version.
    const auto v = static_cast<std::uint8_t>(version);
    return {0x07, 0, 0, 0, 0, 0, 0, 0, v, static_cast<std::uint8_t>(0x07 ^ v)};
}

QString LogBootloaderReply(const BootloaderAnswer& answer) {
    const QString text = BytesToHex(answer.bytes.left(1));
    if (!answer.bytes.isEmpty())
        ConsolePrint(QStringLiteral("num of bytes received: ") +
                     QString::number(answer.bytes.size()));
    ConsoleAppend(QStringLiteral("received: ") + text);
    if (text == QStringLiteral("79"))
        ConsoleAppend(QStringLiteral("ACK"));
    else if (text == QStringLiteral("1F"))
        ConsoleAppend(QStringLiteral("NOT ACK"));
    return text;
}

void SendWriteMemoryCommand(const QString& target) {
    const QString what =
        target.isEmpty() ? QStringLiteral("address ") + Hex8(BootloaderAddress) : target;
    ConsolePrint(QStringLiteral("SEND WRITE COMMAND"));
    const QString command = QStringLiteral("the Write Memory command for ") + what;
    AckStep(command, [&] {
        for (std::uint8_t byte : kWriteMemory) {
            SendByte(byte, command);
            platform::SleepMs(1);
        }
        PauseBeforeReply(20);
    });

    SendAddressFrame(QStringLiteral("the address frame for ") + what, 20);
}

void CheckFirmwareImage() {
    if (FirmwareSize <= 0)
        throw FirmwareImageRejected(
            QStringLiteral("The firmware image is empty; the pedal's firmware was left as it is."));
    if (FirmwareSize > kMaxFirmwareImageBytes)
        throw FirmwareImageRejected(
            QStringLiteral("The firmware image is too large: %1 bytes, at most %2 fit below the "
                           "version record. The pedal's firmware was left as it is.")
                .arg(FirmwareSize)
                .arg(kMaxFirmwareImageBytes));
}

void SplitFirmwareImage() {
    if (FirmwareSize < 0 || FirmwareSize > kFirmwareTableBytes)
        throw FirmwareImageRejected(
            QStringLiteral("The firmware image is too large: %1 bytes, at most %2 fit the block "
                           "tables.")
                .arg(FirmwareSize)
                .arg(kFirmwareTableBytes));
    FirmwareBlockCount = static_cast<std::uint16_t>(FirmwareSize / kFirmwareBlockBytes);
    LastBlockBytes = static_cast<std::uint16_t>(FirmwareSize % kFirmwareBlockBytes);
    // The first line counts the full blocks only.
    ConsolePrint(QStringLiteral("num of chunks: ") + QString::number(FirmwareBlockCount));
    ConsolePrint(QStringLiteral("num of bytes last chunk: ") + QString::number(LastBlockBytes));
    if (LastBlockBytes > 0) ++FirmwareBlockCount;

    constexpr int kBlockChars = 2 * kFirmwareBlockBytes;
    for (int i = 0; i < FirmwareBlockCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const bool partial = LastBlockBytes > 0 && i == FirmwareBlockCount - 1;
        QString& text = FirmwareBlockTexts[index];
        text = partial ? FirmwareHexText.mid(kBlockChars * i)
                       : FirmwareHexText.mid(kBlockChars * i, kBlockChars);
        const int bytes = partial ? LastBlockBytes : kFirmwareBlockBytes;
        const QByteArray decoded = QByteArray::fromHex(text.left(2 * bytes).toLatin1());
        auto& data = FirmwareBlockData[index];
        std::copy_n(decoded.constBegin(), std::min<qsizetype>(decoded.size(), bytes), data.begin());
        if (partial)
            ConsolePrint(QStringLiteral("num of bytes last chunk: ") +
                         QString::number(LastBlockBytes));
        ConsoleAppend(QStringLiteral("chunk from string ") + QString::number(i) +
                      QStringLiteral(": "));
        ConsoleAppend(text);
        ConsolePrint(QStringLiteral("chunk ") + QString::number(i) + QStringLiteral(" size: ") +
                     QString::number(text.size() / 2));
        ConsoleAppend(QString());
        ConsoleAppend(QString());
    }
}

void SendEraseCommand() {
    ConsoleAppend(QStringLiteral("Start Erase Command"));
    // Here the pause comes before each byte.
    const QString command = QStringLiteral("the Erase command");
    AckStep(command, [&] {
        for (std::uint8_t byte : kEraseMemory) {
            platform::SleepMs(1);
            SendByte(byte, command);
        }
        PauseBeforeReply(20);
    });

    const QString erase = QStringLiteral("the global erase");
    // The answer comes only once the whole flash is blank.
    AckStep(
        erase,
        [&] {
            for (std::uint8_t byte : kGlobalErase) {
                platform::SleepMs(1);
                SendByte(byte, erase);
            }
            PauseBeforeReply(20);
        },
        BootloaderEraseTimeoutMs);
}

void WriteFirmwareBlocks(const FirmwareProgress& progress) {
    ConsoleAppend(QStringLiteral("Start Write Command"));
    ConsoleAppend(QString());
    BootloaderAddress = kFlashStart;
    if (progress.setMaximum) progress.setMaximum(FirmwareBlockCount);
    for (int i = 0; i < FirmwareBlockCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (progress.setPosition) progress.setPosition(i);
        const QString block = QStringLiteral("block ") + QString::number(i) + QLatin1Char(' ') +
                              At(BootloaderAddress);
        SendWriteMemoryCommand(block);

        ConsolePrint(QStringLiteral("SEND N BYTE + DATA + CHECKSUM"));
        const int n = static_cast<int>(FirmwareBlockTexts[index].size() / 2);
        const auto countByte = static_cast<std::uint8_t>(n - 1);
        const QString data = QStringLiteral("the data of ") + block;
        // Answered at once: no pause after the checksum.
        AckStep(data, [&] {
            ConsolePrint(QStringLiteral("N_byte: ") + Hex2(countByte));
            SendByte(countByte, data);
            platform::SleepMs(1);
            ConsolePrint(QStringLiteral("chunk size: ") + QString::number(n));
            for (int k = 0; k < n; ++k) {
                SendByte(FirmwareBlockData[index][static_cast<std::size_t>(k)], data);
                // The pedal has always been given this countdown, not a sleep,
                // between data bytes.
                platform::BusyPause(kDataBytePauseIterations);
            }
            const std::uint8_t checksum = BlockChecksum(i, countByte);
            ConsolePrint(QStringLiteral("data checksum: ") + Hex2(checksum));
            SendByte(checksum, data);
            platform::SleepMs(1);
        });
        BootloaderAddress += static_cast<std::uint32_t>(n);
        ConsolePrint(QString());
    }
}

void WriteVersionRecord(std::int32_t version) {
    BootloaderAddress = kVersionRecordAddress;
    const QString record = QStringLiteral("the version record ") + At(kVersionRecordAddress);
    SendWriteMemoryCommand(record);
    AckStep(record, [&] {
        for (std::uint8_t byte : VersionRecordFrame(version)) {
            SendByte(byte, record);
            platform::SleepMs(1);
        }
        PauseBeforeReply(20);
    });
}

QByteArray ReadFlash(std::uint32_t address, int size, const QString& what) {
    // No pacing: the bootloader takes a Read Memory as fast as the wire brings
    // it, and the read-back should cost no more than its wire time.
    const QString command = QStringLiteral("the Read Memory command for ") + what;
    QuietAckStep(command, [&] {
        for (std::uint8_t byte : kReadMemory) SendByte(byte, command);
    });
    const QString frame = QStringLiteral("the read address frame for ") + what;
    QuietAckStep(frame, [&] {
        for (std::uint8_t byte : AddressFrame(address)) SendByte(byte, frame);
    });
    const QString read = QStringLiteral("the read of ") + what;
    const auto count = static_cast<std::uint8_t>(size - 1);
    const BootloaderAnswer answer = BootloaderExchange(
        [&] {
            SendByte(count, read);
            SendByte(static_cast<std::uint8_t>(count ^ 0xFF), read);
        },
        size + 1, BootloaderReplyTimeoutMs);
    Judge(answer, read, size + 1);
    return answer.bytes.mid(1);
}

void VerifyFirmwareBlocks(const FirmwareProgress& progress) {
    if (progress.setMaximum) progress.setMaximum(FirmwareBlockCount);
    std::uint32_t address = kFlashStart;
    for (int i = 0; i < FirmwareBlockCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (progress.setPosition) progress.setPosition(i);
        const int n = static_cast<int>(FirmwareBlockTexts[index].size() / 2);
        const QString block =
            QStringLiteral("block ") + QString::number(i) + QLatin1Char(' ') + At(address);
        const QByteArray read = ReadFlash(address, n, block);
        Compare(read, FirmwareBlockData[index].data(), address,
                QStringLiteral("block ") + QString::number(i) + QStringLiteral(" of the image"));
        ConsolePrint(QStringLiteral("verified block %1 at %2: %3 bytes match")
                         .arg(i)
                         .arg(Hex8(address))
                         .arg(n));
        address += static_cast<std::uint32_t>(n);
    }
}

void VerifyVersionRecord(std::int32_t version) {
    const auto frame = VersionRecordFrame(version);
    // The eight data bytes between the count byte and the checksum.
    const int size = frame[0] + 1;
    const QByteArray read =
        ReadFlash(kVersionRecordAddress, size,
                  QStringLiteral("the version record ") + At(kVersionRecordAddress));
    Compare(read, frame.data() + 1, kVersionRecordAddress, QStringLiteral("the version record"));
    ConsolePrint(QStringLiteral("verified the version record at %1: %2 bytes match")
                     .arg(Hex8(kVersionRecordAddress))
                     .arg(size));
    ConsolePrint(QStringLiteral("read-back verified: %1 bytes of firmware in %2 block%3 and the "
                                "version record match what was written")
                     .arg(FirmwareSize)
                     .arg(FirmwareBlockCount)
                     .arg(FirmwareBlockCount == 1 ? QString() : QStringLiteral("s")));
}

void SendGoCommand() {
    ConsolePrint(QString());
    ConsolePrint(QStringLiteral("SEND GO COMMAND"));
    BootloaderAddress = kFlashStart;
    const QString command = QStringLiteral("the Go command");
    AckStep(command, [&] {
        for (std::uint8_t byte : kGo) {
            SendByte(byte, command);
            platform::SleepMs(1);
        }
        PauseBeforeReply(100);
    });

    SendAddressFrame(QStringLiteral("the Go address ") + Hex8(BootloaderAddress), 100);
}
