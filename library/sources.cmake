list(APPEND QUENDLE_CORE_SOURCES
    library/Catalogue.cpp library/Catalogue.h)
list(APPEND QUENDLE_GUI_SOURCES
    library/MainWindowCatalogue.cpp
    library/tformFXInfo.cpp library/tformFXInfo.h)
