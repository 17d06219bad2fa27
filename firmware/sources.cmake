list(APPEND QUENDLE_GUI_SOURCES
    firmware/TformFirmwareUpgrade.cpp firmware/TformFirmwareUpgrade.h)
