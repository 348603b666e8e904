# The stand-in host's Windows DLLs: DBProCore.dll with the host's state and
# exports generated from the host function table, and one forwarding DLL per
# module whose handle goes into the global structure.
include(${CMAKE_SOURCE_DIR}/cmake/HostExports.cmake)
set(SIMHOST_DEF_DIR ${CMAKE_BINARY_DIR}/simhost/defs)
file(MAKE_DIRECTORY ${SIMHOST_DEF_DIR})
kep_generate_host_defs(${CMAKE_SOURCE_DIR}/src/host/host_functions.def ${SIMHOST_DEF_DIR})

# The image codec's headers live in the build machine's /usr/include, which the
# cross compiler does not search; a directory holding only a link to them does.
set(SIMHOST_STB_DIR ${CMAKE_BINARY_DIR}/simhost/stb-include)
file(MAKE_DIRECTORY ${SIMHOST_STB_DIR})
file(CREATE_LINK /usr/include/stb ${SIMHOST_STB_DIR}/stb SYMBOLIC)

# GCC 12's optimiser reports std::map::swap with a temporary (how the stores
# let their memory go) as a dangling pointer; the libstdc++ code is sound.
target_compile_options(simhost PRIVATE -Wno-dangling-pointer)
target_sources(simhost PRIVATE windows/host_exports.cpp ${SIMHOST_DEF_DIR}/DBProCore.def)
target_include_directories(simhost SYSTEM PRIVATE ${SIMHOST_STB_DIR})
set_source_files_properties(windows/host_exports.cpp PROPERTIES
    INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR}/src
    OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/src/host/host_functions.def)
# Self-contained like the plug-in: no MinGW runtime DLLs beside it.
set(SIMHOST_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
target_link_options(simhost PRIVATE ${SIMHOST_STATIC_RUNTIME})

foreach(module IN LISTS KEP_HOST_MODULES)
    add_library(simhost_${module} SHARED windows/module_dll.cpp
        ${SIMHOST_DEF_DIR}/simhost_${module}.def)
    set_target_properties(simhost_${module} PROPERTIES PREFIX "" SUFFIX ".dll"
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/simhost)
    target_link_options(simhost_${module} PRIVATE ${SIMHOST_STATIC_RUNTIME})
    # Whoever builds the core module gets the modules it loads beside it.
    add_dependencies(simhost simhost_${module})
endforeach()
# What a program that carries the stand-in host copies beside itself.
set(SIMHOST_DLL_TARGETS simhost)
foreach(module IN LISTS KEP_HOST_MODULES)
    list(APPEND SIMHOST_DLL_TARGETS simhost_${module})
endforeach()
set_property(GLOBAL PROPERTY KEP_HOST_DLL_TARGETS ${SIMHOST_DLL_TARGETS})

# Tools (kep.exe) also call the stand-in host's own C++ interface
# (simhost/*.h), which DBProCore.dll exports beside the host functions. They
# bind to it through a delay-load import: nothing of DBProCore.dll is looked
# up until the tool has loaded it by its full path from its own folder, and
# the module of that name is then the one already loaded. An ordinary import
# would make Windows search for DBProCore.dll beside the tool before it runs.
target_link_options(simhost PRIVATE -Wl,--export-all-symbols -Wl,--exclude-libs,ALL
    -Wl,--output-def,${SIMHOST_DEF_DIR}/DBProCore.exported.def)
find_program(KEP_DLLTOOL NAMES i686-w64-mingw32-dlltool REQUIRED)
set(SIMHOST_DELAYLIB ${CMAKE_BINARY_DIR}/simhost/libDBProCore_delayed.a)
# Only functions of the simhost namespace: a delayed import takes no data.
add_custom_command(OUTPUT ${SIMHOST_DELAYLIB}
    COMMAND sh -c "grep -E '^(LIBRARY|EXPORTS)|_ZN7simhost' \"$1\" | grep -v ' DATA' > \"$2\""
        filter ${SIMHOST_DEF_DIR}/DBProCore.exported.def ${SIMHOST_DEF_DIR}/DBProCore.api.def
    COMMAND ${KEP_DLLTOOL} --input-def ${SIMHOST_DEF_DIR}/DBProCore.api.def
        --dllname DBProCore.dll --output-delaylib ${SIMHOST_DELAYLIB}
    DEPENDS simhost
    VERBATIM)
add_custom_target(simhost_api_delaylib DEPENDS ${SIMHOST_DELAYLIB})
add_library(simhost_api INTERFACE)
target_include_directories(simhost_api INTERFACE include ${CMAKE_SOURCE_DIR}/include)
target_link_libraries(simhost_api INTERFACE ${SIMHOST_DELAYLIB})
add_dependencies(simhost_api simhost_api_delaylib)
