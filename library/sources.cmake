list(APPEND QUENDLE_CORE_SOURCES
    library/Catalogue.cpp library/Catalogue.h
    library/Upload.cpp library/Upload.h)
list(APPEND QUENDLE_GUI_SOURCES
    library/MainWindowCatalogue.cpp
    library/MainWindowUpload.cpp
    library/tformFXInfo.cpp library/tformFXInfo.h)
list(APPEND QUENDLE_CORE_SOURCES
    library/PresetFile.cpp library/PresetFile.h
    library/PedalBackup.cpp library/PedalBackup.h)
list(APPEND QUENDLE_CORE_SOURCES
    library/ImpulseResponse.cpp library/ImpulseResponse.h)
list(APPEND QUENDLE_GUI_SOURCES
    library/UserFileHandlers.cpp library/UserFileHandlers.h
    library/PresetList.cpp
    library/PedalBackupHandlers.cpp)
