# The fake USB bus and fake cameras that the camera and device tests share.
target_sources(orbisk_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/fake_usb.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/fake_camera.cpp)
