quendle_add_suite(foundation_tests
    ${CMAKE_CURRENT_LIST_DIR}/StartupTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DriverWrapperTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConsoleTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PlatformTest.cpp)
