# Qt 5 has no qt_add_translations: the same catalogues, compiled with
# lrelease and embedded under the same prefix, so the program finds them
# alike with either Qt.
#   tiskar_qt5_add_translations(target TS_FILES file.ts... RESOURCE_PREFIX /prefix)
function(tiskar_qt5_add_translations target)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "RESOURCE_PREFIX" "TS_FILES")
    set(qm_dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_qm)
    file(MAKE_DIRECTORY ${qm_dir})
    set_source_files_properties(${ARG_TS_FILES} PROPERTIES OUTPUT_LOCATION ${qm_dir})
    qt5_add_translation(qm_files ${ARG_TS_FILES})

    set(entries "")
    foreach(qm IN LISTS qm_files)
        get_filename_component(name ${qm} NAME)
        string(APPEND entries "        <file alias=\"${name}\">${qm}</file>\n")
    endforeach()
    set(qrc ${CMAKE_CURRENT_BINARY_DIR}/${target}_translations.qrc)
    file(CONFIGURE OUTPUT ${qrc} CONTENT
"<RCC>\n    <qresource prefix=\"${ARG_RESOURCE_PREFIX}\">\n${entries}    </qresource>\n</RCC>\n")

    # A resource's registration is referenced by nothing, so from a static
    # library the linker would drop it: its object goes into every program
    # that links the library instead, as Qt 6 does.
    set(resources ${target}_translations)
    qt5_add_resources(rcc_source ${qrc} OPTIONS --name ${resources})
    set_source_files_properties(${rcc_source} PROPERTIES SKIP_AUTOGEN ON)
    add_library(${resources} OBJECT ${rcc_source})
    target_link_libraries(${resources} PRIVATE Qt5::Core)
    set_target_properties(${resources} PROPERTIES AUTOMOC OFF)
    target_sources(${target} INTERFACE $<TARGET_OBJECTS:${resources}>)
    add_dependencies(${target} ${resources})
endfunction()
