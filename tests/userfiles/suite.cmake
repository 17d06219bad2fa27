quendle_add_suite(userfiles_tests
    ${CMAKE_CURRENT_LIST_DIR}/NoteCutTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PresetFileTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ImpulseResponseTest.cpp)
