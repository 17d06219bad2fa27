#include "tests/support/EditorFixture.h"

#include "device/PedalLink.h"
#include "firmware/Bootloader.h"

#include <QCoreApplication>

#include "app/EditorApp.h"
#include "app/TformMain.h"
#include "app/TformPrint.h"
#include "platform/Files.h"

void EditorFixture::SetUp() {
    ASSERT_TRUE(documents.isValid());
    platform::SetDocumentsFolder(documents.path());
    dialogs = &platform::InstallRecordingDialogs();
    clock = &platform::InstallCountingClock();
    UseDriver<sim::VirtualPedalDriver>();
    PedalLink::Instance().Reset();
    // A run starts knowing of no bootloader left half-way through a command;
    // an earlier test's fault must not make this one's Connect mend it.
    BootloaderMidCommand = false;
    auto offline = std::make_unique<OfflineNetwork>();
    network = offline.get();
    platform::InstallNetwork(std::move(offline));
}

platform::HttpResponse OfflineNetwork::Get(const QUrl& url, int) {
    gets << url;
    platform::HttpResponse response;
    response.completed = true;
    response.status = 200;
    response.statusText = QStringLiteral("OK");
    response.body = CurrentVersion.toUtf8();
    return response;
}

void EditorFixture::TearDown() {
    DestroyWindows();
    QCoreApplication::processEvents();
}

void EditorFixture::StartEditor() {
    CreateWindows(true);
}

sim::VirtualPedal& EditorFixture::AddPedal(const std::string& serial,
                                           const std::string& description) {
    return driver->AddDevice(serial, description);
}

QStringList EditorFixture::ConsoleLines() const {
    if (!formPrint) return {};
    const QString text = formPrint->Memo1->toPlainText();
    if (text.isEmpty() && formPrint->Memo1->blockCount() <= 1) return {};
    return text.split(QLatin1Char('\n'));
}

QStringList EditorFixture::NewConsoleLines() {
    const QStringList all = ConsoleLines();
    const QStringList fresh = all.mid(consoleMark_);
    consoleMark_ = static_cast<int>(all.size());
    return fresh;
}

sim::Bytes HexBytes(const char* text) {
    sim::Bytes bytes;
    const QByteArray compact = QByteArray(text).replace(' ', "");
    const QByteArray raw = QByteArray::fromHex(compact);
    bytes.assign(raw.begin(), raw.end());
    return bytes;
}
