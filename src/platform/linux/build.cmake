# The Linux backends of the platform seam: libusb for the USB bus, V4L2 for the kernel camera
# driver, libudev for sysfs and hot-plug. Only this folder includes their headers.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBUSB REQUIRED IMPORTED_TARGET libusb-1.0)
pkg_check_modules(LIBUDEV REQUIRED IMPORTED_TARGET libudev)
target_link_libraries(orbisk_core PRIVATE PkgConfig::LIBUSB PkgConfig::LIBUDEV)
