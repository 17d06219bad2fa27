#pragma once
// The user's documents folder and whole-file reads and writes.

#include <QByteArray>
#include <QString>

#include "platform/Errors.h"

namespace platform {

// The per-user documents folder; tests point it at a temporary folder.
QString DocumentsFolder();
void SetDocumentsFolder(const QString& path);

// The editor's own folders under the documents folder.
QString MakerFolder();    // Documents/VORKEL
QString ProductFolder();  // Documents/VORKEL/Quendle MK3

// Creates the folder and any missing parents; throws EditorError with the
// system's reason when it cannot.
void CreateFolder(const QString& path);

// Replaces the file's content in one step: the bytes go to a temporary file
// that is renamed over the old one, so a failed write leaves the old file whole.
// Throws EditorError naming the file and the reason.
void WriteFileAtomically(const QString& path, const QByteArray& bytes);

// Reads the whole file; throws EditorError with the reason. A folder or a
// named pipe is refused at once (a pipe is not waited on).
QByteArray ReadWholeFile(const QString& path);

// A file larger than its kind may be; it was not read.
class FileTooLarge : public EditorError {
public:
    FileTooLarge(const QString& path, qint64 size, qint64 limit);
};
// Reads the whole file unless it holds more than maxBytes: a larger file
// throws FileTooLarge before any of it is read, so a wrong pick in a file
// dialog (a video, a disk image) neither blocks the editor nor fills its
// memory. A file that grows while it is read, or a device that reports no
// size, is cut off at maxBytes + 1 and refused the same way.
QByteArray ReadWholeFile(const QString& path, qint64 maxBytes);
// "16 MiB", "64 KiB" or "100 bytes".
QString ByteSizeText(qint64 bytes);

// Text of any common encoding: UTF-8 with or without a byte-order mark (also
// UTF-16 with its mark); bytes that are not valid UTF-8 are read in the system
// code page.
QString DecodeText(const QByteArray& bytes);

}  // namespace platform
