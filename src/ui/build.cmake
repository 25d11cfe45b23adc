# The Qt front end: the dialog, its worker and helper threads, and the `orbisk` executable,
# whose main hands the dialog runner to start-up. Only this folder includes Qt.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

file(GLOB ui_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp ${CMAKE_CURRENT_LIST_DIR}/*.h)
list(FILTER ui_sources EXCLUDE REGEX ".*/main\\.cpp$")
add_library(orbisk_ui STATIC ${ui_sources})
set_target_properties(orbisk_ui PROPERTIES AUTOMOC ON)
target_link_libraries(orbisk_ui PUBLIC orbisk_core Qt6::Widgets)

add_executable(orbisk ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(orbisk PRIVATE orbisk_ui)
