quendle_add_suite(firmware_tests
    ${CMAKE_CURRENT_LIST_DIR}/ScriptedBootloaderDriver.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ScriptedBootloaderDriver.h
    ${CMAKE_CURRENT_LIST_DIR}/FirmwareFixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FirmwareFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/BootloaderProtocolTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BootloaderResyncTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FirmwareUpgradeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VirtualBootloaderTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UpgradeInterruptionTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UpgradeRandomRunTest.cpp)
# The upgrade over a pseudo-terminal runs the virtual pedal's front-end.
add_dependencies(firmware_tests quendle-pedal-sim)
target_compile_definitions(firmware_tests PRIVATE
    QUENDLE_PEDAL_SIM_PATH="$<TARGET_FILE:quendle-pedal-sim>")
