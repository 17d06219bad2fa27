#pragma once
// The editor's only contact with the USB-serial bridge: one thin wrapper per
// driver call around one global handle, the two 64 KiB buffers and the link
// settings. A wrapper reports a failing call at once (ReportFTError) and hands
// the status, or the byte count, back to its caller.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

#include "device/FtDriver.h"

constexpr std::size_t kBufferSize = 65536;

extern ftd::FT_HANDLE DeviceHandle;
extern std::uint32_t DeviceCount;
extern QByteArray DeviceListText;  // 8-bit text, at most ftd::FT_LIST_TEXT_SIZE characters
extern std::uint32_t QueueBytes;
extern std::array<std::uint8_t, kBufferSize> InBuffer;
extern std::array<std::uint8_t, kBufferSize> OutBuffer;
extern std::uint32_t BaudRate;
extern std::uint8_t WordLength;
extern std::uint8_t StopBits;
extern std::uint8_t Parity;
extern QString DeviceSerialNumber;
extern QString DeviceDescription;

ftd::FT_STATUS GetFTDeviceCount();
ftd::FT_STATUS GetFTDeviceSerialNo(std::uint32_t index);
ftd::FT_STATUS GetFTDeviceDescription(std::uint32_t index);
ftd::FT_STATUS Open_USB_Device_By_Serial_Number(const QString& serial);
ftd::FT_STATUS CloseFTDevice();
std::uint32_t ReadFTDevice();
std::uint32_t WriteFTDevice(std::uint32_t n);
ftd::FT_STATUS PurgeFTReceive();
ftd::FT_STATUS PurgeFTTransmit();
ftd::FT_STATUS GetFTQueueStatus();
ftd::FT_STATUS SetFTBaudRate();
ftd::FT_STATUS SetFTDataCharacteristics();

// The text shown for a failing status: the label followed by the status's text.
QString FTErrorText(const QString& label, ftd::FT_STATUS status);
// Shows FTErrorText in a message box when status is not 0.
void ReportFTError(const QString& label, ftd::FT_STATUS status);

// 115,200 baud, 8 data bits, 1 stop bit, no parity; applied by each Connect.
void SetLinkSettings();
