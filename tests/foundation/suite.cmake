quendle_add_suite(foundation_tests
    ${CMAKE_CURRENT_LIST_DIR}/StartupTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DriverWrapperTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConsoleTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PlatformTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StyleTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TemporaryFolderTest.cpp)
# The temporary folder's test runs the editor program too.
add_dependencies(foundation_tests quendle-editor)
target_compile_definitions(foundation_tests PRIVATE
    QUENDLE_EDITOR_PATH="$<TARGET_FILE:quendle-editor>")
# The style's icons once more on a screen of twice the pixel density, where an
# icon engine is asked in device pixels.
add_test(NAME EditorStyle.AtTwiceThePixelDensity
         COMMAND foundation_tests --gtest_filter=EditorStyle.*)
set_tests_properties(EditorStyle.AtTwiceThePixelDensity PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=2")
