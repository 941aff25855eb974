# Both programs answer --version with their name and the project's version, and the window does so
# without a display (none is set here).
#   cmake -DWINDOW=tulverkan -DBATCH=tulverkan-batch -DVERSION=x.y -P ProgramsPrintTheProjectVersion.cmake
foreach(program ${WINDOW} ${BATCH})
    get_filename_component(name ${program} NAME)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                            --unset=QT_QPA_PLATFORM ${program} --version
                    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT result EQUAL 0 OR NOT out STREQUAL "${name} ${VERSION}\n" OR NOT err STREQUAL "")
        message(FATAL_ERROR "${name} --version: status ${result}, out '${out}', err '${err}'")
    endif()
endforeach()
