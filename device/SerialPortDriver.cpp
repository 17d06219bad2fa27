#include "device/SerialPortDriver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif
#include <algorithm>
#include <cstring>

#include <dirent.h>
#include <unistd.h>

#include "platform/Console.h"

using namespace ftd;

namespace {

constexpr qint64 kReadBufferBytes = 256 * 1024;

void CopyListText(const QString& text, char (&buffer)[FT_LIST_TEXT_SIZE]) {
    const QByteArray bytes = text.toLocal8Bit();
    const std::size_t n =
        std::min<std::size_t>(static_cast<std::size_t>(bytes.size()), FT_LIST_TEXT_SIZE);
    std::memset(buffer, 0, FT_LIST_TEXT_SIZE);
    std::memcpy(buffer, bytes.constData(), n);
}

}  // namespace

SerialPortDriver::SerialPortDriver(QStringList extraPorts, QString sysfs, QString dev)
    : extraPorts_(std::move(extraPorts)), sysfs_(std::move(sysfs)), dev_(std::move(dev)) {}

SerialPortDriver::~SerialPortDriver() = default;

QString SerialPortDriver::UsbDeviceOf(const QString& name) const {
    // Only a terminal with a device behind it can be on a USB device; the
    // virtual ones (consoles, pseudo-terminals) have none.
    const QFileInfo device(sysfs_ + QStringLiteral("/class/tty/") + name +
                           QStringLiteral("/device"));
    if (!device.isSymLink()) return {};
    QString path = device.canonicalFilePath();
    const QString top = QDir(sysfs_ + QStringLiteral("/devices")).canonicalPath();
    // The port's device (ftdi_sio: the port under the interface; cdc_acm: the
    // interface itself), its interface, then the USB device.
    for (int level = 0; level < 4 && !path.isEmpty() && path != top && path.startsWith(top);
         ++level) {
        if (QFileInfo::exists(path + QStringLiteral("/idVendor"))) return path;
        path = QFileInfo(path).path();
    }
    return {};
}

namespace {

QString SysfsText(const QString& folder, const char* file) {
    QFile f(folder + QLatin1Char('/') + QLatin1String(file));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromLocal8Bit(f.readAll()).trimmed();
}

}  // namespace

std::vector<SerialPortDriver::Listed> SerialPortDriver::Enumerate() const {
    // Ordered by the device's place in the tree, as the system's device
    // manager lists them.
    std::vector<std::pair<QString, Listed>> bridges;
    // Read with the system's own calls: a terminal is only looked at when it
    // has a device behind it, one readlink each.
    const QByteArray ttys = QFile::encodeName(sysfs_ + QStringLiteral("/class/tty"));
    QStringList names;
    if (DIR* dir = opendir(ttys.constData())) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            char target[8];
            const QByteArray device = ttys + '/' + entry->d_name + "/device";
            if (readlink(device.constData(), target, sizeof target) > 0)
                names << QFile::decodeName(entry->d_name);
        }
        closedir(dir);
    }
    for (const QString& name : names) {
        const QString usb = UsbDeviceOf(name);
        if (usb.isEmpty()) continue;
        bool ok = false;
        const uint vendor = SysfsText(usb, "idVendor").toUInt(&ok, 16);
        if (!ok || vendor != kBridgeVendorId) continue;
        bridges.push_back({usb + QLatin1Char('/') + name,
                           {SysfsText(usb, "serial"), SysfsText(usb, "product"),
                            dev_ + QLatin1Char('/') + name}});
    }
    std::sort(bridges.begin(), bridges.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Listed> found;
    for (auto& [place, listed] : bridges) found.push_back(std::move(listed));

    for (const QString& path : extraPorts_) {
        // A path to a USB port (a /dev/serial/by-id link, say) shows the
        // product's description, as the port's own name does.
        const QFileInfo target(QFileInfo(path).canonicalFilePath());
        QString description;
        if (target.exists() && target.path() == QDir(dev_).canonicalPath()) {
            const QString usb = UsbDeviceOf(target.fileName());
            if (!usb.isEmpty()) description = SysfsText(usb, "product");
        }
        found.push_back({path, description.isEmpty() ? path : description, path});
    }
    return found;
}

FT_STATUS SerialPortDriver::ListDeviceCount(std::uint32_t& count) {
    lastListing_ = Enumerate();
    count = static_cast<std::uint32_t>(lastListing_.size());
    return FT_OK;
}

