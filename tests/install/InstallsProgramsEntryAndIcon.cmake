# cmake --install into a fresh prefix puts both programs, the desktop entry and the icon in place, and
# the entry passes desktop-file-validate and claims no file type.
#   cmake -DBUILD=dir -DPREFIX=dir -DVALIDATE=desktop-file-validate -P InstallsProgramsEntryAndIcon.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(file bin/tulverkan bin/tulverkan-batch share/applications/tulverkan.desktop
             share/icons/hicolor/scalable/apps/tulverkan.svg)
    if(NOT EXISTS ${PREFIX}/${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
execute_process(COMMAND ${VALIDATE} ${PREFIX}/share/applications/tulverkan.desktop
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 0 OR NOT out STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate: ${out}")
endif()
file(STRINGS ${PREFIX}/share/applications/tulverkan.desktop entry)
foreach(line IN LISTS entry)
    if(line MATCHES "^MimeType")
        message(FATAL_ERROR "the entry claims file types: ${line}")
    endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
