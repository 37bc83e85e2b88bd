cmake_minimum_required(VERSION 3.25)
# Installs the build into a scratch folder, makes the ZIP, and checks both file lists.
#   cmake -DBUILD=<build dir> -DSCRATCH=<folder> -P CheckPackage.cmake
set(expected
    README.md
    bin/vrkauth.exe
    bin/vrksolauth.dll
    bin/vrksolauth.tlb
    examples/cpp/EarlyBoundClient.cpp
    examples/jscript/vrkauth-sample.js
    examples/vbscript/vrkauth-sample.vbs
    include/vrksolauth.h
    include/vrksolauth_i.c
    substitutes/README.md
    substitutes/WARNING.txt
    substitutes/vrksim.exe
    substitutes/vrksimulator.dll)

file(REMOVE_RECURSE ${SCRATCH})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${SCRATCH}/installed
    RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed")
endif()
file(GLOB_RECURSE installed RELATIVE ${SCRATCH}/installed ${SCRATCH}/installed/*)
list(SORT installed)
if(NOT installed STREQUAL expected)
    message(FATAL_ERROR "installed files:\n  ${installed}\nexpected:\n  ${expected}")
endif()

execute_process(COMMAND cpack -G ZIP --config ${BUILD}/CPackConfig.cmake -B ${SCRATCH}/package
    RESULT_VARIABLE status OUTPUT_QUIET)
file(GLOB zips ${SCRATCH}/package/*.zip)
list(LENGTH zips zip_count)
if(NOT status EQUAL 0 OR NOT zip_count EQUAL 1)
    message(FATAL_ERROR "cpack made no single ZIP (status ${status}): ${zips}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${zips} OUTPUT_VARIABLE listing)
string(REGEX MATCHALL "[^\n]+" entries "${listing}")
set(zipped "")
foreach(entry IN LISTS entries)
    # Entries sit under one top folder named after the package; folders have no files.
    if(NOT entry MATCHES "/$")
        string(FIND "${entry}" "/" slash)
        math(EXPR slash "${slash} + 1")
        string(SUBSTRING "${entry}" ${slash} -1 entry)
        list(APPEND zipped ${entry})
    endif()
endforeach()
list(SORT zipped)
if(NOT zipped STREQUAL expected)
    message(FATAL_ERROR "ZIP holds:\n  ${zipped}\nexpected:\n  ${expected}")
endif()
message(STATUS "installed and zipped: ${expected}")
