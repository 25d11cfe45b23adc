# Embedded resources: the chip profiles and the firmware images the program carries, written
# into a generated source by orbisk-resgen. The generator is built from the image sources it
# needs, not from orbisk_core, which contains its output.
set(ORBISK_EMBED_RFW "" CACHE STRING
    "Own firmware images to embed in place of the demo images, as ID=path.rfw;ID=path.rfw")

set(image_dir ${CMAKE_SOURCE_DIR}/src/image)
add_executable(orbisk-resgen ${image_dir}/resgen/main.cpp ${image_dir}/demo_image.cpp
               ${image_dir}/descriptor.cpp ${image_dir}/config_builder.cpp)
target_include_directories(orbisk-resgen PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(orbisk-resgen PRIVATE ZLIB::ZLIB)

file(GLOB profile_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/profiles/*.ini)
set(resgen_args)
set(resgen_inputs ${profile_files})
foreach(profile ${profile_files})
    get_filename_component(id ${profile} NAME_WE)
    list(APPEND resgen_args --ini ${id}=${profile})
endforeach()
foreach(entry ${ORBISK_EMBED_RFW})
    string(FIND "${entry}" "=" eq)
    if(eq LESS 1)
        message(FATAL_ERROR "ORBISK_EMBED_RFW: expected ID=path, got '${entry}'")
    endif()
    math(EXPR path_start "${eq} + 1")
    string(SUBSTRING "${entry}" ${path_start} -1 rfw_path)
    # Relative paths are taken from the top of the source tree.
    get_filename_component(rfw_path "${rfw_path}" ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
    if(NOT EXISTS "${rfw_path}")
        message(FATAL_ERROR "ORBISK_EMBED_RFW: ${rfw_path} does not exist")
    endif()
    string(SUBSTRING "${entry}" 0 ${eq} rfw_id)
    list(APPEND resgen_args --rfw ${rfw_id}=${rfw_path})
    list(APPEND resgen_inputs ${rfw_path})
endforeach()

set(embedded_cpp ${CMAKE_BINARY_DIR}/generated/embedded_resources.cpp)
add_custom_command(
    OUTPUT ${embedded_cpp}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
    COMMAND orbisk-resgen --out ${embedded_cpp} ${resgen_args}
    DEPENDS orbisk-resgen ${resgen_inputs}
    COMMENT "Embedding chip profiles and firmware images"
    VERBATIM)
target_sources(orbisk_core PRIVATE ${embedded_cpp})
