#include "library/ImpulseResponse.h"

#include <QFileInfo>
#include <algorithm>
#include <array>

#include "device/Communication.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"

QString IrImageText;

namespace {

constexpr int kHeaderBytes = 44;
constexpr int kRiffHeaderBytes = 12;

constexpr std::array<IrAlgorithm, 4> kIrAlgorithms{{
    {"Cab Sim 1", 882, 461, 7056},
    {"Amber Fuzz + Cab Sim", 703, 725, 5624},
    {"TRV + Cab Sim", 703, 741, 5624},
    {"Plain Cab Sim", 912, 461, 7296},
}};

std::uint32_t Little(const QByteArray& bytes, int offset, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | static_cast<std::uint8_t>(bytes[offset + i]);
    return value;
}

}  // namespace

const IrAlgorithm* FindIrAlgorithm(const QString& displayName) {
    for (const IrAlgorithm& algorithm : kIrAlgorithms)
        if (displayName == QLatin1String(algorithm.name)) return &algorithm;
    return nullptr;
}

std::uint32_t IrSampleWord(const char* sample, int bytesPerSample) {
    // The image keeps 24 bits: a 32-bit sample loses its least significant byte.
    const auto* top = reinterpret_cast<const std::uint8_t*>(sample) + bytesPerSample - 3;
    const std::uint32_t sign = top[2] >= 0x80 ? 0xFFu : 0x00u;
    return sign << 24 | std::uint32_t{top[2]} << 16 | std::uint32_t{top[1]} << 8 | top[0];
}

