#pragma once
// The user's documents folder and whole-file reads and writes.

#include <QByteArray>
#include <QString>

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
// Throws EditorError with the reason.
void WriteFileAtomically(const QString& path, const QByteArray& bytes);

// Reads the whole file; throws EditorError with the reason.
QByteArray ReadWholeFile(const QString& path);

// Text of any common encoding: UTF-8 with or without a byte-order mark (also
// UTF-16 with its mark); bytes that are not valid UTF-8 are read in the system
// code page.
QString DecodeText(const QByteArray& bytes);

}  // namespace platform
