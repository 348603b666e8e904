# What a DarkBASIC Professional user gets besides the plug-in: the version
# header of the DLL's version resource, the editor keywords and help pages
# made from docs/commands.txt at build time, and (on the Windows build) the
# release zip laid out as the host's install folder.
# The Debian interpreter that scripts/install-deps.sh installs comes first.
find_program(KEP_PYTHON NAMES python3 HINTS /usr/bin REQUIRED)

set(KEP_VERSION_HEADER ${CMAKE_BINARY_DIR}/generated/kep_version.h)
configure_file(${CMAKE_SOURCE_DIR}/src/plugin/version.h.in ${KEP_VERSION_HEADER} @ONLY)

# The generated tree mirrors the host's install folder (Editor/, Help/).
set(KEP_RELEASE_TREE ${CMAKE_BINARY_DIR}/release)
set(KEP_KEYWORDS_FILE ${KEP_RELEASE_TREE}/Editor/Keywords/KEPImport.ini)
set(KEP_HELP_INDEX ${KEP_RELEASE_TREE}/Help/addoncommands/KEPImport/index.htm)
add_custom_command(OUTPUT ${KEP_KEYWORDS_FILE} ${KEP_HELP_INDEX}
    COMMAND ${KEP_PYTHON} -B ${CMAKE_SOURCE_DIR}/scripts/make_help.py
        --reference ${CMAKE_SOURCE_DIR}/docs/commands.txt
        --table ${CMAKE_SOURCE_DIR}/src/plugin/command_table.inc
        --out ${KEP_RELEASE_TREE}
    DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make_help.py ${CMAKE_SOURCE_DIR}/scripts/kep_reference.py
        ${CMAKE_SOURCE_DIR}/docs/commands.txt ${CMAKE_SOURCE_DIR}/src/plugin/command_table.inc
    COMMENT "Writing the editor keywords and help pages"
    VERBATIM)
add_custom_target(kep_help ALL DEPENDS ${KEP_KEYWORDS_FILE} ${KEP_HELP_INDEX})

# Both builds agree on where the zip goes: the Windows build writes it, the
# Linux build's tests open it.
set(KEP_PACKAGE_DIR "${CMAKE_SOURCE_DIR}/dist" CACHE PATH "Where `make package` writes the release zip")
set(KEP_PACKAGE_ZIP ${KEP_PACKAGE_DIR}/KEPImport-${PROJECT_VERSION}.zip)

if(WIN32)
    file(GLOB KEP_EXAMPLE_FILES CONFIGURE_DEPENDS
        ${CMAKE_SOURCE_DIR}/examples/dbpro/* ${CMAKE_SOURCE_DIR}/examples/sample/*)
    add_custom_command(OUTPUT ${KEP_PACKAGE_ZIP}
        COMMAND ${KEP_PYTHON} -B ${CMAKE_SOURCE_DIR}/scripts/make_package.py
            --dll $<TARGET_FILE:KEPImport> --help-tree ${KEP_RELEASE_TREE}
            --examples ${CMAKE_SOURCE_DIR}/examples
            --readme ${CMAKE_SOURCE_DIR}/docs/package-readme.txt
            --version ${PROJECT_VERSION} --out ${KEP_PACKAGE_DIR}
        DEPENDS KEPImport $<TARGET_FILE:KEPImport> ${KEP_KEYWORDS_FILE} ${KEP_HELP_INDEX}
            ${KEP_EXAMPLE_FILES} ${CMAKE_SOURCE_DIR}/docs/package-readme.txt
            ${CMAKE_SOURCE_DIR}/scripts/make_package.py
        COMMENT "Writing ${KEP_PACKAGE_ZIP}"
        VERBATIM)
    add_custom_target(kep_package DEPENDS ${KEP_PACKAGE_ZIP})
endif()