FT_STATUS SerialPortDriver::ListSerialNumber(std::uint32_t index,
                                             char (&buffer)[FT_LIST_TEXT_SIZE]) {
    if (lastListing_.empty()) lastListing_ = Enumerate();
    if (index >= lastListing_.size()) return FT_DEVICE_NOT_FOUND;
    CopyListText(lastListing_[index].serialNumber, buffer);
    return FT_OK;
}

FT_STATUS SerialPortDriver::ListDescription(std::uint32_t index,
                                            char (&buffer)[FT_LIST_TEXT_SIZE]) {
    if (lastListing_.empty()) lastListing_ = Enumerate();
    if (index >= lastListing_.size()) return FT_DEVICE_NOT_FOUND;
    CopyListText(lastListing_[index].description, buffer);
    return FT_OK;
}

FT_STATUS SerialPortDriver::OpenBySerialNumber(const char* serial, FT_HANDLE& handle) {
    const QString wanted = QString::fromLocal8Bit(serial);
    const auto listing = Enumerate();
    auto it = std::find_if(listing.begin(), listing.end(),
                           [&](const Listed& d) { return d.serialNumber == wanted; });
    if (wanted.isEmpty() || it == listing.end()) return FT_DEVICE_NOT_FOUND;
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(it->portName);
    // Between exchanges nobody reads; a device that keeps sending then (not
    // the pedal, or one gone wrong) is held to this much, the rest left to
    // the system, and the next exchange empties both. The longest answer,
    // an EEPROM read of every address, is under half of it.
    port->setReadBufferSize(kReadBufferBytes);
    if (!port->open(QIODevice::ReadWrite)) {
        // The status says only that the port would not open; the console
        // keeps the system's reason (no permission, held by another program).
        const QString location =
            it->portName.startsWith(u'/') ? it->portName : QStringLiteral("/dev/") + it->portName;
        ConsolePrint(QStringLiteral("cannot open %1: %2").arg(location, port->errorString()));
        return FT_DEVICE_NOT_OPENED;
    }
    // A terminal that hung up (the pedal was unplugged) stays readable to
    // the system, and every read of it fails: Qt would go on trying, a core
    // busy, until the next call found the port gone. Closed, it is left for
    // that call to find.
    QSerialPort* raw = port.get();
    QObject::connect(raw, &QSerialPort::errorOccurred, raw, [raw](QSerialPort::SerialPortError e) {
        if (e != QSerialPort::ReadError && e != QSerialPort::ResourceError) return;
        QTimer::singleShot(0, raw, [raw] {
            if (raw->isOpen() && Broken(*raw)) raw->close();
        });
    });
    handle = nextHandle_;
    nextHandle_ += 0x10;
    open_[handle] = std::move(port);
    return FT_OK;
}

QSerialPort* SerialPortDriver::PortOf(FT_HANDLE handle) {
    auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.get();
}

bool SerialPortDriver::Broken(const QSerialPort& port) {
    if (port.error() == QSerialPort::ResourceError || !port.isOpen()) return true;
#ifdef Q_OS_UNIX
    // A device that went away hangs up its terminal; Qt notices that only when
    // it next reads, which a quiet device never makes it do.
    pollfd watch{static_cast<int>(port.handle()), POLLIN, 0};
    if (poll(&watch, 1, 0) > 0 && (watch.revents & (POLLHUP | POLLERR | POLLNVAL))) return true;
#endif
    return false;
}

FT_STATUS SerialPortDriver::Close(FT_HANDLE handle) {
    auto it = open_.find(handle);
    if (it == open_.end()) return FT_INVALID_HANDLE;
    StopWatching(handle);
    it->second->close();
    open_.erase(it);
    return FT_OK;
}

FT_STATUS SerialPortDriver::Read(FT_HANDLE handle, void* buffer, std::uint32_t toRead,
                                 std::uint32_t& bytesRead) {
    bytesRead = 0;
    QSerialPort* port = PortOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (Broken(*port)) return FT_IO_ERROR;
    const qint64 n = port->read(static_cast<char*>(buffer), toRead);
    if (n < 0) return FT_IO_ERROR;
    bytesRead = static_cast<std::uint32_t>(n);
    return FT_OK;
}

