// The main window's algorithm upload with its watchdog, and the hidden Open
// FX button.
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>
#include "app/MainWindowConnection.h"
#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "device/StandIn.h"
#include "library/Catalogue.h"
#include "library/Upload.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Resources.h"
#include "platform/Time.h"

namespace {

const QString kUploadFailed = QStringLiteral("Upload Failed");

// Whether the answer reads as text the pedal wrote (printable characters
// before its line end); anything else is never shown as the status.
bool IsText(const QByteArray& answer) {
    QByteArray line = answer;
    while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
    return !line.isEmpty() &&
           std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

// After a pre-upload message that reached the pedal, the image did not go out
// whole: the pedal now takes every byte as part of it, and has no message
// that ends the wait. The link sends nothing more; the user hears what to do.
void SayIfThePedalAwaitsTheImage(TformMain& w) {
    if (!PedalLink::Instance().AwaitsImage()) return;
    ConsolePrint(QStringLiteral("upload: the pedal still waits for the image"));
    TurnPedalButtonsOff(w);
    ShowWhetherSettingsGoOut();
    // A pedal with a supply of its own keeps waiting when its cable is
    // pulled, so the advice stands after an unplug too.
    platform::ShowMessage(
        QStringLiteral("The algorithm did not reach the pedal whole, and the pedal is still "
                       "waiting for it: it would take any message as part of the algorithm. "
                       "Switch the pedal off and on, then %1.")
            .arg(PedalLink::Instance().IsOpen() ? QStringLiteral("use Disconnect and Connect")
                                                : QStringLiteral("connect it again")));
}

}  // namespace

void TformMain::btnUploadClick() {
    PedalLink& link = PedalLink::Instance();
    if (link.RefuseIfBusy()) return;
    if (platform::Ask(QStringLiteral("Upload the selected algorithm?")) == platform::Answer::No)
        return;

    // However the upload ends without an answer (a missing or bad image, a
    // driver error, a wait ended by Disconnect), the watchdog stops and the
    // status says it failed; an error thrown on the way is reported after.
    // A click while the upload waited (before the image went out, the pedal
    // awaited it and took no settings) may have turned the settings
    // commands off; they show what the pedal takes once the upload is over.
    bool answered = false;
    const auto finish = qScopeGuard([&] {
        UploadCheckTimer->stop();
        if (!answered) lblStatus->setText(kUploadFailed);
        ShowWhetherSettingsGoOut();
    });

    // The image is loaded and checked before the pedal is told an image
    // follows: once armed, it takes the next bytes as the image whatever they are.
    const QString name = ResourceNameFor(SelectedAlgorithmName);
    ConsolePrint(QStringLiteral("resource name: ") + name);
    LoadResourceLines(name);
    // A resource that exists but could not be read has been reported; the
    // lines still hold what was loaded before, which is not this image.
    if (!platform::FindResource(name)) return;
    const QString image = ResourceLines.value(0);
    if (const QString problem = AlgorithmImageProblem(image); !problem.isEmpty()) {
        ConsolePrint(QStringLiteral("upload refused: ") + problem);
        platform::ShowMessage(QStringLiteral("The algorithm %1 cannot be uploaded: %2.")
                                  .arg(SelectedAlgorithmName, problem));
        return;
    }

    if (!StandInMayBeSent(image.toLatin1(),
                          QStringLiteral("This editor carries a stand-in in place of the algorithm "
                                         "%1: it is not a program for the pedal. Upload it "
                                         "anyway?")
                              .arg(SelectedAlgorithmName))) {
        ConsolePrint(QStringLiteral("upload refused: stand-in image"));
        return;
    }

    if (!link.Send(msg::PreUpload())) {
        SayIfThePedalAwaitsTheImage(*this);
        return;
    }
    // The pedal gets ready to take the image.
    platform::SleepMs(400);
    UploadCheckTimer->start();

    const int n = static_cast<int>(image.size() / 2);
    ConsolePrint(QStringLiteral("size: ") + QString::number(n));
    ConsolePrint(QStringLiteral("filecontent: ") + image);
    ConsolePrint(QStringLiteral("num of bytes: ") + QString::number(n));
    ConsolePrint(QStringLiteral("write to device"));
    lblStatus->setText(QStringLiteral("Uploading..."));

    // One write of the whole image (the pedal counts it against the length
    // in its header), then its one-line answer. The watchdog tells the user
    // after 5 s; an answer that comes a little later still replaces its text.
    Exchange upload;
    upload.what = QStringLiteral("the upload");
    upload.message = msg::AlgorithmImage(image);
    upload.answer = AnswerShape::TextLine(kUploadAnswerLength);
    upload.firstByteTimeoutMs = kUploadAnswerTimeoutMs;
    const ExchangeResult result = link.Run(upload);
    if (!result.whole()) {
        if (!result.problem.isEmpty())
            ConsolePrint(QStringLiteral("upload answer: ") + result.problem);
        SayIfThePedalAwaitsTheImage(*this);
        return;
    }
    ConsolePrint(QStringLiteral("received: ") + UploadAnswerText(result.answer));
    if (!IsText(result.answer)) {
        ConsolePrint(QStringLiteral("upload answer not understood: ") + BytesToHex(result.answer));
        return;
    }
    lblStatus->setText(UploadAnswerText(result.answer));
    answered = true;
}

void TformMain::UploadCheckTimerTimer() {
    lblStatus->setText(kUploadFailed);
}

void TformMain::btnOpenEffectClick() {
    if (!PedalLink::Instance().Send(msg::OpenEffect(), true)) return;
    btnOpenEffect->setEnabled(false);
    platform::SleepMs(100);
    btnOpenEffect->setEnabled(true);

    // The editor carries no effect list, so this normally ends here with the
    // missing resource's error.
    LoadResourceLines(QStringLiteral("effect_list"));
    const QString name = RunningAlgorithmName(ResourceLines, EffectNumber);
    ConsolePrint(QStringLiteral("effetto ottenuto dalla lista: ") + name);
    SelectedAlgorithmName = name;
    btnRequest->setEnabled(true);
    btnRequest->setFocus();

    // The catalogue is listed again whether or not it holds the name: an
    // empty list could not be refilled before the next start.
    LoadResourceLines(QStringLiteral("octave"));
    lstEffects->clear();
    lstEffects->addItems(ResourceLines);
    const QList<QListWidgetItem*> found = lstEffects->findItems(name, Qt::MatchExactly);
    if (!found.isEmpty()) lstEffects->setCurrentItem(found.first());
}
