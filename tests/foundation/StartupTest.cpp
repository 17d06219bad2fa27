#include <QAction>
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

#include "app/EditorApp.h"
#include "app/TformMain.h"
#include "app/TformPrint.h"
#include "device/D2XXUnit.h"
#include "effects/TformFXsettings.h"
#include "effects/TformNoteTrackingFilter.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "library/tformFXInfo.h"
#include "platform/Files.h"
#include "platform/Network.h"
#include "tests/support/EditorFixture.h"
#include "tests/support/ProcessState.h"

namespace {

struct ListingCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> devices;  // serial, description
    QString label;
    QString serialMenu;
    QString selectedSerial;
};

class StartupListing : public EditorFixture, public ::testing::WithParamInterface<ListingCase> {};

TEST_P(StartupListing, FillsLabelSerialMenuAndSelection) {
    const ListingCase& c = GetParam();
    for (const auto& [serial, description] : c.devices) AddPedal(serial, description);
    StartEditor();
    EXPECT_EQ(formMain->lblDeviceName->text(), c.label);
    EXPECT_EQ(formMain->menuSerialNumber->text(), c.serialMenu);
    EXPECT_EQ(DeviceSerialNumber, c.selectedSerial);
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Devices, StartupListing,
    ::testing::Values(ListingCase{"NoDevice", {}, "No device found", "Serial Number: ", ""},
                      ListingCase{"PedalBridge",
                                  {{"QM0001", "FT230X Basic UART"}},
                                  "Quendle MK3",
                                  "Serial Number: QM0001",
                                  "QM0001"},
                      ListingCase{"OtherBridge",
                                  {{"QM0001", "USB <-> Serial"}},
                                  "USB <-> Serial",
                                  "Serial Number: QM0001",
                                  "QM0001"},
                      // Two bridges: the serial numbers run together, the second one is kept.
                      ListingCase{"TwoBridges",
                                  {{"AAA1", "FT230X Basic UART"}, {"BBB2", "Other Bridge"}},
                                  "Other Bridge",
                                  "Serial Number: AAA1BBB2",
                                  "BBB2"},
                      // The product name only for the exact description.
                      ListingCase{"DescriptionCaseMatters",
                                  {{"QM0001", "ft230x basic uart"}},
                                  "ft230x basic uart",
                                  "Serial Number: QM0001",
                                  "QM0001"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditorFixture, WindowsAreCreatedWithTheirCaptionsAndOnlyTheMainWindowShows) {
    StartEditor();
    struct Expected {
        QWidget* window;
        const char* name;
        const char* caption;
        QSize client;
    };
    const Expected windows[] = {
        {formFirmwareUpgrade, "formFirmwareUpgrade", "Firmware Upgrade", {196, 141}},
        {formPrint, "formPrint", "Debug Console", {507, 652}},
        {formFXInfo, "formFXInfo", "Form1", {335, 480}},
        {formFXsettings, "formFXsettings", "Form1", {333, 621}},
        {formNoteTrackingFilter, "formNoteTrackingFilter", "Note Cut", {222, 115}},
    };
    for (const auto& w : windows) {
        ASSERT_NE(w.window, nullptr) << w.name;
        EXPECT_EQ(w.window->objectName(), QLatin1String(w.name));
        EXPECT_EQ(w.window->windowTitle(), QLatin1String(w.caption)) << w.name;
        EXPECT_EQ(w.window->size(), w.client) << w.name;
        EXPECT_FALSE(w.window->isVisible()) << w.name;
    }
    EXPECT_TRUE(formMain->isVisible());
    EXPECT_EQ(formMain->windowTitle(), QStringLiteral("Quendle Editor"));
    EXPECT_EQ(formMain->centralWidget()->size(), QSize(354, 244));
    // Fixed size: no resizing, no maximising.
    EXPECT_EQ(formMain->minimumSize(), formMain->maximumSize());
    EXPECT_FALSE(formMain->windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(EditorFixture, MainWindowStartsWithItsCaptionsAndDisabledDeviceButtons) {
    // A build with the maker's site (the update check's caption is then
    // waiting for its answer).
    {
        const ScopedEnvironment site("QUENDLE_MAKER_SITE", "https://maker.example");
        StartEditor();
    }
    for (QPushButton* b : {formMain->btnRequest, formMain->btnAssign, formMain->btnSaveParameters,
                           formMain->btnUpload, formMain->btnOpenEffect,
                           formMain->btnSetFootswitchMode, formMain->btnSetTuning})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_EQ(formMain->btnUpload->text(), "Upload Selected");
    EXPECT_EQ(formMain->lblStatus->text(), "Status: ");
    EXPECT_EQ(formMain->lblFirmwareVersion->text(), "Firmware Version: ");
    EXPECT_FALSE(formMain->btnGetFXInfo->isVisible());
    EXPECT_FALSE(formMain->btnGetFXInfo->isEnabled());
    EXPECT_FALSE(formMain->btnOpenEffect->isVisible());
    EXPECT_FALSE(formMain->chkFirmwareUpgradeMode->isVisible());
    EXPECT_FALSE(formMain->menuLoadPreset->isEnabled());
    EXPECT_FALSE(formMain->menuSavePreset->isEnabled());
    EXPECT_FALSE(formMain->menuLoadIR->isVisible());
    EXPECT_FALSE(formMain->menuDisconnect->isEnabled());
    EXPECT_FALSE(formMain->menuStartFirmwareUpgrade->isEnabled());
    EXPECT_FALSE(formMain->menuEnableAllParameters->isVisible());
    EXPECT_EQ(formMain->menuNewAppVersion->text(), "New version available:");
    // The version from the build: two spaces after the colon.
    EXPECT_EQ(CurrentVersion,
              QStringLiteral("%1.%2").arg(QUENDLE_VERSION_MAJOR).arg(QUENDLE_VERSION_MINOR));
    EXPECT_EQ(formMain->menuAppVersion->text(),
              QStringLiteral("Editor Version:  ") + CurrentVersion);
    EXPECT_EQ(BaudRate, 115200u);
    EXPECT_EQ(WordLength, 8);
    EXPECT_EQ(StopBits, 0);
    EXPECT_EQ(Parity, 0);
}

TEST_F(EditorFixture, StartCreatesTheUserFolders) {
    StartEditor();
    EXPECT_TRUE(QFileInfo(documents.filePath("VORKEL")).isDir());
    EXPECT_TRUE(QFileInfo(documents.filePath("VORKEL/Quendle MK3")).isDir());
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(EditorFixture, FolderThatCannotBeCreatedIsReportedAndStartGoesOn) {
    // A plain file where the maker folder should be blocks both folders.
    QFile blocker(documents.filePath("VORKEL"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    StartEditor();
    ASSERT_EQ(dialogs->messages.size(), 2);
    EXPECT_TRUE(dialogs->messages[0].startsWith("Error creating folder: "));
    EXPECT_TRUE(dialogs->messages[1].startsWith("Error creating subfolder: "));
    EXPECT_GT(dialogs->messages[0].size(), QString("Error creating folder: ").size());
    EXPECT_TRUE(formMain->isVisible());
    EXPECT_TRUE(QFileInfo(documents.filePath("VORKEL")).isFile());
}

class RecordingNetwork : public platform::Network {
public:
    platform::HttpResponse Get(const QUrl& url, int) override {
        gets << url;
        return {};
    }
    void OpenUrl(const QUrl& url) override { opened << url; }
    QList<QUrl> gets, opened;
};

TEST_F(EditorFixture, SupportOpensTheContactPage) {
    auto network = std::make_unique<RecordingNetwork>();
    RecordingNetwork* recorder = network.get();
    platform::InstallNetwork(std::move(network));
    const ScopedEnvironment site("QUENDLE_MAKER_SITE", "https://maker.example");
    StartEditor();
    ASSERT_TRUE(formMain->menuSupport->isEnabled());
    formMain->menuSupport->trigger();
    ASSERT_EQ(recorder->opened.size(), 1);
    EXPECT_EQ(recorder->opened[0], QUrl(QStringLiteral("https://maker.example/contact-us/")));
}

}  // namespace

namespace {

// The icon drawn at build time from the SVG: 128 x 128, a drawing (opaque
// in the middle, see-through in the corner).
TEST(WindowIcon, IsTheDrawnIconAt128Pixels) {
    SetWindowIcon();
    const QIcon icon = QApplication::windowIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_TRUE(icon.availableSizes().contains(QSize(128, 128)));
    const QImage image = icon.pixmap(QSize(128, 128)).toImage();
    EXPECT_EQ(qAlpha(image.pixel(64, 64)), 255);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
}

TEST(EditorOptions, SimulatedPedalAndPortsAreRead) {
    const EditorOptions none = ParseEditorOptions({"quendle-editor"});
    EXPECT_FALSE(none.simulatedPedal);
    EXPECT_TRUE(none.ports.isEmpty());
    EXPECT_FALSE(none.quitWhenIdle);
    const EditorOptions all =
        ParseEditorOptions({"quendle-editor", "--simulated-pedal", "--port", "/dev/pts/4",
                            "--port=/dev/ttyUSB1", "--quit-when-idle"});
    EXPECT_TRUE(all.simulatedPedal);
    EXPECT_EQ(all.ports, (QStringList{"/dev/pts/4", "/dev/ttyUSB1"}));
    EXPECT_TRUE(all.quitWhenIdle);
}

TEST_F(EditorFixture, SimulatedPedalIsListedAsThePedal) {
    InstallDriverFor(ParseEditorOptions({"quendle-editor", "--simulated-pedal"}));
    StartEditor();
    EXPECT_EQ(formMain->lblDeviceName->text(), "Quendle MK3");
    EXPECT_EQ(formMain->menuSerialNumber->text(), "Serial Number: QMK3SIM1");
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

}  // namespace

namespace {

// The simulated pedal can be taken into its bootloader, so the firmware
// upgrade can be tried without hardware.
TEST_F(EditorFixture, SimulatedPedalReachesItsBootloaderInUpgradeMode) {
    InstallDriverFor(ParseEditorOptions({"quendle-editor", "--simulated-pedal"}));
    StartEditor();
    formMain->menuFirmwareUpgradeMode->trigger();
    formMain->menuConnect->trigger();
    EXPECT_EQ(dialogs->messages,
              QStringList{"Connection to bootloader succeeded, ready for firmware upgrade"});
    EXPECT_TRUE(formMain->menuStartFirmwareUpgrade->isEnabled());
}

}  // namespace
