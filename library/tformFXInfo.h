#pragma once
// The effect information window: the selected algorithm's information page,
// a local HTML document shipped as a resource, shown from a file:// address.

#include <QTemporaryDir>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

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
    // Holds the pages written this run; removed when the editor ends.
    QTemporaryDir pages_;
};

// Built when first used (see DeferredWindow).
extern DeferredWindow<tformFXInfo> formFXInfo;
