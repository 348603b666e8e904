# Writes the sample map afresh and compares every file with the bundled copy.
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
execute_process(COMMAND "${MAKER}" "${SCRATCH}" RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the sample map maker failed: ${result}")
endif()
foreach(name sample.kep floor.bmp wall.bmp crate.bmp)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${SCRATCH}/${name}" "${BUNDLED}/${name}"
        RESULT_VARIABLE different)
    if(different)
        message(FATAL_ERROR "${BUNDLED}/${name} is out of date: run make_sample_map examples/sample")
    endif()
endforeach()
