# The data resources: catalogue, images, looks, documents and icon.
quendle_add_suite(resources_tests
    ${CMAKE_CURRENT_LIST_DIR}/ResourcesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LooksTest.cpp)

if(QUENDLE_USES_STANDIN_IMAGES)
  target_compile_definitions(resources_tests PRIVATE QUENDLE_STANDIN_IMAGES=1)
  # The stand-ins must come out the same on every machine and every run.
  add_test(NAME resources.StandInsAreReproducible
           COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/generate_standins.py
                   --check ${QUENDLE_IMAGES_FOLDER})
endif()
