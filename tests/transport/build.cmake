# The scripted USB device and camera-driver stand-ins of the transport tests.
target_sources(orbisk_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/mock_usb.cpp)
