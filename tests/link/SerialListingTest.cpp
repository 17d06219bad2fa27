// The serial-port backend's listing, read from the kernel's device tree
// (a tree of the test's own making), and Connect over a --port path of any
// length (the pedal's pseudo-terminal behind a long link, as the stable
// /dev/serial/by-id paths are).

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "app/TformMain.h"
#include "device/Connection.h"
#include "device/D2XXUnit.h"
#include "device/SerialPortDriver.h"
#include "tests/link/PedalSimFixture.h"

namespace {

// A small sysfs and /dev: an FT230X bridge on ttyUSB0, a second one on
// ttyUSB1, an Arduino (another maker) on ttyACM0, a built-in serial port and
// a virtual console.
class FakeDeviceTree {
public:
    FakeDeviceTree() {
        root_ = dir_.path();
        Port("ttyUSB1", "usb1/1-3", "1-3:1.0/ttyUSB1", "0403", "BRIDGE02", "FT232R USB UART");
        Port("ttyUSB0", "usb1/1-2", "1-2:1.0/ttyUSB0", "0403", "QM000001", "FT230X Basic UART");
        Port("ttyACM0", "usb1/1-4", "1-4:1.0", "2341", "ARDUINO1", "Arduino Uno");
        // A built-in port: a device behind it, but no USB device above.
        Make("sys/devices/platform/serial8250/tty/ttyS0");
        Link("sys/devices/platform/serial8250", "sys/devices/platform/serial8250/tty/ttyS0/device");
        Link("sys/devices/platform/serial8250/tty/ttyS0", "sys/class/tty/ttyS0");
        // A virtual terminal: no device at all.
        Make("sys/devices/virtual/tty/tty0");
        Link("sys/devices/virtual/tty/tty0", "sys/class/tty/tty0");
        Make("dev");
        for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS0", "tty0"}) {
            QFile node(Path("dev/") + QLatin1String(name));
            node.open(QIODevice::WriteOnly);
        }
    }
    QString Sys() const { return Path("sys"); }
    QString Dev() const { return Path("dev"); }
    QString Path(const QString& relative) const { return root_ + QLatin1Char('/') + relative; }
    bool Valid() const { return dir_.isValid(); }

private:
    void Make(const QString& relative) { QDir().mkpath(Path(relative)); }
    void Link(const QString& target, const QString& link) {
        QDir().mkpath(QFileInfo(Path(link)).path());
        QFile::link(Path(target), Path(link));
    }
    void Write(const QString& relative, const char* text) {
        QFile f(Path(relative));
        f.open(QIODevice::WriteOnly);
        f.write(text);
        f.write("\n");
    }
    // A USB device at usb/<device>, the port's device at <device>/<port>.
    void Port(const char* name, const char* device, const char* port, const char* vendor,
              const char* serial, const char* product) {
        const QString usb = QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/") + device;
        const QString portDevice = usb + QLatin1Char('/') + QLatin1String(port);
        const QString tty = portDevice + QStringLiteral("/tty/") + QLatin1String(name);
        Make(tty);
        Write(usb + QStringLiteral("/idVendor"), vendor);
        Write(usb + QStringLiteral("/idProduct"), "6015");
        Write(usb + QStringLiteral("/serial"), serial);
        Write(usb + QStringLiteral("/product"), product);
        Link(portDevice, tty + QStringLiteral("/device"));
        Link(tty, QStringLiteral("sys/class/tty/") + QLatin1String(name));
    }

    QTemporaryDir dir_;
    QString root_;
};

struct Listed {
    QString serial, description;
};

std::vector<Listed> Listing() {
    std::vector<Listed> listed;
    if (GetFTDeviceCount() != ftd::FT_OK) return listed;
    for (std::uint32_t i = 0; i < DeviceCount; ++i) {
        GetFTDeviceSerialNo(i);
        const QString serial = QString::fromLocal8Bit(DeviceListText);
        GetFTDeviceDescription(i);
        listed.push_back({serial, QString::fromLocal8Bit(DeviceListText)});
    }
    return listed;
}

using SerialListing = EditorFixture;

