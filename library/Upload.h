#pragma once
// Checks and texts of the algorithm upload that need no window: whether an
// image can go to the pedal at all, how its answer reads, and which entry of
// the effect list names the running algorithm.

#include <QByteArray>
#include <QString>
#include <QStringList>

// The pedal answers a complete image with "Upload complete" CR LF.
constexpr int kUploadAnswerLength = 17;
// How long the answer may take: the pedal programs the image first, and the
// 5 s watchdog should have its say before the wait gives up.
constexpr int kUploadAnswerTimeoutMs = 8000;
// The largest image the transmit buffer holds, in bytes.
constexpr int kMaxImageBytes = 65536;

// Why the image text cannot be uploaded (empty, an odd number of digits, a
// character that is not a hex digit, larger than the transmit buffer), or an
// empty string when it can. Checked before anything is sent, because the
// pedal takes whatever follows the pre-upload message as the image.
QString AlgorithmImageProblem(const QString& image);

// The answer as shown: at most its first 17 bytes, one character per byte,
// without the line end that closes it.
QString UploadAnswerText(const QByteArray& received);

// The algorithm an "effect list" names for the running effect: its entries
// read "key:name"; the entry whose key is effectNumber (as the Request shows
// it, e.g. "01") wins, otherwise the first entry that has a name. Throws
// platform::EditorError when no entry has one.
QString RunningAlgorithmName(const QStringList& effectList, const QString& effectNumber);
