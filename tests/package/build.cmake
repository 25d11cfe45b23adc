# The Debian package, built by CPack from this build tree and unpacked into a scratch root:
# a test program of its own, run as one process so the package is built once for all its tests.
add_executable(orbisk_package_tests ${CMAKE_CURRENT_SOURCE_DIR}/package/installed_package.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/support/temp_dir.cpp)
target_include_directories(orbisk_package_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(orbisk_package_tests PRIVATE
    ORBISK_CPACK="${CMAKE_CPACK_COMMAND}"
    ORBISK_BUILD_DIR="${CMAKE_BINARY_DIR}"
    ORBISK_VERSION="${PROJECT_VERSION}")
target_link_libraries(orbisk_package_tests PRIVATE GTest::gtest GTest::gtest_main)
# Everything the package holds is built before the test runs.
add_dependencies(orbisk_package_tests orbisk orbisk-sim orbisk-image orbisk_compressed_docs)
add_test(NAME orbisk_package COMMAND orbisk_package_tests)
set_tests_properties(orbisk_package PROPERTIES TIMEOUT 300)