TEST_F(SerialListing, ListsTheBridgeMakersUsbPortsFromTheDeviceTree) {
    FakeDeviceTree tree;
    ASSERT_TRUE(tree.Valid());
    ftd::InstallDriver(std::make_unique<SerialPortDriver>(QStringList{}, tree.Sys(), tree.Dev()));
    driver = nullptr;
    const auto listed = Listing();
    ASSERT_EQ(listed.size(), 2u);
    // In the order of their place in the device tree.
    EXPECT_EQ(listed[0].serial, "QM000001");
    EXPECT_EQ(listed[0].description, "FT230X Basic UART");
    EXPECT_EQ(listed[1].serial, "BRIDGE02");
    EXPECT_EQ(listed[1].description, "FT232R USB UART");
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(SerialListing, StartShowsTheListedBridge) {
    FakeDeviceTree tree;
    ASSERT_TRUE(tree.Valid());
    ftd::InstallDriver(std::make_unique<SerialPortDriver>(QStringList{}, tree.Sys(), tree.Dev()));
    driver = nullptr;
    StartEditor();
    // The last one listed is selected.
    EXPECT_EQ(formMain->lblDeviceName->text(), "FT232R USB UART");
    EXPECT_EQ(formMain->menuSerialNumber->text(), "Serial Number: QM000001BRIDGE02");
    EXPECT_EQ(DeviceSerialNumber, "BRIDGE02");
}

TEST_F(SerialListing, PortPathsAreListedWholeWithTheirProductWhenOnAUsbPort) {
    FakeDeviceTree tree;
    ASSERT_TRUE(tree.Valid());
    // A stable name as /dev/serial/by-id has them, longer than 64 characters.
    const QString byId = tree.Path(
        "by-id/usb-FTDI_FT230X_Basic_UART_QM000001-if00-port0-and-then-some-more-to-be-long");
    QDir().mkpath(QFileInfo(byId).path());
    ASSERT_TRUE(QFile::link(tree.Path("dev/ttyUSB0"), byId));
    const QString elsewhere = tree.Path("not-a-port");
    ftd::InstallDriver(
        std::make_unique<SerialPortDriver>(QStringList{byId, elsewhere}, tree.Sys(), tree.Dev()));
    driver = nullptr;
    const auto listed = Listing();
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_GT(byId.size(), 64);
    EXPECT_EQ(listed[2].serial, byId);
    EXPECT_EQ(listed[2].description, "FT230X Basic UART");
    // Nothing known about the path: the path stands for its description.
    EXPECT_EQ(listed[3].serial, elsewhere);
    EXPECT_EQ(listed[3].description, elsewhere);
}

class LongPortPath : public PedalSimFixture, public ::testing::WithParamInterface<int> {
protected:
    QTemporaryDir links;
};

// The pedal's pseudo-terminal behind a link whose path is exactly `length`
// characters long; --port gives that path, and Connect and Request work.
TEST_P(LongPortPath, Connects) {
    const int length = GetParam();
    const QString pty = LaunchPedalSim(QStringList{"--firmware-version", "12"});
    ASSERT_TRUE(pty.startsWith('/')) << pty.toStdString();

    ASSERT_TRUE(links.isValid());
    const QString folder = links.path() + QStringLiteral("/serial/by-id/");
    ASSERT_TRUE(QDir().mkpath(folder));
    QString name = QStringLiteral("usb-FTDI_FT230X_Basic_UART_QMK3SIM1-if00-port0");
    ASSERT_LT(folder.size() + 1, length) << "the temporary folder's path is too long";
    name = QString(length - folder.size() - name.size(), QLatin1Char('x')) + name;
    if (folder.size() + name.size() > length) name = name.right(length - folder.size());
    const QString path = folder + name;
    ASSERT_EQ(path.size(), length);
    ASSERT_TRUE(QFile::link(pty, path));

    StartOnPort(path);
    EXPECT_EQ(DeviceSerialNumber, path);
    const QString listed = formMain->lblDeviceName->text();

    formMain->menuConnect->trigger();
    ASSERT_EQ(dialogs->messages, QStringList{});
    EXPECT_TRUE(DeviceConnected);
    EXPECT_EQ(formMain->lblDeviceName->text(), listed + " connected");
    QTest::mouseClick(formMain->btnRequest, Qt::LeftButton);
    EXPECT_EQ(dialogs->messages, QStringList{});
    EXPECT_EQ(formMain->lblFirmwareVersion->text(), "Firmware Version: 0C");
    formMain->menuDisconnect->trigger();
    EXPECT_FALSE(DeviceConnected);
}

// 64: the length of the /dev/serial/by-id paths users are told to use; 200:
// any path works.
INSTANTIATE_TEST_SUITE_P(Lengths, LongPortPath, ::testing::Values(49, 50, 64, 65, 200),
                         [](const auto& info) { return std::to_string(info.param); });

}  // namespace
