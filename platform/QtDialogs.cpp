#include "platform/QtDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

#include "platform/Network.h"

namespace platform {
namespace {

QWidget* Parent() {
    return QApplication::activeWindow();
}

std::optional<QString> RunFileDialog(const FileDialogOptions& options, bool save) {
    QFileDialog dialog(Parent(), options.title, options.initialFolder,
                       QtFilterFrom(options.filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!options.defaultExtension.isEmpty()) dialog.setDefaultSuffix(options.defaultExtension);
    if (!options.proposedName.isEmpty()) dialog.selectFile(options.proposedName);
    // Choosing an existing file in a save dialog is the choice to replace it;
    // the editor asks nothing more.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, save);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

}  // namespace

void QtDialogs::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, Parent());
    box.exec();
}

Answer QtDialogs::Ask(const QString& question) {
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), question,
                    QMessageBox::Yes | QMessageBox::No, Parent());
    switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

std::optional<QString> QtDialogs::OpenFileName(const FileDialogOptions& options) {
    return RunFileDialog(options, false);
}

std::optional<QString> QtDialogs::SaveFileName(const FileDialogOptions& options) {
    return RunFileDialog(options, true);
}

void InstallDesktopPlatform() {
    InstallDialogs(std::make_unique<QtDialogs>());
    SetUrlOpener([](const QUrl& url) { QDesktopServices::openUrl(url); });
}

}  // namespace platform
