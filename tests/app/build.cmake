# The in-process command-line rig of the recovery scenarios.
target_sources(orbisk_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/update_rig.cpp)
