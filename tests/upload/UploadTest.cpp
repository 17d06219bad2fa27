// The algorithm upload against the virtual pedal: the image in one write,
// the answer in the status label, the watchdog, and images that must not go.

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <optional>

#include "device/Communication.h"
#include "device/Connection.h"
#include "device/PedalLink.h"
#include "effects/TformFXsettings.h"
#include "library/Catalogue.h"
#include "tests/upload/UploadSupport.h"

namespace {

const sim::Bytes kPreUpload = HexBytes("0D 00");

sim::Bytes Text(const char* text) {
    return sim::Bytes(text, text + std::char_traits<char>::length(text));
}

TEST_F(UploadFixture, SendsTheImageInOneWriteAndShowsThePedalsAnswer) {
    AddPedal();
    StartWithAlgorithm();

    // No sends nothing.
    dialogs->answers.push_back(platform::Answer::No);
    Click(formMain->btnUpload);
    EXPECT_EQ(dialogs->questions, QStringList{"Upload the selected algorithm?"});
    EXPECT_TRUE(Pedal().Messages().empty());
    EXPECT_EQ(formMain->lblStatus->text(), "Status: ");

    QStringList shown;
    DuringWaits([&, record = StatusRecorder(shown)] {
        record();
        return true;
    });
    Pedal().DelayNextReply(50);
    Click(formMain->btnUpload);
    EXPECT_TRUE(formMain->btnRequest->isEnabled());
    ASSERT_FALSE(shown.isEmpty());

    const sim::Bytes image = BuiltInImage();
    ASSERT_EQ(image.size(), 4640u);
    EXPECT_EQ(Pedal().Messages(), (std::vector<sim::Bytes>{kPreUpload, image}));
    EXPECT_EQ(Pedal().LastUpload(), image);
    EXPECT_EQ(Pedal().UploadCount(), 1u);
    EXPECT_EQ(shown.front(), "Uploading...");
    EXPECT_EQ(formMain->lblStatus->text(), "Upload complete");
    EXPECT_FALSE(formMain->UploadCheckTimer->isActive());
    EXPECT_EQ(clock->sleepLog.front(), 400);
    const QString hex = QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<int>(image.size()))
            .toHex()
            .toUpper());
    EXPECT_EQ(NewConsoleLines(),
              (QStringList{"resource name: Quendle_MK3_0008", "size: 4640", "filecontent: " + hex,
                           "num of bytes: 4640", "write to device", "received: Upload complete"}));
    EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->messages.join('|').toStdString();
}

// No answer: the watchdog says so every time it expires, a second Upload
// is refused with a status line meanwhile, and when the wait ends (the user
// disconnects) the watchdog stops and the failure stays shown.
TEST_F(UploadFixture, WatchdogReportsAMissingAnswerUntilTheWaitEnds) {
    AddPedal().SetSilent(true);
    StartWithAlgorithm();
    EXPECT_EQ(formMain->UploadCheckTimer->interval(), 5000);
    // Expiries come quickly here, so that the test sees several.
    formMain->UploadCheckTimer->setInterval(20);

    int expiries = 0;
    QString refusal;
    DuringWaits([&] {
        if (formMain->lblStatus->text() != "Upload Failed") return true;
        if (++expiries == 1) {
            Click(formMain->btnUpload);
            refusal = formMain->lblStatus->text();
            formMain->lblStatus->setText("Uploading...");  // to see the next expiry
            return true;
        }
        EXPECT_TRUE(formMain->UploadCheckTimer->isActive());
        formMain->menuDisconnect->trigger();
        return false;
    });
    Click(formMain->btnUpload);

    EXPECT_EQ(expiries, 2);
    EXPECT_EQ(refusal, "Waiting for the pedal's answer to the upload; try again in a moment.");
    EXPECT_EQ(Pedal().Messages(), (std::vector<sim::Bytes>{kPreUpload, BuiltInImage()}));
    EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->messages.join('|').toStdString();
    EXPECT_EQ(dialogs->questions.size(), 1);
    EXPECT_EQ(formMain->lblStatus->text(), "Upload Failed");
    EXPECT_FALSE(formMain->UploadCheckTimer->isActive());
    // Disconnected meanwhile: Request is not enabled again.
    EXPECT_FALSE(formMain->btnRequest->isEnabled());
}

