#pragma once
// Every message box and file dialog of the editor goes through here, so that
// each handler can run in a test with a recorder answering from a script.

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

enum class Answer { Yes, No, Cancel };

struct FileDialogOptions {
    QString title;   // empty: the platform's default title
    QString filter;  // in the "Description (*.ext)|*.ext" form
    QString defaultExtension;
    QString initialFolder;  // empty: the platform's default folder
    QString proposedName;   // a save dialog's file name to start with; may be empty
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Plain modal message box with an OK button.
    virtual void ShowMessage(const QString& text) = 0;
    // Yes/No confirmation. Callers stop only on Answer::No.
    virtual Answer Ask(const QString& question) = 0;
    // The chosen file's full path, or nothing when the user cancels.
    virtual std::optional<QString> OpenFileName(const FileDialogOptions& options) = 0;
    virtual std::optional<QString> SaveFileName(const FileDialogOptions& options) = 0;
};

Dialogs& dialogs();
void InstallDialogs(std::unique_ptr<Dialogs> implementation);

// Shorthands used everywhere.
inline void ShowMessage(const QString& text) {
    dialogs().ShowMessage(text);
}
inline Answer Ask(const QString& question) {
    return dialogs().Ask(question);
}

// Records every text shown and answers from a script; what tests install.
class RecordingDialogs : public Dialogs {
public:
    struct FileRequest {
        bool save = false;
        FileDialogOptions options;
    };

    void ShowMessage(const QString& text) override;
    Answer Ask(const QString& question) override;
    std::optional<QString> OpenFileName(const FileDialogOptions& options) override;
    std::optional<QString> SaveFileName(const FileDialogOptions& options) override;

    QStringList messages;                          // texts of the message boxes, in order
    QStringList questions;                         // texts of the confirmations, in order
    std::deque<Answer> answers;                    // next answers; Yes when empty
    std::deque<std::optional<QString>> fileNames;  // next file names; cancel when empty
    std::vector<FileRequest> fileRequests;
    // Called after each message is recorded (a test can act "while the box is open").
    std::function<void(const QString&)> onMessage;
};

// Installs a fresh recorder and returns it (owned by the seam).
RecordingDialogs& InstallRecordingDialogs();

// Converts a "Description (*.ext)|*.ext|..." filter into the form Qt's file dialogs take.
QString QtFilterFrom(const QString& filter);

}  // namespace platform
