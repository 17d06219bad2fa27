#include "firmware/Bootloader.h"

#include "device/Communication.h"
#include "device/D2XXUnit.h"
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

namespace {

constexpr std::uint8_t kWriteMemory[] = {0x31, 0xCE};
constexpr std::uint8_t kEraseMemory[] = {0x43, 0xBC};
constexpr std::uint8_t kGlobalErase[] = {0xFF, 0x00};
constexpr std::uint8_t kGo[] = {0x21, 0xDE};

const QString kRetryHint = QStringLiteral(
    " Nothing more was sent; the pedal stays in its bootloader, so the upgrade can be "
    "started again.");

[[noreturn]] void Fail(const QString& what) {
    const QString text = QStringLiteral("Firmware upgrade stopped: ") + what + QLatin1Char('.');
    ConsolePrint(text);
    throw BootloaderFailure(text + kRetryHint);
}

// Every byte goes out in a write of its own, as the pedal has always been
// driven. A byte the driver would not take cannot be answered, so the upgrade
// ends here rather than after a wait for an answer that cannot come.
void SendByte(std::uint8_t byte, const QString& step) {
    OutBuffer[0] = byte;
    if (WriteFTDevice(1) != 1) Fail(step + QStringLiteral(" could not be sent to the pedal"));
}

// The answer to one step must be ACK; anything else ends the upgrade.
void ExpectAck(const QString& step, int timeoutMs = BootloaderReplyTimeoutMs) {
    const QString reply = ReadBootloaderReply(timeoutMs);
    if (reply == QStringLiteral("79")) return;
    if (reply.isEmpty()) {
        // Quitting ends the wait too; nobody is left to tell.
        if (PedalWaitsCancelled())
            throw BootloaderFailure(QStringLiteral("Firmware upgrade cancelled."), true);
        Fail(QStringLiteral("no answer from the bootloader to ") + step);
    }
    if (reply == QStringLiteral("1F"))
        Fail(QStringLiteral("the bootloader refused ") + step + QStringLiteral(" (NOT ACK)"));
    Fail(QStringLiteral("the bootloader answered ") + reply +
         QStringLiteral(" instead of ACK to ") + step);
}

QString At(std::uint32_t address) {
    return QStringLiteral("at address ") + Hex8(address);
}

// BootloaderAddress, big-endian, then the XOR of its four bytes.
void SendAddressFrame(const QString& step, int pauseBeforeReplyMs) {
    ConsolePrint(QStringLiteral("SEND ADDRESS + CHECKSUM"));
    const std::uint32_t a = BootloaderAddress;
    const std::uint8_t checksum = AddressChecksum(a);
    ConsolePrint(QStringLiteral("Address: ") + Hex8(a));
    ConsolePrint(QStringLiteral("address checksum: ") + Hex2(checksum));
    const std::uint8_t frame[] = {
        static_cast<std::uint8_t>(a >> 24), static_cast<std::uint8_t>(a >> 16),
        static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a), checksum};
    for (std::uint8_t byte : frame) {
        SendByte(byte, step);
        platform::SleepMs(1);
    }
    platform::SleepMs(pauseBeforeReplyMs);
    ExpectAck(step);
}

}  // namespace

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

QString ReadBootloaderReply(int timeoutMs) {
    const QString text = ReadReplyText(timeoutMs);
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
    for (std::uint8_t byte : kWriteMemory) {
        SendByte(byte, command);
        platform::SleepMs(1);
    }
    platform::SleepMs(20);
    ExpectAck(command);

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
    for (std::uint8_t byte : kEraseMemory) {
        platform::SleepMs(1);
        SendByte(byte, command);
    }
    platform::SleepMs(20);
    ExpectAck(command);

    const QString erase = QStringLiteral("the global erase");
    for (std::uint8_t byte : kGlobalErase) {
        platform::SleepMs(1);
        SendByte(byte, erase);
    }
    platform::SleepMs(20);
    // The answer comes only once the whole flash is blank.
    ExpectAck(erase, BootloaderEraseTimeoutMs);
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
        ConsolePrint(QStringLiteral("N_byte: ") + Hex2(countByte));
        const QString data = QStringLiteral("the data of ") + block;
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
        ExpectAck(data);
        BootloaderAddress += static_cast<std::uint32_t>(n);
        ConsolePrint(QString());
    }
}

void WriteVersionRecord(std::int32_t version) {
    BootloaderAddress = kVersionRecordAddress;
    const QString record = QStringLiteral("the version record ") + At(kVersionRecordAddress);
    SendWriteMemoryCommand(record);
    for (std::uint8_t byte : VersionRecordFrame(version)) {
        SendByte(byte, record);
        platform::SleepMs(1);
    }
    platform::SleepMs(20);
    ExpectAck(record);
}

void SendGoCommand() {
    ConsolePrint(QString());
    ConsolePrint(QStringLiteral("SEND GO COMMAND"));
    BootloaderAddress = kFlashStart;
    const QString command = QStringLiteral("the Go command");
    for (std::uint8_t byte : kGo) {
        SendByte(byte, command);
        platform::SleepMs(1);
    }
    platform::SleepMs(100);
    ExpectAck(command);

    SendAddressFrame(QStringLiteral("the Go address ") + Hex8(BootloaderAddress), 100);
}
