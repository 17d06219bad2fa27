#include "library/ImpulseResponse.h"

#include <QFileInfo>
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

std::optional<QByteArray> RearrangedWav(const QByteArray& file) {
    const qsizetype fmt = file.indexOf(QByteArrayLiteral("fmt "), kRiffHeaderBytes);
    if (fmt < 0) return std::nullopt;
    return file.left(kRiffHeaderBytes) + file.mid(fmt);
}

std::optional<IrReading> ReadImpulseResponseFile(const QString& path,
                                                 const IrAlgorithm* algorithm) {
    IrReading reading;
    reading.fileName = QFileInfo(path).fileName();
    ConsolePrint(path);
    ConsolePrint(reading.fileName);
    const QByteArray file = platform::ReadWholeFile(path);
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

    const std::optional<QByteArray> wav = RearrangedWav(file);
    if (!wav) {
        platform::ShowMessage(
            QStringLiteral("%1 is not a WAV file the editor can read: it has no \"fmt \" chunk.")
                .arg(reading.fileName));
        return std::nullopt;
    }
    if (wav->size() < kHeaderBytes) {
        platform::ShowMessage(tooShort);
        return std::nullopt;
    }
    ConsolePrint(QStringLiteral("Subchunk ID: ") + QString::fromLatin1(file.mid(12, 4)));
    ConsolePrint(QStringLiteral("Subchink size: ") + QString::number(Little(*wav, 16, 4)));
    ConsolePrint(QStringLiteral("Audio format: ") + QString::number(Little(*wav, 20, 2)));
    ConsolePrint(QStringLiteral("Num_of_channels: ") + QString::number(Little(*wav, 22, 2)));
    reading.sampleRate = Little(*wav, 24, 4);
    ConsolePrint(QStringLiteral("Sample_Rate: ") + QString::number(reading.sampleRate));
    ConsolePrint(QStringLiteral("Byte_Rate: ") + QString::number(Little(*wav, 28, 4)));
    ConsolePrint(QStringLiteral("Block align: ") + QString::number(Little(*wav, 32, 2)));
    reading.bitsPerSample = Little(*wav, 34, 2);
    ConsolePrint(QStringLiteral("Bits_per_sample: ") + QString::number(reading.bitsPerSample));
    ConsolePrint(QStringLiteral("subchunk2size: ") + QString::number(Little(*wav, 40, 4)));
    const QByteArray audio = wav->mid(kHeaderBytes);
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
