quendle_add_suite(firmware_tests
    ${CMAKE_CURRENT_LIST_DIR}/ScriptedBootloaderDriver.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ScriptedBootloaderDriver.h
    ${CMAKE_CURRENT_LIST_DIR}/FirmwareFixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FirmwareFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/BootloaderProtocolTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FirmwareUpgradeTest.cpp)
