#include "tests/support/ProcessState.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLocale>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <utility>
#include <vector>

#include "app/ConsoleTools.h"
#include "app/TformMain.h"
#include "app/TformPrint.h"
#include "app/UpdateCheck.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "device/SerialPortDriver.h"
#include "effects/ControlAssignments.h"
#include "effects/EditHistory.h"
#include "effects/ParameterModel.h"
#include "effects/PedalModel.h"
#include "effects/StoredSettings.h"
#include "effects/TformFXsettings.h"
#include "effects/TformNoteTrackingFilter.h"
#include "firmware/Bootloader.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "library/Catalogue.h"
#include "library/ImpulseResponse.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Network.h"
#include "platform/Resources.h"
#include "platform/Time.h"

namespace {

// Names of registered resources, as ResourceNames() lists them after the
// built-in ones.
QStringList RegisteredResourceNames() {
    QStringList names = platform::ResourceNames();
    for (const QString& builtIn : QDir(QStringLiteral(":/quendle")).entryList(QDir::Files))
        names.removeOne(builtIn);
    return names;
}

}  // namespace

struct ProcessStateGuard::Saved {
    // Copies a global's value now; Restore() writes it back.
    template <class T>
    void Keep(T& global) {
        restorers.push_back([&global, value = global] { global = value; });
    }
    void Restore() const {
        for (const auto& restore : restorers) restore();
    }
    std::vector<std::function<void()>> restorers;
    // Resources registered when the guard was made, with their bytes.
    std::vector<std::pair<QString, QByteArray>> resources;
    // The look and font the application had (the windows set both at start).
    QString styleSheet;
    QFont font;
    // The locale numbers are written in (a case may fix it to C).
    QLocale locale;
};

ProcessStateGuard::ProcessStateGuard() : saved_(std::make_unique<Saved>()) {
    Saved& s = *saved_;
    // The editor's flags and tables, module by module.
    s.Keep(EepromEndAddress);
    s.Keep(NoteSemitoneOffset);
    s.Keep(VersionRequestUrl);
    s.Keep(CurrentVersion);
    s.Keep(PublishedVersion);
    s.Keep(VersionRequestTimeoutMs);
    s.Keep(VersionCheckPending);
    s.Keep(AutoScroll);
    s.Keep(IrImageText);
    s.Keep(SelectedAlgorithmName);
    s.Keep(ResourceLines);
    s.Keep(FirmwareResourceName);
    s.Keep(FirmwareVersionNumber);
    s.Keep(FirmwareUpgradeRunning);
    s.Keep(FirmwareSize);
    s.Keep(FirmwareHexText);
    s.Keep(FirmwareBlockCount);
    s.Keep(LastBlockBytes);
    s.Keep(FirmwareBlockTexts);
    s.Keep(FirmwareBlockData);
    s.Keep(BootloaderAddress);
    s.Keep(BootloaderReplyTimeoutMs);
    s.Keep(BootloaderEraseTimeoutMs);
    s.Keep(BootloaderMidCommand);
    s.Keep(BootloaderResyncWaitMs);
    s.Keep(FirmwareUpgradeMode);
    s.Keep(ReplyValues);
    s.Keep(EepromReadActive);
    s.Keep(EepromStartAddress);
    s.Keep(DeviceHandle);
    s.Keep(DeviceCount);
    s.Keep(DeviceListText);
    s.Keep(QueueBytes);
    s.Keep(InBuffer);
    s.Keep(OutBuffer);
    s.Keep(BaudRate);
    s.Keep(WordLength);
    s.Keep(StopBits);
    s.Keep(Parity);
    s.Keep(DeviceSerialNumber);
    s.Keep(DeviceDescription);
    s.Keep(DeviceConnected);
    s.Keep(BootloaderConnected);
    s.Keep(ReadBackActive);
    s.Keep(FirmwareVersion);
    s.Keep(AlgorithmVersion);
    s.Keep(EffectNumber);
    s.Keep(FootswitchMode);
    s.Keep(ReadBackValues);
    s.Keep(NoteCutCount);
    s.Keep(NoteCutByte1);
    s.Keep(NoteCutByte2);
    s.Keep(AllParametersEnabled);
    s.Keep(ControlAssigned);
    s.Keep(CurrentTuning);
    s.Keep(PedalLink::TimeoutCapMs());
    for (const QString& name : RegisteredResourceNames())
        s.resources.emplace_back(name, *platform::FindResource(name));
    if (qApp) s.styleSheet = qApp->styleSheet();
    s.font = QApplication::font();
}

ProcessStateGuard::~ProcessStateGuard() {
    saved_->Restore();

    // Unregistering a built-in name touches only registrations, so this
    // leaves the built-in resources and no registered one.
    for (const QString& name : platform::ResourceNames()) platform::UnregisterResource(name);
    for (const auto& [name, bytes] : saved_->resources) platform::RegisterResource(name, bytes);

    // Lines logged after the windows went (no sink) would otherwise greet the
    // next case's console.
    platform::SetConsoleSink([](const QString&, platform::Scroll) {});
    platform::SetConsoleSink(nullptr);

    // The link, the settings picture and the undo steps are singletons that
    // outlive the windows.
    PedalLink::Instance().Reset();
    // A case that closed the main window cancelled every wait for good.
    ResumePedalWaits();
    Model().Reset();
    // A fresh parameter model: placeholder addresses and no table read, so
    // no write goes out before a case reads one.
    if (ParameterModelBuilt()) BuildParameterModel();
    EditHistory::Instance().Clear();
    EditHistory::Instance().SetLive(false);

    if (qApp) qApp->setStyleSheet(saved_->styleSheet);
    QApplication::setFont(saved_->font);
    QLocale::setDefault(saved_->locale);

    // A case that closed the main window leaves a quit behind (Qt posts one
    // when the last window goes). Used up outside the application's loop, it
    // marks the thread as quitting, and from then on every QEventLoop::exec()
    // (the link's waits) returns at once without running timers. Running the
    // application's loop once uses up such a quit and clears the mark; the
    // timer that ends it goes with it, so no stray quit is left for later.
    if (QCoreApplication::instance()) {
        QTimer end;
        end.setSingleShot(true);
        QObject::connect(&end, &QTimer::timeout, QCoreApplication::instance(),
                         [] { QCoreApplication::exit(0); });
        end.start(0);
        QCoreApplication::exec();
    }

    // The seams as the program starts with them: a fixture installs its own
    // and must not leave them to a case that does not.
    ftd::InstallDriver(std::make_unique<SerialPortDriver>());
    platform::InstallClock(platform::MakeRealClock());
    platform::InstallRecordingDialogs();
    platform::InstallNetwork(platform::MakeQtNetwork());
}

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value)
    : name_(name), previous_(qgetenv(name)), wasSet_(qEnvironmentVariableIsSet(name)) {
    if (value)
        qputenv(name, value);
    else
        qunsetenv(name);
}

ScopedEnvironment::~ScopedEnvironment() {
    if (wasSet_)
        qputenv(name_.constData(), previous_);
    else
        qunsetenv(name_.constData());
}
