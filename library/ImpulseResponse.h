#pragma once
// Impulse responses from WAV files for the cabinet-simulating algorithms: the
// first N samples of the file become 32-bit words placed at a fixed region of
// a copy of the algorithm's image text.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

// The selected algorithm's image text with the last loaded impulse response in place.
extern QString IrImageText;

struct IrAlgorithm {
    const char* name;  // display name in the catalogue
    int samples;       // N: the number of samples the image holds
    int regionStart;   // first hex character of the region, counted from 1
    int regionLength;  // hex characters, always samples * 8
};

// The impulse-response algorithm of that display name; nullptr for any other
// algorithm (N = 0, no region).
const IrAlgorithm* FindIrAlgorithm(const QString& displayName);

// The image word of one little-endian file sample of 3 or 4 bytes: the top 24
// bits of the sample, sign-extended to 32.
std::uint32_t IrSampleWord(const char* sample, int bytesPerSample);

// An impulse-response file is a few kilobytes; anything beyond this is
// refused unread.
constexpr qint64 kMaxImpulseResponseFileBytes = 16 * 1024 * 1024;

// One chunk of a RIFF file as its header tells it.
struct WavChunk {
    QByteArray id;
    std::uint32_t size = 0;   // as the header says
    qsizetype body = 0;       // offset of the first byte after the header
    qsizetype available = 0;  // bytes of the body that the file holds
};
struct WavChunks {
    std::optional<WavChunk> fmt;   // the first "fmt " chunk
    std::optional<WavChunk> data;  // the first "data" chunk
};
// Follows the chunks from the end of the 12-byte RIFF header, each one's size
// leading to the next, until the file ends.
WavChunks FindWavChunks(const QByteArray& file);

struct IrReading {
    QString fileName;
    qint64 size = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t bitsPerSample = 0;
    QString irText;  // N words of 8 hex digits
};

// Reads the WAV file at path, logging every header field and sample, and
// converts the first samples the algorithm needs (none when algorithm is
// nullptr). The fields come from the "fmt " chunk and the samples from the
// "data" chunk, wherever they are. A file that cannot be used (larger than
// kMaxImpulseResponseFileBytes, too short, no "fmt " or "data" chunk, samples
// that are not integers, too few samples of 24 or 32 bits) is explained in a
// message box and gives nothing.
std::optional<IrReading> ReadImpulseResponseFile(const QString& path, const IrAlgorithm* algorithm);
// The same for a file's bytes already read; fileName names it in messages.
std::optional<IrReading> ReadImpulseResponse(const QString& fileName, const QByteArray& file,
                                             const IrAlgorithm* algorithm);

// imageText with irText in place of the algorithm's region (irText alone for
// an algorithm without one); nothing when the image is too short to hold the
// region.
std::optional<QString> SpliceImpulseResponse(const QString& imageText, const IrAlgorithm* algorithm,
                                             const QString& irText);

// The text of the summary box.
QString IrSummary(const IrReading& reading);
