quendle_add_suite(effects_tests
    ${CMAKE_CURRENT_LIST_DIR}/ParameterModelTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DialWidgetTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsWindowTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KnobTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsFixture.h)
