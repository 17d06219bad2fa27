#include "app/DeviceListing.h"

#include <QAction>
#include <QLabel>

#include "app/TformMain.h"
#include "device/D2XXUnit.h"

void ListDevicesAtStart() {
    GetFTDeviceCount();
    for (std::uint32_t i = 0; i < DeviceCount; ++i) {
        GetFTDeviceSerialNo(i);
        const QString serial = QString::fromLocal8Bit(DeviceListText);
        // Several bridges: their serial numbers run together, as the pedal's
        // own tools always showed them.
        formMain->menuSerialNumber->setText(formMain->menuSerialNumber->text() + serial);
        DeviceSerialNumber = serial;

        GetFTDeviceDescription(i);
        const QString description = QString::fromLocal8Bit(DeviceListText);
        formMain->lblDeviceName->setText(description == QLatin1String("FT230X Basic UART")
                                             ? QStringLiteral("Quendle MK3")
                                             : description);
        DeviceDescription = description;
    }
}
