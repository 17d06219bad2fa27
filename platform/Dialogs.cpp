#include "platform/Dialogs.h"

namespace platform {
namespace {
std::unique_ptr<Dialogs>& Installed() {
    static std::unique_ptr<Dialogs> instance = std::make_unique<RecordingDialogs>();
    return instance;
}
}  // namespace

Dialogs& dialogs() {
    return *Installed();
}

void InstallDialogs(std::unique_ptr<Dialogs> implementation) {
    Installed() = std::move(implementation);
}

RecordingDialogs& InstallRecordingDialogs() {
    auto recorder = std::make_unique<RecordingDialogs>();
    RecordingDialogs& ref = *recorder;
    InstallDialogs(std::move(recorder));
    return ref;
}

void RecordingDialogs::ShowMessage(const QString& text) {
    messages << text;
    if (onMessage) onMessage(text);
}

Answer RecordingDialogs::Ask(const QString& question) {
    questions << question;
    if (answers.empty()) return Answer::Yes;
    Answer next = answers.front();
    answers.pop_front();
    return next;
}

std::optional<QString> RecordingDialogs::OpenFileName(const FileDialogOptions& options) {
    fileRequests.push_back({false, options});
    if (fileNames.empty()) return std::nullopt;
    auto next = fileNames.front();
    fileNames.pop_front();
    return next;
}

std::optional<QString> RecordingDialogs::SaveFileName(const FileDialogOptions& options) {
    fileRequests.push_back({true, options});
    if (fileNames.empty()) return std::nullopt;
    auto next = fileNames.front();
    fileNames.pop_front();
    return next;
}

QString QtFilterFrom(const QString& filter) {
    // "A (*.a)|*.a|B (*.b)|*.b" -> "A (*.a);;B (*.b)"
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList described;
    for (int i = 0; i < parts.size(); i += 2) described << parts[i];
    return described.join(QStringLiteral(";;"));
}

}  // namespace platform
