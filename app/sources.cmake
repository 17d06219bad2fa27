list(APPEND QUENDLE_GUI_SOURCES
    app/AppVersion.cpp app/AppVersion.h
    app/ConsoleTools.cpp app/ConsoleTools.h
    app/EditorApp.cpp app/EditorApp.h
    app/LookSettings.cpp app/LookSettings.h
    app/PendingHandlers.cpp
    app/TformMain.cpp app/TformMain.h
    app/TformPrint.cpp app/TformPrint.h
    app/UpdateCheck.cpp app/UpdateCheck.h
    app/WrapButton.cpp app/WrapButton.h)
