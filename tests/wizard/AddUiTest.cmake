include_guard(GLOBAL)

# One Qt Test executable against the real wizard and pages, run offscreen.
function(add_ui_test name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE tiskar_ui tiskar_test_support tiskar_test_widgets Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
endfunction()
