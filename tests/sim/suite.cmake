quendle_add_sim_suite(sim_tests
    ${CMAKE_CURRENT_LIST_DIR}/SimTestSupport.h
    ${CMAKE_CURRENT_LIST_DIR}/DspSideTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DeliveryTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BootloaderTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PtyFrontEndTest.cpp)
# The pty tests run the front-end program itself.
add_dependencies(sim_tests quendle-pedal-sim)
target_compile_definitions(sim_tests PRIVATE
    QUENDLE_PEDAL_SIM_PATH="$<TARGET_FILE:quendle-pedal-sim>")
