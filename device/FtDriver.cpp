#include "device/FtDriver.h"

#include "device/SerialPortDriver.h"

namespace ftd {
namespace {
std::unique_ptr<FtDriver>& Installed() {
    static std::unique_ptr<FtDriver> instance = std::make_unique<SerialPortDriver>();
    return instance;
}
}  // namespace

FtDriver& Driver() {
    return *Installed();
}
void InstallDriver(std::unique_ptr<FtDriver> driver) {
    Installed() = std::move(driver);
}

}  // namespace ftd
