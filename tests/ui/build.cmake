# The dialog's tests: QtTest on the offscreen platform, one program, one ctest entry per class.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
file(GLOB ui_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp ${CMAKE_CURRENT_LIST_DIR}/*.h)
add_executable(orbisk_ui_tests ${ui_test_sources} ${CMAKE_CURRENT_SOURCE_DIR}/support/temp_dir.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/support/recorders.cpp)
set_target_properties(orbisk_ui_tests PROPERTIES AUTOMOC ON)
target_include_directories(orbisk_ui_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(orbisk_ui_tests PRIVATE orbisk_ui Qt6::Test)
# The cable tests pull simulated cameras out with the real orbisk-sim.
target_compile_definitions(orbisk_ui_tests PRIVATE ORBISK_TOOLS_DIR="${CMAKE_BINARY_DIR}/tools")
add_dependencies(orbisk_ui_tests orbisk-sim)
foreach(test_class DialogTest WorkerTest HelperThreadTest SimDialogTest CableDialogTest SimOperatorTest
        LayoutTest SimImageTest)
    add_test(NAME ui.${test_class} COMMAND orbisk_ui_tests ${test_class})
    set_tests_properties(ui.${test_class} PROPERTIES TIMEOUT 120
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endforeach()
# The layout again with larger fonts: the font DPI of a 120 and a 144 DPI screen, without
# Qt's scaling, so that every size in the window grows with the text.
foreach(dpi 120 144)
    add_test(NAME ui.LayoutTest.dpi${dpi} COMMAND orbisk_ui_tests LayoutTest)
    set_tests_properties(ui.LayoutTest.dpi${dpi} PROPERTIES TIMEOUT 120
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_ENABLE_HIGHDPI_SCALING=0;QT_FONT_DPI=${dpi}")
endforeach()
