quendle_add_suite(link_tests
    ${CMAKE_CURRENT_LIST_DIR}/LinkSupport.h
    ${CMAKE_CURRENT_LIST_DIR}/TransportTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConnectionTest.cpp)
