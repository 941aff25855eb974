# cmake --install into a fresh prefix puts the programs, the desktop entry and its icon, the manual
# pages, the samples, the copyright file and the changelog in place; the entry passes
# desktop-file-validate and claims no file type, and man renders both pages without a warning.
# Without those two tools the rest is still checked and the test says it was skipped.
#   cmake -DBUILD=dir -DPREFIX=dir -DVALIDATE=desktop-file-validate -DMAN=man -P InstallsEverythingInItsPlace.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(pages share/man/man1/tulverkan.1.gz share/man/man1/tulverkan-batch.1.gz)
foreach(file bin/tulverkan bin/tulverkan-batch share/applications/tulverkan.desktop
             share/icons/hicolor/scalable/apps/tulverkan.svg ${pages}
             share/tulverkan/Tulverkan.xlsx share/tulverkan/Bestilling.xlsx
             share/doc/tulverkan/copyright share/doc/tulverkan/changelog.gz)
    if(NOT EXISTS ${PREFIX}/${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
file(STRINGS ${PREFIX}/share/applications/tulverkan.desktop entry)
foreach(line IN LISTS entry)
    if(line MATCHES "^MimeType")
        message(FATAL_ERROR "the entry claims file types: ${line}")
    endif()
endforeach()

set(skipped)
if(VALIDATE)
    execute_process(COMMAND ${VALIDATE} ${PREFIX}/share/applications/tulverkan.desktop
                    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT result EQUAL 0 OR NOT out STREQUAL "")
        message(FATAL_ERROR "desktop-file-validate: ${out}")
    endif()
else()
    list(APPEND skipped "desktop-file-validate")
endif()
if(MAN)
    # As lintian checks them: every groff warning is printed, the output itself is of no interest.
    foreach(page IN LISTS pages)
        execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANWIDTH=80
                                ${MAN} --warnings -E UTF-8 -l -Tutf8 -Z ${PREFIX}/${page}
                        RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE warnings)
        if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
            message(FATAL_ERROR "man ${page}: ${result} ${warnings}")
        endif()
    endforeach()
else()
    list(APPEND skipped "man")
endif()
file(REMOVE_RECURSE ${PREFIX})
if(skipped)
    message(NOTICE "SKIPPED: not installed here, so not checked: ${skipped} (scripts/setup --test)")
endif()
