quendle_add_suite(library_tests
    ${CMAKE_CURRENT_LIST_DIR}/CatalogueTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LibraryRandomRunTest.cpp)
