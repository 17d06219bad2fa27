#include "library/tformFXInfo.h"

#include <QDir>
#include <QFileInfo>

#include "app/TformMain.h"
#include "library/Catalogue.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Resources.h"

DeferredWindow<tformFXInfo> formFXInfo;

tformFXInfo::tformFXInfo(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("formFXInfo"));
    setWindowTitle(QStringLiteral("Form1"));
    WebBrowser1 = new QTextBrowser(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setAccessibleName(QStringLiteral("Algorithm information"));
    WebBrowser1->setGeometry(8, 8, 319, 464);
    // Some room between the page's text and the frame.
    WebBrowser1->document()->setDocumentMargin(8);
    // The client area has a fixed size; the page scrolls inside it.
    setFixedSize(335, 480);
}

tformFXInfo::~tformFXInfo() {
    if (formFXInfo == this) formFXInfo = nullptr;
}

void tformFXInfo::FormCreate() {}

QUrl tformFXInfo::WriteInformationPage(const QString& algorithmName) {
    const QString resource =
        QStringLiteral("FXINFO_") + ResourceNameFor(algorithmName) + QStringLiteral(".HTML");
    const auto page = platform::FindResource(resource);
    if (!page)
        throw platform::EditorError(
            QStringLiteral("There is no information about \"%1\" in this editor")
                .arg(algorithmName));
    // The folder is made for the first page a run shows, not before, and made
    // again when it has gone since (a cleaner of the temporary folder).
    if (!pages_ || !pages_->isValid() || !QFileInfo(pages_->path()).isDir())
        pages_ = std::make_unique<QTemporaryDir>();
    if (!pages_->isValid())
        throw platform::EditorError(
            QStringLiteral("The information page cannot be shown: no temporary folder (%1)")
                .arg(pages_->errorString()));
    const QString path = QDir(pages_->path()).filePath(resource.toLower());
    platform::WriteFileAtomically(path, *page);
    return QUrl::fromLocalFile(path);
}

void TformMain::btnGetFXInfoClick() {
    // The page is written first, so that an algorithm without one leaves the
    // window as it was.
    const QUrl address = formFXInfo->WriteInformationPage(SelectedAlgorithmName);
    if (formFXInfo->isVisible()) formFXInfo->close();
    formFXInfo->show();
    formFXInfo->setWindowTitle(SelectedAlgorithmName);
    formFXInfo->WebBrowser1->setSource(address, QTextDocument::HtmlResource);
}