namespace {

// Four printable ASCII characters, as every chunk ID is.
bool LooksLikeChunkId(const QByteArray& file, qint64 offset) {
    if (offset < 0 || offset + 4 > file.size()) return false;
    for (int i = 0; i < 4; ++i) {
        const char c = file[static_cast<qsizetype>(offset + i)];
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

// The sub-format GUID of an extensible "fmt " chunk ends with these 14 bytes;
// its first two bytes are the format code proper.
const QByteArray kSubFormatTail =
    QByteArrayLiteral("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71");
constexpr std::uint32_t kFormatPcm = 1;
constexpr std::uint32_t kFormatFloat = 3;
constexpr std::uint32_t kFormatExtensible = 0xFFFE;
constexpr qsizetype kPlainFmtBytes = 16;
constexpr qsizetype kExtensibleFmtBytes = 40;

}  // namespace

WavChunks FindWavChunks(const QByteArray& file) {
    WavChunks chunks;
    qint64 offset = kRiffHeaderBytes;
    while (offset + 8 <= file.size()) {
        const QByteArray id = file.mid(static_cast<qsizetype>(offset), 4);
        const std::uint32_t size = Little(file, static_cast<int>(offset + 4), 4);
        const qint64 body = offset + 8;
        const WavChunk chunk{id, size, static_cast<qsizetype>(body),
                             static_cast<qsizetype>(std::min<qint64>(size, file.size() - body))};
        if (id == "fmt " && !chunks.fmt) chunks.fmt = chunk;
        if (id == "data" && !chunks.data) chunks.data = chunk;
        qint64 next = body + size;
        // An odd-sized chunk is followed by a pad byte. Some writers leave it
        // out; their next chunk starts right after the data instead.
        if ((size & 1) && !(LooksLikeChunkId(file, next) && !LooksLikeChunkId(file, next + 1)))
            ++next;
        offset = next;
    }
    return chunks;
}

std::optional<IrReading> ReadImpulseResponseFile(const QString& path,
                                                 const IrAlgorithm* algorithm) {
    const QString fileName = QFileInfo(path).fileName();
    ConsolePrint(path);
    ConsolePrint(fileName);
    QByteArray file;
    try {
        file = platform::ReadWholeFile(path, kMaxImpulseResponseFileBytes);
    } catch (const platform::FileTooLarge& error) {
        platform::ShowMessage(error.message());
        return std::nullopt;
    }
    return ReadImpulseResponse(fileName, file, algorithm);
}

std::optional<IrReading> ReadImpulseResponse(const QString& fileName, const QByteArray& file,
                                             const IrAlgorithm* algorithm) {
    IrReading reading;
    reading.fileName = fileName;
    reading.size = file.size();
    ConsolePrint(QString::number(file.size()));
    ConsolePrint(BytesToHex(file));

    const QString tooShort =
        QStringLiteral("%1 is too short to be a WAV file: its header needs %2 bytes.")
            .arg(reading.fileName)
            .arg(kHeaderBytes);
    if (file.size() < kHeaderBytes) {
        platform::ShowMessage(tooShort);
        return std::nullopt;
    }
    ConsolePrint(QStringLiteral("ID: ") + QString::fromLatin1(file.left(4)));
    ConsolePrint(QStringLiteral("chunk size: ") + QString::number(Little(file, 4, 4)));
    const auto notReadable = [&reading](const QString& why) {
        platform::ShowMessage(QStringLiteral("%1 is not a WAV file the editor can read: %2.")
                                  .arg(reading.fileName, why));
        return std::nullopt;
    };
    if (!file.startsWith("RIFF") || file.mid(8, 4) != "WAVE")
        return notReadable(QStringLiteral("it does not start with a RIFF WAVE header"));

    const WavChunks chunks = FindWavChunks(file);
    if (!chunks.fmt) return notReadable(QStringLiteral("it has no \"fmt \" chunk"));
    const QByteArray fmt =
        file.mid(chunks.fmt->body, std::min<qsizetype>(chunks.fmt->available, chunks.fmt->size));
    if (fmt.size() < kPlainFmtBytes)
        return notReadable(QStringLiteral("its \"fmt \" chunk holds %1 bytes, %2 are needed")
                               .arg(fmt.size())
                               .arg(kPlainFmtBytes));
    ConsolePrint(QStringLiteral("Subchunk ID: ") + QString::fromLatin1(file.mid(12, 4)));
    ConsolePrint(QStringLiteral("Subchink size: ") + QString::number(chunks.fmt->size));
    const std::uint32_t format = Little(fmt, 0, 2);
    ConsolePrint(QStringLiteral("Audio format: ") + QString::number(format));
    ConsolePrint(QStringLiteral("Num_of_channels: ") + QString::number(Little(fmt, 2, 2)));
    reading.sampleRate = Little(fmt, 4, 4);
    ConsolePrint(QStringLiteral("Sample_Rate: ") + QString::number(reading.sampleRate));
    ConsolePrint(QStringLiteral("Byte_Rate: ") + QString::number(Little(fmt, 8, 4)));
    ConsolePrint(QStringLiteral("Block align: ") + QString::number(Little(fmt, 12, 2)));
    reading.bitsPerSample = Little(fmt, 14, 2);
    ConsolePrint(QStringLiteral("Bits_per_sample: ") + QString::number(reading.bitsPerSample));

    // The samples become the image's integer words as they are; any other
    // coding would be loaded as noise.
    std::uint32_t coding = format;
    if (format == kFormatExtensible)
        coding = fmt.size() >= kExtensibleFmtBytes && fmt.mid(26, 14) == kSubFormatTail
                     ? Little(fmt, 24, 2)
                     : 0;
    if (coding == kFormatFloat) {
        platform::ShowMessage(
            QStringLiteral("%1 holds floating-point samples; the editor reads only integer (PCM) "
                           "WAV files of 24 or 32 bits.")
                .arg(reading.fileName));
        return std::nullopt;
    }
    if (coding != kFormatPcm) {
        platform::ShowMessage(
            QStringLiteral("%1 is not an integer (PCM) WAV file; the editor reads only those, of "
                           "24 or 32 bits.")
                .arg(reading.fileName));
        return std::nullopt;
    }
    if (!chunks.data) return notReadable(QStringLiteral("it has no \"data\" chunk"));
    ConsolePrint(QStringLiteral("subchunk2size: ") + QString::number(chunks.data->size));
    const QByteArray audio = file.mid(chunks.data->body, chunks.data->available);
    ConsolePrint(QStringLiteral("Audio data: ") + BytesToHex(audio));

    const int wanted = algorithm ? algorithm->samples : 0;
    const int bytesPerSample =
        reading.bitsPerSample == 24 ? 3 : (reading.bitsPerSample == 32 ? 4 : 0);
    const QByteArray raw =
        bytesPerSample ? audio.left(qsizetype{wanted} * bytesPerSample) : QByteArray();
    ConsolePrint(QStringLiteral("irdata: ") + BytesToHex(raw));
    // The image region has room for exactly N words; fewer would leave a
    // shorter image behind, so such a file is refused before anything changes.
    if (bytesPerSample == 0 && wanted > 0) {
        platform::ShowMessage(
            QStringLiteral("%1 has %2-bit samples; \"%3\" needs 24- or 32-bit samples.")
                .arg(reading.fileName)
                .arg(reading.bitsPerSample)
                .arg(QLatin1String(algorithm->name)));
        return std::nullopt;
    }
    if (raw.size() < qsizetype{wanted} * bytesPerSample) {
        platform::ShowMessage(QStringLiteral("%1 holds only %2 samples; \"%3\" needs %4.")
                                  .arg(reading.fileName)
                                  .arg(raw.size() / bytesPerSample)
                                  .arg(QLatin1String(algorithm->name))
                                  .arg(wanted));
        return std::nullopt;
    }
    for (int k = 0; k < wanted; ++k) {
        const QString word =
            Hex8(IrSampleWord(raw.constData() + qsizetype{k} * bytesPerSample, bytesPerSample));
        reading.irText += word;
        ConsolePrint(word);
    }
    ConsolePrint(QStringLiteral("irdata swapped endianess: ") + reading.irText);
    return reading;
}

std::optional<QString> SpliceImpulseResponse(const QString& imageText, const IrAlgorithm* algorithm,
                                             const QString& irText) {
    if (!algorithm) return irText;
    const qsizetype before = algorithm->regionStart - 1;
    if (imageText.size() < before + algorithm->regionLength) return std::nullopt;
    return imageText.left(before) + irText + imageText.mid(before + algorithm->regionLength);
}

QString IrSummary(const IrReading& reading) {
    return QStringLiteral("Selected file data:\r\nName: ") + reading.fileName +
           QStringLiteral("\r\nSize: ") + QString::number(reading.size) +
           QStringLiteral("\r\nSample rate: ") + QString::number(reading.sampleRate) +
           QStringLiteral("\r\nBits per sample: ") + QString::number(reading.bitsPerSample);
}
