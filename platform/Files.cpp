#include "platform/Files.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"

namespace platform {
namespace {
QString& DocumentsOverride() {
    static QString path;
    return path;
}

[[noreturn]] void CannotOpen(const QString& path, const QString& reason) {
    throw EditorError(
        QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(path), reason));
}

// Opens the file to read it whole. A named pipe would hold a plain open, and
// the editor with it, until another program writes to it; so the open does
// not wait, and a pipe or a folder is refused with the reason. Files and
// devices are read as before (a bounded read cuts a device off).
void OpenToRead(QFile& file, const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) CannotOpen(path, qt_error_string(errno));
    struct stat status {};
    QString refused;
    if (::fstat(fd, &status) != 0)
        refused = qt_error_string(errno);
    else if (S_ISDIR(status.st_mode))
        refused = QStringLiteral("It is a folder, not a file.");
    else if (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode))
        refused = QStringLiteral("It is a named pipe, not a file.");
    // Reads from here on wait as usual (a device's may).
    else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        refused = qt_error_string(errno);
    if (refused.isEmpty() && !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        refused = file.errorString();
    if (!refused.isEmpty()) {
        if (!file.isOpen()) ::close(fd);
        CannotOpen(path, refused);
    }
}
}  // namespace

QString DocumentsFolder() {
    if (!DocumentsOverride().isEmpty()) return DocumentsOverride();
    const QString env = qEnvironmentVariable("QUENDLE_DOCUMENTS_DIR");
    if (!env.isEmpty()) return env;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void SetDocumentsFolder(const QString& path) {
    DocumentsOverride() = path;
}

QString MakerFolder() {
    return QDir(DocumentsFolder()).filePath(QStringLiteral("VORKEL"));
}

QString ProductFolder() {
    return QDir(MakerFolder()).filePath(QStringLiteral("Quendle MK3"));
}

void CreateFolder(const QString& path) {
    QFileInfo info(path);
    if (info.isDir()) return;
    if (info.exists())
        throw EditorError(QStringLiteral("Cannot create \"%1\": a file of that name exists")
                              .arg(QDir::toNativeSeparators(path)));
    if (!QDir().mkpath(path))
        throw EditorError(QStringLiteral("Cannot create \"%1\": access denied or invalid path")
                              .arg(QDir::toNativeSeparators(path)));
}

void WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    // The system's reasons ("No such file or directory" for a place where no
    // file can be made) do not say which file; the user may not know either.
    const auto failed = [&path](const QString& reason) {
        return EditorError(
            QStringLiteral("Cannot write \"%1\": %2").arg(QDir::toNativeSeparators(path), reason));
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) throw failed(file.errorString());
    // The bytes must reach the temporary file before it replaces the old one:
    // Qt 6.4's commit() renames even when its own final flush fails (a full
    // disk), which would swap a cut-short file in for a whole one.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        // A failed flush leaves Qt's own error text empty; the system's says why.
        const QString reason = errno ? qt_error_string(errno) : file.errorString();
        file.cancelWriting();
        throw failed(reason);
    }
    if (!file.commit()) throw failed(file.errorString());
}

QByteArray ReadWholeFile(const QString& path) {
    QFile file;
    OpenToRead(file, path);
    return file.readAll();
}

QString ByteSizeText(qint64 bytes) {
    constexpr qint64 kKiB = 1024;
    constexpr qint64 kMiB = 1024 * kKiB;
    if (bytes > 0 && bytes % kMiB == 0) return QStringLiteral("%1 MiB").arg(bytes / kMiB);
    if (bytes > 0 && bytes % kKiB == 0) return QStringLiteral("%1 KiB").arg(bytes / kKiB);
    return QStringLiteral("%1 bytes").arg(bytes);
}

FileTooLarge::FileTooLarge(const QString& path, qint64 size, qint64 limit)
    : EditorError(QStringLiteral("\"%1\" is too large: it holds %2 bytes, more than the %3 "
                                 "such a file may have. Nothing was read from it.")
                      .arg(QDir::toNativeSeparators(path))
                      .arg(size)
                      .arg(ByteSizeText(limit))) {}

QByteArray ReadWholeFile(const QString& path, qint64 maxBytes) {
    QFile file;
    OpenToRead(file, path);
    if (file.size() > maxBytes) throw FileTooLarge(path, file.size(), maxBytes);
    QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes) throw FileTooLarge(path, bytes.size(), maxBytes);
    return bytes;
}

QString DecodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        auto encoding =
            bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
        QStringDecoder decoder(encoding);
        return decoder(bytes.mid(2));
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    return QString::fromLocal8Bit(bytes);
}

}  // namespace platform
