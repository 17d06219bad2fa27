list(APPEND QUENDLE_CORE_SOURCES
    effects/ParameterModel.cpp effects/ParameterModel.h
    effects/KnobText.cpp effects/KnobText.h
    effects/PedalModel.cpp effects/PedalModel.h)
list(APPEND QUENDLE_GUI_SOURCES
    effects/HintsUnit.cpp effects/HintsUnit.h
    effects/EditHistory.cpp effects/EditHistory.h
    effects/MainWindowSettings.cpp
    effects/ControlAssignments.cpp effects/ControlAssignments.h
    effects/StoredSettings.cpp effects/StoredSettings.h
    effects/Tuning.cpp
    effects/QuendleDial.cpp effects/QuendleDial.h
    effects/QuendleSwitch.cpp effects/QuendleSwitch.h
    effects/TformFXsettings.cpp effects/TformFXsettings.h
    effects/TformNoteTrackingFilter.cpp effects/TformNoteTrackingFilter.h)
