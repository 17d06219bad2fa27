quendle_add_suite(foundation_tests
    ${CMAKE_CURRENT_LIST_DIR}/StartupTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DriverWrapperTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConsoleTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PlatformTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TemporaryFolderTest.cpp)
# The temporary folder's test runs the editor program too.
add_dependencies(foundation_tests quendle-editor)
target_compile_definitions(foundation_tests PRIVATE
    QUENDLE_EDITOR_PATH="$<TARGET_FILE:quendle-editor>")
