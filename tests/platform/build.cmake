# The Linux backends run against an emulated kernel (umockdev), which needs its preload library
# in the process from the start: a test program of its own, run under it.
find_package(PkgConfig REQUIRED)
pkg_check_modules(UMOCKDEV REQUIRED IMPORTED_TARGET umockdev-1.0)
file(GLOB linux_backend_tests CONFIGURE_DEPENDS
     ${CMAKE_CURRENT_SOURCE_DIR}/platform/linux/*_umockdev.cpp)
add_executable(orbisk_linux_tests ${linux_backend_tests}
               ${CMAKE_CURRENT_SOURCE_DIR}/platform/linux/emulated_device.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/platform/linux/emulated_kernel.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/platform/linux/emulated_sim_bus.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/platform/linux/fake_camera.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/platform/linux/sim_camera_device.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/support/recorders.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/support/temp_dir.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/support/tool_core.cpp)
target_include_directories(orbisk_linux_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
# End-to-end runs of the program under the emulated kernel.
target_compile_definitions(orbisk_linux_tests PRIVATE ORBISK_BIN="$<TARGET_FILE:orbisk>")
add_dependencies(orbisk_linux_tests orbisk)
target_link_libraries(orbisk_linux_tests PRIVATE orbisk_core PkgConfig::UMOCKDEV GTest::gtest
                      GTest::gtest_main)
# A whole update through the emulated kernel takes tens of seconds of real time.
gtest_discover_tests(orbisk_linux_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300
    ENVIRONMENT LD_PRELOAD=libumockdev-preload.so.0)
