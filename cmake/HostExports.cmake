# Reads the table of host functions and writes the module definitions of the
# stand-in host's Windows DLLs into `out_dir`:
#   DBProCore.def           the core functions under their lookup names, and
#                           one plainly named entry per module function
#                           (simhost_<module>_<name>);
#   simhost_<module>.def    each module function under its lookup name,
#                           forwarded to that entry of DBProCore.dll.
# Module functions go through DLLs of their own because two modules export the
# same lookup name ("?DeleteEx@@YAXH@Z" is in the image and the 3D-object module).
# Optional functions are exported like the others: the stand-in host plays a
# release that has them (tests hide one to play a release that lacks it).
function(kep_generate_host_defs table out_dir)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${table}")
    file(STRINGS "${table}" rows REGEX "^HOST_(CORE_|OPTIONAL_)?FUNCTION\\(")
    set(core "LIBRARY DBProCore.dll\nEXPORTS\n")
    set(modules "")
    foreach(row IN LISTS rows)
        if(row MATCHES "^HOST_CORE_FUNCTION\\(([A-Za-z0-9_]+), \"([^\"]+)\"\\)$")
            string(APPEND core "    \"${CMAKE_MATCH_2}\" = simhost_core_${CMAKE_MATCH_1}\n")
        elseif(row MATCHES "^HOST_(OPTIONAL_)?FUNCTION\\(([a-z]+), [A-Za-z]+, [A-Z]+, ([A-Za-z0-9_]+), .*\"([^\"]+)\"\\)$")
            set(module ${CMAKE_MATCH_2})
            set(entry simhost_${module}_${CMAKE_MATCH_3})
            if(NOT module IN_LIST modules)
                list(APPEND modules ${module})
                set(def_${module} "LIBRARY simhost_${module}.dll\nEXPORTS\n")
            endif()
            string(APPEND core "    ${entry}\n")
            string(APPEND def_${module} "    \"${CMAKE_MATCH_4}\" = DBProCore.${entry}\n")
        else()
            message(FATAL_ERROR "${table}: cannot read the row ${row}")
        endif()
    endforeach()
    foreach(name IN ITEMS core ${modules})
        set(file "${out_dir}/simhost_${name}.def")
        set(text "${def_${name}}")
        if(name STREQUAL "core")
            set(file "${out_dir}/DBProCore.def")
            set(text "${core}")
        endif()
        # Written only when changed, so that an unchanged table relinks nothing.
        file(WRITE "${file}.tmp" "${text}")
        configure_file("${file}.tmp" "${file}" COPYONLY)
    endforeach()
    set(KEP_HOST_MODULES ${modules} PARENT_SCOPE)
endfunction()
