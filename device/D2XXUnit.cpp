#include "device/D2XXUnit.h"

#include <algorithm>
#include <cstring>

#include "platform/Dialogs.h"

using namespace ftd;

FT_HANDLE DeviceHandle = 0;
std::uint32_t DeviceCount = 0;
QByteArray DeviceListText;
std::uint32_t QueueBytes = 0;
std::array<std::uint8_t, kBufferSize> InBuffer{};
std::array<std::uint8_t, kBufferSize> OutBuffer{};
std::uint32_t BaudRate = 0;
std::uint8_t WordLength = 0;
std::uint8_t StopBits = 0;
std::uint8_t Parity = 0;
QString DeviceSerialNumber;
QString DeviceDescription;

namespace {

// A listing buffer up to its first zero byte, at most FT_LIST_TEXT_SIZE characters.
QByteArray ListText(const char (&buffer)[FT_LIST_TEXT_SIZE]) {
    const auto* end = std::find(buffer, buffer + FT_LIST_TEXT_SIZE, '\0');
    return QByteArray(buffer, static_cast<int>(end - buffer));
}

}  // namespace

FT_STATUS GetFTDeviceCount() {
    std::uint32_t count = 0;
    FT_STATUS status = Driver().ListDeviceCount(count);
    if (status == FT_OK) DeviceCount = count;
    ReportFTError(QStringLiteral("GetFTDeviceCount"), status);
    return status;
}

FT_STATUS GetFTDeviceSerialNo(std::uint32_t index) {
    char buffer[FT_LIST_TEXT_SIZE] = {};
    FT_STATUS status = Driver().ListSerialNumber(index, buffer);
    if (status == FT_OK) DeviceListText = ListText(buffer);
    ReportFTError(QStringLiteral("GetFTDeviceSerialNo"), status);
    return status;
}

FT_STATUS GetFTDeviceDescription(std::uint32_t index) {
    char buffer[FT_LIST_TEXT_SIZE] = {};
    FT_STATUS status = Driver().ListDescription(index, buffer);
    if (status == FT_OK) DeviceListText = ListText(buffer);
    ReportFTError(QStringLiteral("GetFTDeviceDescription"), status);
    return status;
}

FT_STATUS Open_USB_Device_By_Serial_Number(const QString& serial) {
    // The whole text: what the listing gave is matched whole, and a device
    // path given with --port may be of any length.
    const QByteArray local = serial.toLocal8Bit();
    FT_HANDLE handle = DeviceHandle;
    FT_STATUS status = Driver().OpenBySerialNumber(local.constData(), handle);
    if (status == FT_OK) DeviceHandle = handle;
    ReportFTError(QStringLiteral("Open_USB_Device_By_Serial_Number"), status);
    return status;
}

FT_STATUS CloseFTDevice() {
    FT_STATUS status = Driver().Close(DeviceHandle);
    ReportFTError(QStringLiteral("FT_Close"), status);
    return status;
}

std::uint32_t ReadFTDevice() {
    std::uint32_t waiting = 0;
    if (Driver().GetQueueStatus(DeviceHandle, waiting) != FT_OK) waiting = 0;
    waiting = std::min<std::uint32_t>(waiting, kBufferSize);
    std::uint32_t read = 0;
    FT_STATUS status = Driver().Read(DeviceHandle, InBuffer.data(), waiting, read);
    ReportFTError(QStringLiteral("FT_Read"), status);
    if (status != FT_OK) return 0;
    return read;
}

std::uint32_t WriteFTDevice(std::uint32_t n) {
    n = std::min<std::uint32_t>(n, kBufferSize);
    std::uint32_t written = 0;
    FT_STATUS status = Driver().Write(DeviceHandle, OutBuffer.data(), n, written);
    ReportFTError(QStringLiteral("FT_Write"), status);
    return written;
}

FT_STATUS PurgeFTReceive() {
    FT_STATUS status = Driver().Purge(DeviceHandle, FT_PURGE_RX);
    ReportFTError(QStringLiteral("FT_Purge RX"), status);
    return status;
}

FT_STATUS PurgeFTTransmit() {
    FT_STATUS status = Driver().Purge(DeviceHandle, FT_PURGE_TX);
    ReportFTError(QStringLiteral("FT_Purge TX"), status);
    return status;
}

FT_STATUS GetFTQueueStatus() {
    std::uint32_t waiting = 0;
    FT_STATUS status = Driver().GetQueueStatus(DeviceHandle, waiting);
    if (status == FT_OK) QueueBytes = waiting;
    ReportFTError(QStringLiteral("FT_GetQueueStatus"), status);
    return status;
}

FT_STATUS SetFTBaudRate() {
    FT_STATUS status = Driver().SetBaudRate(DeviceHandle, BaudRate);
    ReportFTError(QStringLiteral("FT_SetBaudRate"), status);
    return status;
}

FT_STATUS SetFTDataCharacteristics() {
    FT_STATUS status = Driver().SetDataCharacteristics(DeviceHandle, WordLength, StopBits, Parity);
    ReportFTError(QStringLiteral("FT_SetDataCharacteristics"), status);
    return status;
}

QString FTErrorText(const QString& label, FT_STATUS status) {
    static const char* const kTexts[] = {
        "",
        " - Invalid handle...",
        " - Device not found...",
        " - Device not opened...",
        " - General IO error...",
        " - Insufficient resources...",
        " - Invalid parameter...",
        " - Invalid baud rate...",
        " Device not opened for erase...",
        " Device not opened for write...",
        " - Failed to write...",
        " - EEPROM read failed...",
        " - EEPROM write failed...",
        " - EEPROM erase failed...",
        " - EEPROM not present...",
        " - EEPROM not programmed...",
        " - Invalid arguments...",
        " - Other error ...",
    };
    constexpr FT_STATUS kKnown = sizeof(kTexts) / sizeof(kTexts[0]);
    if (status < kKnown) return label + QLatin1String(kTexts[status]);
    // The driver's table ends at 17; anything newer still tells the user which
    // call failed and with what.
    return label + QStringLiteral(" - Unknown error (status %1)...").arg(status);
}

void ReportFTError(const QString& label, FT_STATUS status) {
    if (status == FT_OK) return;
    platform::ShowMessage(FTErrorText(label, status));
}

void SetLinkSettings() {
    BaudRate = 115200;
    WordLength = 8;
    StopBits = 0;
    Parity = 0;
}
