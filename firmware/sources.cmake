list(APPEND QUENDLE_CORE_SOURCES
    firmware/Bootloader.cpp firmware/Bootloader.h)
list(APPEND QUENDLE_GUI_SOURCES
    firmware/MainWindowFirmware.cpp
    firmware/TformFirmwareUpgrade.cpp firmware/TformFirmwareUpgrade.h)