TEST_F(UploadFixture, LateAnswerReplacesTheWatchdogsVerdict) {
    sim::VirtualPedal& pedal = AddPedal();
    StartWithAlgorithm();
    formMain->UploadCheckTimer->setInterval(50);
    pedal.DelayNextReply(300);

    QStringList shown;
    DuringWaits([&, record = StatusRecorder(shown)] {
        record();
        return true;
    });
    Click(formMain->btnUpload);

    EXPECT_EQ(shown, (QStringList{"Uploading...", "Upload Failed"}));
    EXPECT_EQ(formMain->lblStatus->text(), "Upload complete");
    EXPECT_FALSE(formMain->UploadCheckTimer->isActive());
    EXPECT_EQ(pedal.UploadCount(), 1u);
}

// An answer that does not come, or is not the pedal's text, ends the upload
// as failed; its bytes go to the console only, and the next Request works.
TEST_F(UploadFixture, SilentOrGarbledAnswerEndsAsFailed) {
    sim::VirtualPedal& pedal = AddPedal();
    StartWithAlgorithm();
    PedalLink::TimeoutCapMs() = 200;
    const struct {
        std::function<void()> fault;
        QString line;
    } cases[] = {
        {[&] { pedal.SwallowNextReply(); }, "upload answer: The pedal did not answer."},
        {[&] {
             pedal.ReplaceNextReply({0x01, 0xFE, 'x', '\r', '\n'});
         },
         "upload answer not understood: 01FE780D0A"},
        {[&] { pedal.ReplaceNextReply(sim::Bytes(40, 'U')); },
         "upload answer: The pedal's answer was longer than any answer to the upload can be; it "
         "was not used."},
    };
    for (const auto& c : cases) {
        c.fault();
        NewConsoleLines();
        Click(formMain->btnUpload);
        EXPECT_EQ(formMain->lblStatus->text(), "Upload Failed");
        EXPECT_TRUE(NewConsoleLines().contains(c.line)) << c.line.toStdString();
        EXPECT_TRUE(dialogs->messages.isEmpty());
        EXPECT_FALSE(formMain->UploadCheckTimer->isActive());
    }
    pedal.ClearMessages();
    ClickRequest();
    EXPECT_EQ(formMain->lblFirmwareVersion->text(), "Firmware Version: 03");
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(UploadFixture, AnswerInTwoReadsIsShownWhole) {
    AddPedal().SplitNextReplyAfter(7);
    StartWithAlgorithm();
    Click(formMain->btnUpload);

    EXPECT_EQ(formMain->lblStatus->text(), "Upload complete");
    const QStringList lines = NewConsoleLines();
    EXPECT_EQ(lines.back(), "received: Upload complete");
    EXPECT_FALSE(Pedal().HasUndelivered());
    EXPECT_EQ(Pedal().Pending(), 0u);
    EXPECT_FALSE(formMain->UploadCheckTimer->isActive());
}

TEST_F(UploadFixture, ShortAnswerIsShownWithoutWhatAnEarlierReadLeft) {
    AddPedal();
    StartWithAlgorithm();
    ClickRequest();  // the receive buffer now holds the long settings reply
    Pedal().ReplaceNextReply(Text("OK\r\n"));

    Click(formMain->btnUpload);
    EXPECT_EQ(formMain->lblStatus->text(), "OK");
    EXPECT_EQ(NewConsoleLines().back(), "received: OK");
}

// The upload's exchange first lets the pedal fall quiet after an answer the
// editor gave up on; the pre-upload message has gone by then, so a click in
// that wait finds a pedal awaiting its image, which takes no settings. Once
// the image has gone and been answered, the settings commands are on again.
TEST_F(UploadFixture, AClickBeforeTheImageWentOutLeavesNoSettingsCommandOff) {
    sim::VirtualPedal& pedal = AddPedal();
    StartWithAlgorithm();
    PedalLink::TimeoutCapMs() = 200;
    pedal.SwallowNextReply();
    ClickRequest();
    dialogs->messages.clear();
    pedal.ClearMessages();
    ASSERT_TRUE(PedalTakesSettings());
    ASSERT_TRUE(formMain->menuLoadPreset->isEnabled());

    bool clicked = false;
    DuringWaits([&] {
        if (!PedalLink::Instance().AwaitsImage()) return true;
        clicked = true;
        ClickRequest();
        return false;
    });
    Click(formMain->btnUpload);

    ASSERT_TRUE(clicked);
    EXPECT_EQ(formMain->lblStatus->text(), "Upload complete");
    EXPECT_EQ(pedal.Messages(), (std::vector<sim::Bytes>{kPreUpload, BuiltInImage()}));
    EXPECT_TRUE(PedalTakesSettings());
    EXPECT_TRUE(formMain->menuLoadPreset->isEnabled());
    EXPECT_TRUE(formMain->menuRestorePedal->isEnabled());
    TformFXsettings* w = formFXsettings.built();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->dialInputLevel->isEnabled());
}

