# cmake -DFROM=dir -DTO=dir -DNAMES=a;b -P CopyAbsent.cmake: copies each named file from FROM to TO
# unless TO already has a file of that name.
file(MAKE_DIRECTORY ${TO})
foreach(name IN LISTS NAMES)
    if(NOT EXISTS ${TO}/${name})
        file(COPY_FILE ${FROM}/${name} ${TO}/${name})
        message(STATUS "Sample ${TO}/${name}")
    endif()
endforeach()
