#include "device/D2XXUnit.h"
#include "tests/support/EditorFixture.h"

namespace {

using Wrapper = EditorFixture;

TEST(FTErrorText, EveryStatusHasItsText) {
    const std::pair<ftd::FT_STATUS, const char*> cases[] = {
        {1, "FT_Write - Invalid handle..."},
        {2, "FT_Write - Device not found..."},
        {3, "FT_Write - Device not opened..."},
        {4, "FT_Write - General IO error..."},
        {5, "FT_Write - Insufficient resources..."},
        {6, "FT_Write - Invalid parameter..."},
        {7, "FT_Write - Invalid baud rate..."},
        {8, "FT_Write Device not opened for erase..."},
        {9, "FT_Write Device not opened for write..."},
        {10, "FT_Write - Failed to write..."},
        {11, "FT_Write - EEPROM read failed..."},
        {12, "FT_Write - EEPROM write failed..."},
        {13, "FT_Write - EEPROM erase failed..."},
        {14, "FT_Write - EEPROM not present..."},
        {15, "FT_Write - EEPROM not programmed..."},
        {16, "FT_Write - Invalid arguments..."},
        {17, "FT_Write - Other error ..."},
        // Newer drivers have more codes; the user still learns what failed.
        {18, "FT_Write - Unknown error (status 18)..."},
    };
    for (const auto& [status, text] : cases)
        EXPECT_EQ(FTErrorText("FT_Write", status), QString::fromLatin1(text)) << status;
}

TEST_F(Wrapper, WriteWithNoDeviceOpenIsReportedAndWritesNothing) {
    EXPECT_EQ(WriteFTDevice(3), 0u);
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_EQ(dialogs->messages[0], "FT_Write - Invalid handle...");
}

TEST_F(Wrapper, ReadsOverwriteOnlyTheStartOfTheBuffer) {
    sim::VirtualPedal& pedal = AddPedal("QM1");
    ASSERT_EQ(Open_USB_Device_By_Serial_Number("QM1"), ftd::FT_OK);
    EXPECT_EQ(ReadFTDevice(), 0u);  // nothing waiting: returns at once

    pedal.Send({10, 11, 12, 13, 14, 15, 16, 17, 18, 19});
    EXPECT_EQ(ReadFTDevice(), 10u);
    pedal.Send({1, 2, 3});
    EXPECT_EQ(ReadFTDevice(), 3u);
    const std::vector<std::uint8_t> start(InBuffer.begin(), InBuffer.begin() + 10);
    EXPECT_EQ(start, (std::vector<std::uint8_t>{1, 2, 3, 13, 14, 15, 16, 17, 18, 19}));
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(Wrapper, LongSerialNumbersReachTheDriverWhole) {
    const QString serial(300, QLatin1Char('S'));
    EXPECT_NE(Open_USB_Device_By_Serial_Number(serial), ftd::FT_OK);
    EXPECT_EQ(driver->LastOpenedSerial(), std::string(300, 'S'));
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_EQ(dialogs->messages[0], "Open_USB_Device_By_Serial_Number - Device not found...");
}

// A --port path is listed as its serial number; one longer than the vendor
// driver's 64 bytes comes back whole and opens.
TEST_F(Wrapper, LongListedSerialNumbersComeBackWholeAndOpen) {
    const std::string path = "/dev/serial/by-id/" + std::string(150, 'p');
    AddPedal(path);
    ASSERT_EQ(GetFTDeviceCount(), ftd::FT_OK);
    ASSERT_EQ(GetFTDeviceSerialNo(0), ftd::FT_OK);
    EXPECT_EQ(DeviceListText, QByteArray::fromStdString(path));
    EXPECT_EQ(Open_USB_Device_By_Serial_Number(QString::fromLocal8Bit(DeviceListText)), ftd::FT_OK);
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(Wrapper, ListingTextsOf64CharactersComeBackWhole) {
    const std::string description(64, 'D');
    AddPedal("QM1", description);
    ASSERT_EQ(GetFTDeviceCount(), ftd::FT_OK);
    EXPECT_EQ(DeviceCount, 1u);
    ASSERT_EQ(GetFTDeviceDescription(0), ftd::FT_OK);
    EXPECT_EQ(DeviceListText, QByteArray(64, 'D'));
}

TEST_F(Wrapper, FailedListingKeepsThePreviousTextAndIsReported) {
    AddPedal("QM1");
    ASSERT_EQ(GetFTDeviceSerialNo(0), ftd::FT_OK);
    driver->FailNext("List", ftd::FT_IO_ERROR);
    EXPECT_EQ(GetFTDeviceSerialNo(0), ftd::FT_IO_ERROR);
    EXPECT_EQ(DeviceListText, QByteArray("QM1"));
    EXPECT_EQ(dialogs->messages, QStringList{"GetFTDeviceSerialNo - General IO error..."});
}

}  // namespace

#include "device/SerialPortDriver.h"
#include "device/StandIn.h"
#include "platform/Resources.h"

namespace {

using StandIn = EditorFixture;

TEST_F(StandIn, GeneratedImagesAreRecognisedAndRealOnesAreNot) {
    EXPECT_TRUE(IsStandInImage(platform::ReadResource("FIRMWARE_4")));
    EXPECT_TRUE(IsStandInImage(platform::ReadResource("QUENDLE_MK3_0008")));  // hex text
    EXPECT_FALSE(IsStandInImage(QByteArray(4640, '\x5A')));
    EXPECT_FALSE(IsStandInImage("0012200000"));
}

TEST_F(StandIn, GoesToTheVirtualPedalWithoutAskingAndToARealLinkOnlyOnYes) {
    const QByteArray standIn = platform::ReadResource("FIRMWARE_4");
    EXPECT_TRUE(StandInMayBeSent(standIn, "Write it anyway?"));
    EXPECT_TRUE(dialogs->questions.isEmpty());

    ftd::InstallDriver(std::make_unique<SerialPortDriver>());
    dialogs->answers = {platform::Answer::No, platform::Answer::Cancel, platform::Answer::Yes};
    EXPECT_FALSE(StandInMayBeSent(standIn, "Write it anyway?"));
    EXPECT_FALSE(StandInMayBeSent(standIn, "Write it anyway?"));
    EXPECT_TRUE(StandInMayBeSent(standIn, "Write it anyway?"));
    EXPECT_EQ(dialogs->questions.size(), 3);
    // The maker's images go out without a question.
    EXPECT_TRUE(StandInMayBeSent(QByteArray(64, '\x01'), "Write it anyway?"));
    EXPECT_EQ(dialogs->questions.size(), 3);
}

}  // namespace
