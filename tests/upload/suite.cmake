quendle_add_suite(upload_tests
    ${CMAKE_CURRENT_LIST_DIR}/UploadTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/InfoAndOpenEffectTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UploadSupport.h)
