# vesk_translation_template: gathers every string the sources pass through tr()
# into translations/vesk.ts in the build folder, the file a translator starts from
# (Qt Linguist opens it; `lupdate -target-language de` turns a copy into vesk_de.ts).
# The linguist tools are optional: without them the target only says what is missing.
find_package(Qt6 QUIET COMPONENTS LinguistTools)
if(TARGET Qt6::lupdate)
    set(VESK_LUPDATE_COMMAND $<TARGET_FILE:Qt6::lupdate>)
else()
    find_program(VESK_LUPDATE_PROGRAM NAMES lupdate-qt6 lupdate
                 HINTS /usr/lib/qt6/bin ${QT6_INSTALL_PREFIX}/bin)
    set(VESK_LUPDATE_COMMAND ${VESK_LUPDATE_PROGRAM})
endif()

set(VESK_TRANSLATION_TEMPLATE ${PROJECT_BINARY_DIR}/translations/vesk.ts)
if(VESK_LUPDATE_COMMAND)
    add_custom_target(vesk_translation_template
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/translations
        COMMAND ${VESK_LUPDATE_COMMAND} -silent -no-obsolete -locations none
                -extensions cpp,h ${PROJECT_SOURCE_DIR}/src -ts ${VESK_TRANSLATION_TEMPLATE}
        BYPRODUCTS ${VESK_TRANSLATION_TEMPLATE}
        COMMENT "Gathering the strings to translate into translations/vesk.ts"
        VERBATIM)
else()
    message(STATUS "Qt's lupdate was not found: the translation template cannot be made "
                   "(Debian: apt install qt6-l10n-tools)")
    add_custom_target(vesk_translation_template
        COMMAND ${CMAKE_COMMAND} -E echo
                "lupdate was not found, so no translation template was made (Debian: apt install qt6-l10n-tools)"
        VERBATIM)
endif()
