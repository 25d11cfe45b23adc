# The whole-tool rigs of the flash and OTP scenario tests, and the OTP rule checker.
target_sources(orbisk_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/flash_rig.cpp
               ${CMAKE_CURRENT_LIST_DIR}/otp_rig.cpp ${CMAKE_CURRENT_LIST_DIR}/otp_rules.cpp)
# The rig of the MIPI-bridge scenario tests.
target_sources(orbisk_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/bridge_rig.cpp)
# The rig of the EEPROM and MTP scenario tests.
target_sources(orbisk_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/byte_memory_rig.cpp)