struct RefusedCase {
    const char* name;
    const char* algorithm;
    std::optional<QByteArray> image;  // registered as the algorithm's resource
    std::function<void(UploadFixture&)> setUp;
    QString message;
};

std::ostream& operator<<(std::ostream& os, const RefusedCase& c) {
    return os << c.name;
}

class RefusedUpload : public UploadFixture, public ::testing::WithParamInterface<RefusedCase> {
public:
    sim::VirtualPedalDriver& Driver() { return *driver; }
};

TEST_P(RefusedUpload, SendsNothingAndLeavesThePedalReadyForOtherRequests) {
    const RefusedCase& c = GetParam();
    const QString algorithm = QString::fromLatin1(c.algorithm);
    if (c.image) platform::RegisterResource(QString(algorithm).replace(' ', '_'), *c.image);
    AddPedal();
    StartWithAlgorithm();
    SelectedAlgorithmName = algorithm;
    if (c.setUp) c.setUp(*this);

    Click(formMain->btnUpload);

    EXPECT_EQ(dialogs->messages, QStringList{c.message});
    EXPECT_TRUE(Pedal().Messages().empty());
    EXPECT_FALSE(Pedal().UploadInProgress());
    EXPECT_EQ(formMain->lblStatus->text(), "Upload Failed");
    EXPECT_FALSE(formMain->UploadCheckTimer->isActive());

    // The pedal was never told an image follows, so it answers a Request.
    ClickRequest();
    EXPECT_EQ(Pedal().Messages(), std::vector<sim::Bytes>{HexBytes("02 00")});
    EXPECT_EQ(formMain->lblFirmwareVersion->text(), "Firmware Version: 03");
}

INSTANTIATE_TEST_SUITE_P(
    Images, RefusedUpload,
    ::testing::Values(
        RefusedCase{"NoAlgorithmChosen", "", std::nullopt, {}, "Resource  not found"},
        RefusedCase{"Empty",
                    "Empty Image",
                    QByteArray(),
                    {},
                    "The algorithm Empty Image cannot be uploaded: the image is empty."},
        RefusedCase{"OddDigits",
                    "Odd Digits",
                    QByteArray("0012205\r\n"),
                    {},
                    "The algorithm Odd Digits cannot be uploaded: the image has an odd number of "
                    "hexadecimal digits (7), so its last byte is incomplete."},
        RefusedCase{"NotHex",
                    "Not Hex",
                    QByteArray("00122G00"),
                    {},
                    "The algorithm Not Hex cannot be uploaded: character 6 of the image ('G') is "
                    "not a hexadecimal digit."},
        RefusedCase{"TooLarge",
                    "Too Large",
                    QByteArray(2 * 65537, '0'),
                    {},
                    "The algorithm Too Large cannot be uploaded: the image has 65537 bytes, more "
                    "than the 65536 the pedal link can send."},
        RefusedCase{
            "PreUploadNotWritten", "Quendle MK3 0008", std::nullopt,
            // A write the driver refuses without the device going away.
            [](UploadFixture& f) { static_cast<RefusedUpload&>(f).Driver().FailNext("Write", 10); },
            "FT_Write - Failed to write..."}),
    [](const auto& info) { return std::string(info.param.name); });

