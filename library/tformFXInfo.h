#pragma once
// The effect information window: the selected algorithm's information page,
// a local HTML document shipped as a resource, shown from a file:// address.

#include <QTemporaryDir>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>
#include <memory>

#include "platform/DeferredWindow.h"

class tformFXInfo : public QWidget {
    Q_OBJECT
public:
    explicit tformFXInfo(QWidget* parent = nullptr);
    ~tformFXInfo() override;

    QTextBrowser* WebBrowser1;

    void FormCreate();
    // Writes the algorithm's information page (resource "FXINFO_" + its
    // resource name + ".HTML") to a temporary file and returns the file's
    // address. Throws platform::EditorError when the editor has no page for it.
    QUrl WriteInformationPage(const QString& algorithmName);

private:
    // Holds the pages written this run: made when the first page is written,
    // removed with the window when the editor ends (a normal quit, SIGTERM or
    // SIGINT alike).
    std::unique_ptr<QTemporaryDir> pages_;
};

// Built when first used (see DeferredWindow).
extern DeferredWindow<tformFXInfo> formFXInfo;
