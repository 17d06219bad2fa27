#pragma once
// The default backend: the operating system's serial driver through Qt
// SerialPort. It lists USB serial ports of the bridge's maker (vendor 0x0403)
// by the serial number and product description the system reports, plus any
// device paths given with --port (listed with the path as serial number).
//
// The listing reads the kernel's device tree (sysfs) directly: of the
// terminals under class/tty only those with a device behind them are looked
// at, and of those only the ones on a USB device are read (vendor, then serial
// number and product). Walking every terminal through the system's device
// manager cost thousands of file opens at each start.

#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <vector>

#include "device/FtDriver.h"

class SerialPortDriver : public ftd::FtDriver {
public:
    static constexpr quint16 kBridgeVendorId = 0x0403;

    // `sysfs` and `dev` are where the kernel's device tree and the device
    // files are (tests point them at a tree of their own).
    explicit SerialPortDriver(QStringList extraPorts = {}, QString sysfs = QStringLiteral("/sys"),
                              QString dev = QStringLiteral("/dev"));
    ~SerialPortDriver() override;

    ftd::FT_STATUS ListDeviceCount(std::uint32_t& count) override;
    ftd::FT_STATUS ListSerialNumber(std::uint32_t index,
                                    char (&buffer)[ftd::FT_LIST_TEXT_SIZE]) override;
    ftd::FT_STATUS ListDescription(std::uint32_t index,
                                   char (&buffer)[ftd::FT_LIST_TEXT_SIZE]) override;
    ftd::FT_STATUS OpenBySerialNumber(const char* serial, ftd::FT_HANDLE& handle) override;
    ftd::FT_STATUS Close(ftd::FT_HANDLE handle) override;
    ftd::FT_STATUS Read(ftd::FT_HANDLE handle, void* buffer, std::uint32_t toRead,
                        std::uint32_t& bytesRead) override;
    ftd::FT_STATUS Write(ftd::FT_HANDLE handle, const void* buffer, std::uint32_t toWrite,
                         std::uint32_t& bytesWritten) override;
    ftd::FT_STATUS Purge(ftd::FT_HANDLE handle, std::uint32_t mask) override;
    ftd::FT_STATUS GetQueueStatus(ftd::FT_HANDLE handle, std::uint32_t& rxBytes) override;
    ftd::FT_STATUS SetBaudRate(ftd::FT_HANDLE handle, std::uint32_t baudRate) override;
    ftd::FT_STATUS SetDataCharacteristics(ftd::FT_HANDLE handle, std::uint8_t wordLength,
                                          std::uint8_t stopBits, std::uint8_t parity) override;
    void WaitForData(ftd::FT_HANDLE handle, int timeoutMs) override;
    int WatchForData(ftd::FT_HANDLE handle, std::function<void()> wake) override;
    void StopWatching(ftd::FT_HANDLE handle) override;

private:
    struct Listed {
        QString serialNumber;
        QString description;
        QString portName;  // what QSerialPort opens: a system port name or a path
    };
    std::vector<Listed> Enumerate() const;
    // The USB device (the sysfs folder holding idVendor) that the terminal
    // `name` (as under class/tty) belongs to; empty when it is on none.
    QString UsbDeviceOf(const QString& name) const;
    QSerialPort* PortOf(ftd::FT_HANDLE handle);
    // A port that reports a hardware failure (unplugged) fails every call.
    static bool Broken(const QSerialPort& port);

    QStringList extraPorts_;
    QString sysfs_;
    QString dev_;
    std::vector<Listed> lastListing_;
    std::map<ftd::FT_HANDLE, std::unique_ptr<QSerialPort>> open_;
    std::map<ftd::FT_HANDLE, std::vector<QMetaObject::Connection>> watches_;
    ftd::FT_HANDLE nextHandle_ = 0x00E40010;
};
