# vesk_add_test(<name> <source>... [GUI])
# One Qt Test executable per class or area, run by ctest without a display.
function(vesk_add_test name)
    cmake_parse_arguments(ARG "" "" "" ${ARGN})
    set(target tst_${name})
    add_executable(${target} ${ARG_UNPARSED_ARGUMENTS})
    target_link_libraries(${target} PRIVATE vesklib Qt6::Test)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    target_compile_definitions(${target} PRIVATE
        VESK_EXECUTABLE="$<TARGET_FILE:vesk>")
    add_dependencies(${target} vesk)
    add_test(NAME ${name} COMMAND ${target})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
        TIMEOUT 120)
endfunction()
