# The fake USB bus that the camera tests share.
target_sources(orbisk_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/fake_usb.cpp)
