cmake_minimum_required(VERSION 3.25)
# Installs the build into a scratch folder, makes the ZIP, and checks both file lists.
#   cmake -DBUILD=<build dir> -DSCRATCH=<folder> -DARCH=x86|x64 [-DZIP_ARCHS="x86;x64"] -P CheckPackage.cmake
# The installation holds the tree's own architecture; the ZIP holds ZIP_ARCHS (default: the same).
function(expected_files out archs)
    set(files README.md examples/cpp/EarlyBoundClient.cpp examples/jscript/vrkauth-sample.js
              examples/vbscript/vrkauth-sample.vbs include/vrksolauth.h include/vrksolauth_i.c)
    foreach(arch IN LISTS archs)
        list(APPEND files ${arch}/bin/VEYRAK.Vrksolauth.manifest ${arch}/bin/vrkauth-regfree.exe
                          ${arch}/bin/vrkauth.exe ${arch}/bin/vrksolauth.dll ${arch}/bin/vrksolauth.tlb
                          ${arch}/substitutes/README.md ${arch}/substitutes/WARNING.txt
                          ${arch}/substitutes/vrksim.exe ${arch}/substitutes/vrksimulator.dll)
    endforeach()
    list(SORT files)
    set(${out} ${files} PARENT_SCOPE)
endfunction()
if(NOT ZIP_ARCHS)
    set(ZIP_ARCHS ${ARCH})
endif()
expected_files(expected ${ARCH})
expected_files(expected_zip "${ZIP_ARCHS}")

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
if(NOT zipped STREQUAL expected_zip)
    message(FATAL_ERROR "ZIP holds:\n  ${zipped}\nexpected:\n  ${expected_zip}")
endif()
message(STATUS "installed: ${expected}\nzipped (${zips}): ${expected_zip}")
