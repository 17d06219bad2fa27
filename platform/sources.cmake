list(APPEND QUENDLE_CORE_SOURCES
    platform/Console.cpp platform/Console.h
    platform/Dialogs.cpp platform/Dialogs.h
    platform/ErrorReport.cpp platform/ErrorReport.h
    platform/Errors.h
    platform/Files.cpp platform/Files.h
    platform/Network.cpp platform/Network.h
    platform/Resources.cpp platform/Resources.h
    platform/Time.cpp platform/Time.h)
list(APPEND QUENDLE_GUI_SOURCES
    platform/Fonts.cpp platform/Fonts.h
    platform/QtDialogs.cpp platform/QtDialogs.h
    platform/Style.cpp platform/Style.h)
