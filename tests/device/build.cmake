# The whole-tool rig of the flash scenario tests.
target_sources(orbisk_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/flash_rig.cpp)
# The rig of the MIPI-bridge scenario tests.
target_sources(orbisk_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/bridge_rig.cpp)
