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
