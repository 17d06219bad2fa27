quendle_add_suite(link_tests
    ${CMAKE_CURRENT_LIST_DIR}/LinkSupport.h
    ${CMAKE_CURRENT_LIST_DIR}/PedalSimFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/TransportTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConnectionTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PtyRoundTripTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PtyRandomRunTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PtyUpgradeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SerialListingTest.cpp)
# The round trip runs the pedal's pseudo-terminal front-end.
add_dependencies(link_tests quendle-pedal-sim)
target_compile_definitions(link_tests PRIVATE
    QUENDLE_PEDAL_SIM_PATH="$<TARGET_FILE:quendle-pedal-sim>")
