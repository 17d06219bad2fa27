list(APPEND QUENDLE_GUI_SOURCES
    library/tformFXInfo.cpp library/tformFXInfo.h)
