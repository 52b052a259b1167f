# The Windows build: the device layer with Windows' own calls and test
# programs that run under Wine; with a static Qt 5.15 for MinGW in
# CMAKE_PREFIX_PATH also the wizard itself, TiskarUpd.exe, in one file.
enable_language(RC)
# No MinGW runtime DLLs beside the programs: Windows does not have them.
# Release programs carry no symbols.
add_link_options(-static $<$<CONFIG:Release,MinSizeRel>:-s>)

# Wirelet.dll comes with the board's driver and is linked at load time
# through an import library made from the list of its seven calls.
set(TISKAR_WIRELET_CALL "" CACHE STRING "Calling convention of Wirelet.dll's calls (empty: C's; or __stdcall)")
if(TISKAR_WIRELET_CALL STREQUAL "__stdcall")
    set(wirelet_def ${PROJECT_SOURCE_DIR}/transport/Wirelet-stdcall.def)
    set(wirelet_dlltool_options --kill-at)
else()
    set(wirelet_def ${PROJECT_SOURCE_DIR}/transport/Wirelet.def)
    set(wirelet_dlltool_options)
endif()
set(wirelet_implib ${CMAKE_BINARY_DIR}/lib/libWirelet.dll.a)
add_custom_command(OUTPUT ${wirelet_implib}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/lib
    COMMAND ${CMAKE_DLLTOOL} -d ${wirelet_def} -l ${wirelet_implib} -D Wirelet.dll ${wirelet_dlltool_options}
    DEPENDS ${wirelet_def}
    COMMENT "Making the import library of Wirelet.dll"
    VERBATIM)
add_custom_target(wirelet_import_library DEPENDS ${wirelet_implib})
add_library(wirelet INTERFACE)
add_dependencies(wirelet wirelet_import_library)
target_include_directories(wirelet INTERFACE ${PROJECT_SOURCE_DIR}/transport)
target_link_libraries(wirelet INTERFACE ${wirelet_implib})
if(TISKAR_WIRELET_CALL)
    target_compile_definitions(wirelet INTERFACE "WIRELET_CALL=${TISKAR_WIRELET_CALL}")
endif()

add_subdirectory(common)
add_subdirectory(device)

# The executable's resources: the image, the icon group, the version block
# and the manifest. Every program that looks its image up carries the script.
set(TISKAR_ICON_FILE ${PROJECT_SOURCE_DIR}/resources/TiskarUpd.ico)
set(TISKAR_MANIFEST_FILE ${CMAKE_BINARY_DIR}/TiskarUpd.manifest)
configure_file(${PROJECT_SOURCE_DIR}/app/TiskarUpd.manifest.in ${TISKAR_MANIFEST_FILE} @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/app/TiskarUpd.rc.in ${CMAKE_BINARY_DIR}/TiskarUpd.rc @ONLY)
set(TISKAR_RESOURCE_SCRIPT ${CMAKE_BINARY_DIR}/TiskarUpd.rc)
# windres reads these files; each folder that compiles the script is told, as
# a source file's properties belong to the folder that sets them.
function(tiskar_resource_script_inputs folder)
    set_source_files_properties(${TISKAR_RESOURCE_SCRIPT} DIRECTORY ${folder} PROPERTIES
        OBJECT_DEPENDS "${TISKAR_FIRMWARE_IMAGE_FILE};${TISKAR_ICON_FILE};${TISKAR_MANIFEST_FILE}")
endfunction()
tiskar_resource_script_inputs(${PROJECT_SOURCE_DIR})

# The wizard. Debian has no Qt for MinGW: without one only the layers below
# are built. Looked for before the tests, one of which needs Qt's Core.
find_package(Qt5 5.15 QUIET COMPONENTS Widgets Test)

add_subdirectory(tools/board-sim)
add_subdirectory(tests/windows)
tiskar_resource_script_inputs(${PROJECT_SOURCE_DIR}/tests/windows)

if(NOT Qt5_FOUND)
    message(STATUS "No Qt 5.15 for MinGW in CMAKE_PREFIX_PATH: TiskarUpd.exe is not built")
    return()
endif()
# The texts' catalogues are compiled by Qt 5's lrelease: the Qt folder's own
# on Windows, the host's (Debian's qttools5-dev-tools) when cross-building.
find_package(Qt5LinguistTools 5.15 REQUIRED
    HINTS /usr/lib/${CMAKE_HOST_SYSTEM_PROCESSOR}-linux-gnu/cmake/Qt5LinguistTools)
set(TISKAR_QT_MAJOR 5)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)
add_subdirectory(wizard)
add_subdirectory(pages)
add_subdirectory(app)
tiskar_resource_script_inputs(${PROJECT_SOURCE_DIR}/app)
# The MSI and the portable zip (`--target release`).
add_subdirectory(packaging/windows)
# The layout test, with the platform's own fonts and display scale.
add_subdirectory(tests/windows/layout)

# How long the image check takes under Windows (a benchmark; it measures).
add_executable(bench-image-check ${PROJECT_SOURCE_DIR}/bench/bench_image_check.cpp ${TISKAR_RESOURCE_SCRIPT})
target_link_libraries(bench-image-check PRIVATE tiskar_image_check tiskar_device tiskar_firmware_image tiskar_warnings)
add_subdirectory(tests/windows/pages)
