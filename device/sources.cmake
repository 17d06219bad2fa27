list(APPEND QUENDLE_CORE_SOURCES
    device/Communication.cpp device/Communication.h
    device/D2XXUnit.cpp device/D2XXUnit.h
    device/FtDriver.cpp device/FtDriver.h
    device/SerialPortDriver.cpp device/SerialPortDriver.h)
list(APPEND QUENDLE_GUI_SOURCES
    device/Connection.cpp device/Connection.h
    device/DeviceListing.cpp device/DeviceListing.h)
