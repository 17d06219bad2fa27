# The data resources: catalogue, images, looks, documents and icon.
quendle_add_suite(resources_tests
    ${CMAKE_CURRENT_LIST_DIR}/ResourcesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LooksTest.cpp)
# The looks as written, to hold the packed ones the editor carries against.
target_compile_definitions(resources_tests PRIVATE
    QUENDLE_LOOKS_SOURCE_DIR="${PROJECT_SOURCE_DIR}/resources/looks")

if(QUENDLE_USES_STANDIN_IMAGES)
  target_compile_definitions(resources_tests PRIVATE QUENDLE_STANDIN_IMAGES=1)
  # The stand-ins must come out the same on every machine and every run.
  add_test(NAME resources.StandInsAreReproducible
           COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/generate_standins.py
                   --check ${QUENDLE_IMAGES_FOLDER})
endif()
