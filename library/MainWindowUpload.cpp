// The main window's algorithm upload with its watchdog, and the hidden Open
// FX button.
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "device/D2XXUnit.h"
#include "device/StandIn.h"
#include "library/Catalogue.h"
#include "library/Upload.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Resources.h"
#include "platform/Time.h"

namespace {

// Set while an upload runs; the wait for the pedal's answer runs other
// handlers, a second click of Upload among them.
bool g_uploadRunning = false;

const QString kUploadFailed = QStringLiteral("Upload Failed");

// Sends hex text and tells whether the driver took all of it (a failure has
// been shown to the user already).
bool SendWhole(const QString& text, int bytes) {
    HexTextToOutBuffer(text, bytes);
    return WriteFTDevice(static_cast<std::uint32_t>(bytes)) == static_cast<std::uint32_t>(bytes);
}

}  // namespace

void TformMain::btnUploadClick() {
    ExclusiveRun run(g_uploadRunning);
    if (!run.acquired()) {
        platform::ShowMessage(
            QStringLiteral("An upload is still waiting for the pedal's answer. Disconnect ends "
                           "the wait."));
        return;
    }
    if (platform::Ask(QStringLiteral("Upload the selected algorithm?")) == platform::Answer::No)
        return;

    // However the upload ends without an answer (a missing or bad image, a
    // driver error, a wait ended by Disconnect), the watchdog stops and the
    // status says it failed; an error thrown on the way is reported after.
    bool answered = false;
    const auto finish = qScopeGuard([&] {
        UploadCheckTimer->stop();
        if (!answered) lblStatus->setText(kUploadFailed);
    });

    // A Request meanwhile would take the pedal's answer to the upload as its
    // reply. Enabled again afterwards only while the link is still up.
    const bool requestWasEnabled = btnRequest->isEnabled();
    btnRequest->setEnabled(false);
    const auto enableRequest = qScopeGuard(
        [&] { btnRequest->setEnabled(requestWasEnabled && menuDisconnect->isEnabled()); });

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

    if (!SendWhole(QStringLiteral("0D00"), 2)) return;
    // The pedal gets ready to take the image.
    platform::SleepMs(400);
    UploadCheckTimer->start();

    const int n = static_cast<int>(image.size() / 2);
    ConsolePrint(QStringLiteral("size: ") + QString::number(n));
    ConsolePrint(QStringLiteral("filecontent: ") + image);
    const int converted = HexTextToOutBuffer(image, n);
    ConsolePrint(QStringLiteral("num of bytes: ") + QString::number(converted));
    // One write of the whole image: the pedal counts it against the length
    // in its header.
    const std::uint32_t written = WriteFTDevice(static_cast<std::uint32_t>(n));
    ConsolePrint(QStringLiteral("write to device"));
    if (written != static_cast<std::uint32_t>(n)) return;
    lblStatus->setText(QStringLiteral("Uploading..."));

    // No time limit: the watchdog tells the user after 5 s, and a late
    // answer still replaces its text. Disconnect, unplugging or quitting end
    // the wait.
    if (!WaitForReply()) return;

    QByteArray answer;
    std::uint32_t count = 0;
    do {
        QCoreApplication::processEvents();
        count = ReadFTDevice();
        if (count == 0) break;
        const QByteArray piece(reinterpret_cast<const char*>(InBuffer.data()),
                               static_cast<int>(count));
        answer.append(piece);
        ConsolePrint(QStringLiteral("received: ") + UploadAnswerText(piece));
        // Only what this upload received: never bytes an earlier read left
        // in the buffer.
        lblStatus->setText(UploadAnswerText(answer));
        // The rest of an answer that came in pieces has time to arrive, so it
        // is not left for the next request to read.
        platform::SleepMs(10);
    } while (!PedalWaitsCancelled());
    answered = !answer.isEmpty();
}

void TformMain::UploadCheckTimerTimer() {
    lblStatus->setText(kUploadFailed);
}

void TformMain::btnOpenEffectClick() {
    OutBuffer[0] = 0x05;
    OutBuffer[1] = 0x00;
    PurgeFTTransmit();
    WriteFTDevice(2);
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