FT_STATUS SerialPortDriver::Write(FT_HANDLE handle, const void* buffer, std::uint32_t toWrite,
                                  std::uint32_t& bytesWritten) {
    bytesWritten = 0;
    QSerialPort* port = PortOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (Broken(*port)) return FT_IO_ERROR;
    const qint64 n = port->write(static_cast<const char*>(buffer), toWrite);
    if (n < 0) return FT_IO_ERROR;
    // Hand everything to the system now: callers pace the pedal with sleeps
    // that do not run the event loop.
    while (port->bytesToWrite() > 0) {
        if (!port->waitForBytesWritten(2000)) break;
    }
    if (port->bytesToWrite() > 0 || Broken(*port)) return FT_IO_ERROR;
    bytesWritten = static_cast<std::uint32_t>(n);
    return FT_OK;
}

FT_STATUS SerialPortDriver::Purge(FT_HANDLE handle, std::uint32_t mask) {
    QSerialPort* port = PortOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (Broken(*port)) return FT_IO_ERROR;
    // Only the receive side is emptied. Every write has been handed to the
    // system whole before it returned, so the transmit side holds nothing
    // unsent of the editor's but the tail of messages still going out (a
    // live write just made); flushing the system's queue would cut those off.
    if (mask & FT_PURGE_RX) port->clear(QSerialPort::Input);
    port->clearError();
    return FT_OK;
}

FT_STATUS SerialPortDriver::GetQueueStatus(FT_HANDLE handle, std::uint32_t& rxBytes) {
    rxBytes = 0;
    QSerialPort* port = PortOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (Broken(*port)) return FT_IO_ERROR;
    // Take in what the system holds without waiting.
    port->waitForReadyRead(0);
    if (Broken(*port)) return FT_IO_ERROR;
    rxBytes = static_cast<std::uint32_t>(port->bytesAvailable());
    return FT_OK;
}

FT_STATUS SerialPortDriver::SetBaudRate(FT_HANDLE handle, std::uint32_t baudRate) {
    QSerialPort* port = PortOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (baudRate == 0) return FT_INVALID_BAUD_RATE;
    return port->setBaudRate(static_cast<qint32>(baudRate)) ? FT_OK : FT_INVALID_BAUD_RATE;
}

FT_STATUS SerialPortDriver::SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                                   std::uint8_t stopBits, std::uint8_t parity) {
    QSerialPort* port = PortOf(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (wordLength != 7 && wordLength != 8) return FT_INVALID_PARAMETER;
    QSerialPort::Parity parities[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                      QSerialPort::EvenParity, QSerialPort::MarkParity,
                                      QSerialPort::SpaceParity};
    if (parity > 4 || (stopBits != 0 && stopBits != 2)) return FT_INVALID_PARAMETER;
    bool ok = port->setDataBits(wordLength == 8 ? QSerialPort::Data8 : QSerialPort::Data7);
    ok = port->setStopBits(stopBits == 0 ? QSerialPort::OneStop : QSerialPort::TwoStop) && ok;
    ok = port->setParity(parities[parity]) && ok;
    port->clearError();
    return ok ? FT_OK : FT_IO_ERROR;
}

void SerialPortDriver::WaitForData(FT_HANDLE handle, int timeoutMs) {
    QSerialPort* port = PortOf(handle);
    if (!port || Broken(*port) || port->bytesAvailable() > 0) return;
    port->waitForReadyRead(timeoutMs);
}

int SerialPortDriver::WatchForData(FT_HANDLE handle, std::function<void()> wake) {
    QSerialPort* port = PortOf(handle);
    if (!port || Broken(*port)) return 0;
    StopWatching(handle);
    auto& watch = watches_[handle];
    watch.push_back(QObject::connect(port, &QSerialPort::readyRead, port, wake));
    // A wait for bytes that timed out (as every look at an empty port does)
    // is no news.
    watch.push_back(QObject::connect(
        port, &QSerialPort::errorOccurred, port, [wake](QSerialPort::SerialPortError e) {
            if (e != QSerialPort::NoError && e != QSerialPort::TimeoutError) wake();
        }));
    // The port's signals cover data and errors; a look now and then finds a
    // device that vanished without a word.
    return 100;
}

void SerialPortDriver::StopWatching(FT_HANDLE handle) {
    auto it = watches_.find(handle);
    if (it == watches_.end()) return;
    for (const QMetaObject::Connection& c : it->second) QObject::disconnect(c);
    watches_.erase(it);
}
