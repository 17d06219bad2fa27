list(APPEND QUENDLE_GUI_SOURCES
    effects/TformFXsettings.cpp effects/TformFXsettings.h
    effects/TformNoteTrackingFilter.cpp effects/TformNoteTrackingFilter.h)
