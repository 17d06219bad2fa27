#pragma once
#include <QWidget>

#include "platform/Dialogs.h"

namespace platform {

// Message boxes and file dialogs of the desktop, parented to the active window.
class QtDialogs : public Dialogs {
public:
    void ShowMessage(const QString& text) override;
    Answer Ask(const QString& question) override;
    std::optional<QString> OpenFileName(const FileDialogOptions& options) override;
    std::optional<QString> SaveFileName(const FileDialogOptions& options) override;
};

// Installs the desktop dialogs and the browser opener.
void InstallDesktopPlatform();

}  // namespace platform
