quendle_add_suite(shell_tests
    ${CMAKE_CURRENT_LIST_DIR}/LookMidiTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UpdateCheckTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConsoleToolsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KeyboardAndNamesTest.cpp)
