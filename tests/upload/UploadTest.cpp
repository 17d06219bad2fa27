// The algorithm upload against the virtual pedal: the image in one write,
// the answer in the status label, the watchdog, and images that must not go.

#include <QPushButton>

#include "device/Communication.h"
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
    bool requestOffDuringWait = true;
    DuringWaits([&, record = StatusRecorder(shown)] {
        record();
        requestOffDuringWait = requestOffDuringWait && !formMain->btnRequest->isEnabled();
        return true;
    });
    Click(formMain->btnUpload);
    // A Request meanwhile would have taken the answer.
    EXPECT_TRUE(requestOffDuringWait);
    EXPECT_TRUE(formMain->btnRequest->isEnabled());

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
// does not start meanwhile, and when the wait ends (the user disconnects)
// the watchdog stops and the failure stays shown.
TEST_F(UploadFixture, WatchdogReportsAMissingAnswerUntilTheWaitEnds) {
    AddPedal().SetSilent(true);
    StartWithAlgorithm();
    EXPECT_EQ(formMain->UploadCheckTimer->interval(), 5000);
    // Expiries come quickly here, so that the test sees several.
    formMain->UploadCheckTimer->setInterval(20);

    int expiries = 0;
    DuringWaits([&] {
        if (formMain->lblStatus->text() != "Upload Failed") return true;
        if (++expiries == 1) {
            Click(formMain->btnUpload);
            formMain->lblStatus->setText("Uploading...");  // to see the next expiry
            return true;
        }
        EXPECT_TRUE(formMain->UploadCheckTimer->isActive());
        formMain->menuDisconnect->trigger();
        return false;
    });
    Click(formMain->btnUpload);

    EXPECT_EQ(expiries, 2);
    EXPECT_EQ(Pedal().Messages(), (std::vector<sim::Bytes>{kPreUpload, BuiltInImage()}));
    EXPECT_EQ(dialogs->messages,
              (QStringList{"An upload is still waiting for the pedal's answer. Disconnect ends "
                           "the wait.",
                           "FT_GetQueueStatus - Invalid handle..."}));
    EXPECT_EQ(formMain->lblStatus->text(), "Upload Failed");
    EXPECT_FALSE(formMain->UploadCheckTimer->isActive());
    // Disconnected meanwhile: Request is not enabled again.
    EXPECT_FALSE(formMain->btnRequest->isEnabled());
}

TEST_F(UploadFixture, LateAnswerReplacesTheWatchdogsVerdict) {
    std::int64_t now = 0;
    sim::VirtualPedal& pedal = AddPedal();
    pedal.SetClock([&now] { return now; });
    StartWithAlgorithm();
    pedal.DelayNextReply(6000);

    // Time passes on the pedal's clock, half a second per turn of the wait;
    // the watchdog expires on the same clock every 5 s while it runs.
    QStringList shown;
    std::int64_t started = -1;
    int expiries = 0;
    DuringWaits([&, record = StatusRecorder(shown)] {
        record();
        if (!formMain->UploadCheckTimer->isActive()) return started < 0;
        if (started < 0) started = now;
        now += 500;
        while ((now - started) / 5000 > expiries) {
            ++expiries;
            formMain->UploadCheckTimerTimer();
        }
        return true;
    });
    Click(formMain->btnUpload);

    EXPECT_EQ(shown, (QStringList{"Uploading...", "Upload Failed", "Upload complete"}));
    EXPECT_EQ(expiries, 1);
    EXPECT_FALSE(formMain->UploadCheckTimer->isActive());
    EXPECT_EQ(pedal.UploadCount(), 1u);
}

TEST_F(UploadFixture, AnswerInTwoReadsIsShownWhole) {
    AddPedal().SplitNextReplyAfter(7);
    StartWithAlgorithm();
    Click(formMain->btnUpload);

    EXPECT_EQ(formMain->lblStatus->text(), "Upload complete");
    const QStringList lines = NewConsoleLines();
    EXPECT_EQ(lines.mid(lines.size() - 2),
              (QStringList{"received: Upload ", "received: complete"}));
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
            [](UploadFixture& f) { static_cast<RefusedUpload&>(f).Driver().FailNext("Write", 4); },
            "FT_Write - General IO error..."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