// A bridge that fails the image's write (the one long write of an upload):
// refused outright, or taking only its first bytes.
class ImageWriteFails : public sim::VirtualPedalDriver {
public:
    std::optional<std::uint32_t> takes;  // none: refused
    bool armed = true;

    ftd::FT_STATUS Write(ftd::FT_HANDLE handle, const void* buffer, std::uint32_t toWrite,
                         std::uint32_t& written) override {
        if (!armed || toWrite < 100)
            return VirtualPedalDriver::Write(handle, buffer, toWrite, written);
        armed = false;
        if (!takes) {
            written = 0;
            return ftd::FT_FAILED_TO_WRITE_DEVICE;
        }
        return VirtualPedalDriver::Write(handle, buffer, *takes, written);
    }
};

struct BrokenImageCase {
    const char* name;
    std::optional<std::uint32_t> takes;
    QStringList boxes;
};

std::ostream& operator<<(std::ostream& os, const BrokenImageCase& c) {
    return os << c.name;
}

class BrokenImageWrite : public UploadFixture,
                         public ::testing::WithParamInterface<BrokenImageCase> {};

const QString kStillWaiting = QStringLiteral(
    "The algorithm did not reach the pedal whole, and the pedal is still waiting for it: it would "
    "take any message as part of the algorithm. Switch the pedal off and on, then use Disconnect "
    "and Connect.");

// After the pre-upload message the pedal takes every byte as the image's
// until it has them all. When the image does not go out whole, nothing else
// may reach it (a Request, a knob or a second upload would become part of
// the algorithm it installs) until the player has switched it off and on and
// connected again.
TEST_P(BrokenImageWrite, NothingReachesThePedalUntilItIsSwitchedOffAndOnAndConnectedAgain) {
    auto* bridge = UseDriver<ImageWriteFails>();
    bridge->takes = GetParam().takes;
    AddPedal();
    StartWithAlgorithm();
    const sim::Bytes image = BuiltInImage();

    Click(formMain->btnUpload);

    EXPECT_EQ(dialogs->messages, GetParam().boxes);
    EXPECT_TRUE(Pedal().UploadInProgress());
    EXPECT_EQ(Pedal().UploadCount(), 0u);
    EXPECT_EQ(formMain->lblStatus->text(), "Upload Failed");
    EXPECT_FALSE(formMain->UploadCheckTimer->isActive());
    EXPECT_TRUE(PedalLink::Instance().AwaitsImage());
    for (QPushButton* b : {formMain->btnUpload, formMain->btnRequest, formMain->btnOpenEffect})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_FALSE(PedalTakesSettings());

    // What still can be asked for is refused by the link, and says why.
    const std::size_t written = Pedal().Messages().size();
    for (QAction* a : formMain->menuMIDIchannel->actions())
        if (a->text() == "5") a->trigger();
    EXPECT_EQ(formMain->lblStatus->text(),
              "The pedal still waits for the algorithm an upload announced and would take any "
              "message as part of it; nothing was sent. Switch the pedal off and on, then use "
              "Disconnect and Connect.");
    EXPECT_FALSE(PedalLink::Instance().WriteParameter(0x0010, 7));
    EXPECT_EQ(Pedal().Messages().size(), written);
    EXPECT_TRUE(Pedal().UploadInProgress());

    // Switched off and on, connected again: everything works as before.
    Pedal().PlugIn();
    formMain->menuDisconnect->trigger();
    ConnectThroughMenu();
    EXPECT_FALSE(PedalLink::Instance().AwaitsImage());
    Click(formMain->btnUpload);
    EXPECT_EQ(formMain->lblStatus->text(), "Upload complete");
    EXPECT_EQ(Pedal().LastUpload(), image);
    EXPECT_FALSE(PedalLink::Instance().AwaitsImage());
    ClickRequest();
    EXPECT_EQ(formMain->lblFirmwareVersion->text(), "Firmware Version: 03");
    EXPECT_TRUE(PedalTakesSettings());
}

INSTANTIATE_TEST_SUITE_P(
    Uploads, BrokenImageWrite,
    ::testing::Values(BrokenImageCase{"Refused", std::nullopt,
                                      QStringList{"FT_Write - Failed to write...", kStillWaiting}},
                      BrokenImageCase{"HalfTaken", 2320, QStringList{kStillWaiting}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
