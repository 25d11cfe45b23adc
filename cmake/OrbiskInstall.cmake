# Where an installed orbisk puts its files (`cmake --install`), and the Debian package made of
# them (`cpack -G DEB`, run by `make package`).
include(GNUInstallDirs)

set(ORBISK_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Folder of the udev rule, relative to the install prefix")

set(packaging ${CMAKE_SOURCE_DIR}/packaging)
set(programs orbisk orbisk-sim orbisk-image)

install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (the package's) also drops the compiler's .comment and .note sections, as
# Debian's own packaging tools do.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        foreach(program ${programs})
            execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                --remove-section=.note
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
                COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    endif()")
install(FILES ${packaging}/70-orbisk.rules DESTINATION ${ORBISK_UDEV_RULES_DIR})
install(FILES ${packaging}/orbisk.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/orbisk.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# bash-completion loads a completion by the name of the command being completed.
foreach(program ${programs})
    install(FILES ${packaging}/completion.bash
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${program})
endforeach()

# Man pages and the changelog go compressed with gzip -9n, as Debian wants them (no name and
# no time stamp in the header, so the package is the same from build to build).
set(compressed_dir ${CMAKE_BINARY_DIR}/compressed)
function(orbisk_gzip source name out)
    add_custom_command(
        OUTPUT ${compressed_dir}/${name}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${compressed_dir}/${name}
        COMMAND gzip -9nf ${compressed_dir}/${name}
        DEPENDS ${source}
        VERBATIM)
    set(${out} ${compressed_dir}/${name}.gz PARENT_SCOPE)
endfunction()

set(man_pages)
foreach(program ${programs})
    orbisk_gzip(${CMAKE_SOURCE_DIR}/docs/man/${program}.1 ${program}.1 page)
    list(APPEND man_pages ${page})
endforeach()
string(TIMESTAMP ORBISK_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${packaging}/changelog.in ${CMAKE_BINARY_DIR}/changelog-source @ONLY)
orbisk_gzip(${CMAKE_BINARY_DIR}/changelog-source changelog changelog)
add_custom_target(orbisk_compressed_docs ALL DEPENDS ${man_pages} ${changelog})

install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${packaging}/copyright ${changelog}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        PATTERN man EXCLUDE)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orbisk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "orbisk developers <dev@orbisk.invalid>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "firmware updater for USB video-class cameras
orbisk updates the firmware of USB video-class cameras built on the maker's
controller chips: it finds a camera, reads its identity, version and serial
number, checks that the firmware image belongs to it, writes the image into
the camera's memory, verifies it, tags it, restarts the camera into the new
code and says PASS or FAIL.
It has an operator dialog and a command line for production lines, and comes
with orbisk-sim (simulated cameras) and orbisk-image (firmware image
inspector).")
# The libraries come from the binaries; the dialog also needs Qt's platform plugins, which
# nothing links against.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "udev")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaging}/postinst ${packaging}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
