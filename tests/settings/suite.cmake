quendle_add_suite(settings_tests
    ${CMAKE_CURRENT_LIST_DIR}/AssignmentTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TuningTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReadBackTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PedalPictureTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PlayerFilesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PictureStaysTrueTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StoredSettingsSupport.h)
