# The build's copy of the samples into Data/: a missing file is copied, a file already there (the
# user's own inventory) is left exactly as it is.
#   cmake -DSCRIPT=samples/CopyAbsent.cmake -DWORK=dir -P SamplesKeepTheUsersFiles.cmake
file(REMOVE_RECURSE ${WORK})
file(WRITE ${WORK}/made/Tulverkan.xlsx "sample inventory")
file(WRITE ${WORK}/made/Bestilling.xlsx "sample order")
file(WRITE ${WORK}/Data/Tulverkan.xlsx "the user's inventory")
execute_process(COMMAND ${CMAKE_COMMAND} -DFROM=${WORK}/made -DTO=${WORK}/Data
                        "-DNAMES=Tulverkan.xlsx;Bestilling.xlsx" -P ${SCRIPT}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "CopyAbsent.cmake failed: ${result}")
endif()
file(READ ${WORK}/Data/Tulverkan.xlsx kept)
file(READ ${WORK}/Data/Bestilling.xlsx copied)
if(NOT kept STREQUAL "the user's inventory")
    message(FATAL_ERROR "an existing inventory was replaced: ${kept}")
endif()
if(NOT copied STREQUAL "sample order")
    message(FATAL_ERROR "a missing sample was not copied: ${copied}")
endif()
file(REMOVE_RECURSE ${WORK})
