# ALSA for the capture bursts that keep a camera awake (platform/linux/alsa_capture.cpp).
find_package(PkgConfig REQUIRED)
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
target_link_libraries(orbisk_core PRIVATE PkgConfig::ALSA)
