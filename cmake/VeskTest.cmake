# vesk_add_test(<name> LINKS <target>... SOURCES <source>...)
# One Qt Test executable per area, linked against the smallest layer it needs and
# run by ctest without a display.
function(vesk_add_test name)
    cmake_parse_arguments(ARG "" "" "LINKS;SOURCES" ${ARGN})
    set(target tst_${name})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LINKS} Qt6::Test)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    target_compile_definitions(${target} PRIVATE
        VESK_EXECUTABLE="$<TARGET_FILE:vesk>"
        VESK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    add_dependencies(${target} vesk)
    add_test(NAME ${name} COMMAND ${target})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
        TIMEOUT 120)
endfunction()
