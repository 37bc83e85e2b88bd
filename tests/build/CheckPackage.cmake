cmake_minimum_required(VERSION 3.25)
# Checks what is shipped against one `cmake --install` of the build: the installed files, the
# built ZIP's (ZIP_ARCHS' files), SHA256SUMS beside it, and, without Wine, what installing the
# architecture's Windows Installer package cannot show: that it carries exactly the registered
# deployment's files of the installation, byte for byte (the MSI test compares an installation
# with the package itself), and registers by its tables alone, as a package of its architecture
# (where 32-bit programs cannot run, all that checks the x86 package).
#   cmake -DBUILD=<build dir> -DSCRATCH=<folder> -DARCH=x86|x64 -DZIP=<zip> -DZIP_ARCHS="x86;x64"|x86|x64
#         -DMSI=<package> -DMSIINFO=<msiinfo> -DMSIEXTRACT=<msiextract> -P CheckPackage.cmake
set(problems "")
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
# expect_files(<what> <files> <expected files>)
function(expect_files what files expected)
    if(NOT files STREQUAL expected)
        set(problems "${problems}\n  ${what}:\n    ${files}\n  expected:\n    ${expected}" PARENT_SCOPE)
    endif()
endfunction()
# export(<variable> <table>): msiinfo's export of one of the package's tables, after a line break:
# a line each of column names, types and key, then one a row, columns apart by tabs. Empty when
# the package has no such table.
function(export variable name)
    execute_process(COMMAND ${MSIINFO} export ${MSI} ${name} OUTPUT_VARIABLE text ERROR_QUIET)
    string(REPLACE "\r" "" text "\n${text}")
    set(${variable} "${text}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${SCRATCH})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${SCRATCH}/installed RESULT_VARIABLE status OUTPUT_QUIET)
execute_process(COMMAND ${MSIEXTRACT} -C ${SCRATCH}/msi ${MSI} RESULT_VARIABLE extracted OUTPUT_QUIET)
# SHA256SUMS names the ZIP and the packages beside it, and each matches.
get_filename_component(zip_folder ${ZIP} DIRECTORY)
execute_process(COMMAND sha256sum --check --strict SHA256SUMS WORKING_DIRECTORY ${zip_folder}
    RESULT_VARIABLE summed OUTPUT_VARIABLE sums ERROR_VARIABLE sums)
get_filename_component(zip_name ${ZIP} NAME)
get_filename_component(msi_name ${MSI} NAME)
if(NOT status EQUAL 0 OR NOT extracted EQUAL 0 OR NOT summed EQUAL 0 OR NOT sums MATCHES "${zip_name}: OK"
   OR NOT sums MATCHES "${msi_name}: OK")
    message(FATAL_ERROR "cmake --install (${status}), msiextract (${extracted}) or the checksums failed:\n${sums}")
endif()

file(GLOB_RECURSE installed RELATIVE ${SCRATCH}/installed ${SCRATCH}/installed/*)
list(SORT installed)
expected_files(expected ${ARCH})
expect_files("installed files" "${installed}" "${expected}")

# The ZIP's entries sit under one top folder named after the package.
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${ZIP} OUTPUT_VARIABLE listing)
string(REGEX MATCHALL "[^\n]+" zipped "${listing}")
list(FILTER zipped EXCLUDE REGEX "/$")
list(TRANSFORM zipped REPLACE "^[^/]*/(.*)$" "\\1")
list(SORT zipped)
expected_files(expected "${ZIP_ARCHS}")
expect_files("the ZIP holds" "${zipped}" "${expected}")

# The package: the bin/ folder's contents at the top of its installation folder, the header and
# the samples, each as installed. Not in it: the registration-free files serve copies in a
# client's own folder, the package registers its server instead; the substitutes must never reach
# a machine by the package that also serves the real product; the README is about building and
# testing. msiextract lays a package out below a folder of its own choosing for Program Files.
set(expected ${installed})
list(FILTER expected EXCLUDE REGEX "^(README.md|${ARCH}/substitutes/.*|${ARCH}/bin/(VEYRAK.Vrksolauth.manifest|vrkauth-regfree.exe))$")
list(TRANSFORM expected REPLACE "^${ARCH}/bin/" "")
list(SORT expected)
file(GLOB_RECURSE folder LIST_DIRECTORIES true ${SCRATCH}/msi/*)
list(FILTER folder INCLUDE REGEX "/VEYRAK/vrksolauth$")
list(LENGTH folder folder_count)
if(NOT folder_count EQUAL 1)
    message(FATAL_ERROR "${MSI}: expected one folder VEYRAK/vrksolauth in the package, found: ${folder}")
endif()
file(GLOB_RECURSE packaged RELATIVE "${folder}" "${folder}/*")
list(SORT packaged)
expect_files("the Windows Installer package carries (in ${folder})" "${packaged}" "${expected}")
foreach(file IN LISTS packaged)
    if(file IN_LIST expected)
        string(REGEX REPLACE "^([^/]+)$" "${ARCH}/bin/\\1" installed_file "${file}")
        file(SHA256 ${folder}/${file} packaged_hash)
        file(SHA256 ${SCRATCH}/installed/${installed_file} installed_hash)
        if(NOT packaged_hash STREQUAL installed_hash)
            string(APPEND problems "\n  ${file} of the package differs from ${installed_file} of the installation")
        endif()
    endif()
endforeach()

# No program runs to register: no self-registration, no custom action. The registration is the
# Registry table's.
foreach(name IN ITEMS SelfReg CustomAction)
    export(rows ${name})
    if(rows MATCHES "^\n[^\n]*\n[^\n]*\n[^\n]*\n[^\n]")
        string(APPEND problems "\n  ${name} rows:${rows}")
    endif()
endforeach()

# A package of its architecture: the platform in the summary, the installation folder in Program
# Files of the architecture, and 64-bit components in the x64 package, but for the shared one that
# writes the type library into the 32-bit registry view, which both packages hold as 32-bit.
set(platform_x86 Intel)
set(platform_x64 x64)
set(program_files_x86 ProgramFilesFolder)
set(program_files_x64 ProgramFiles64Folder)
set(bit64_x86 0)
set(bit64_x64 256)
execute_process(COMMAND ${MSIINFO} suminfo ${MSI} OUTPUT_VARIABLE summary)
if(NOT summary MATCHES "\nTemplate: ${platform_${ARCH}};1033\n")
    string(APPEND problems "\n  the summary information names no platform ${platform_${ARCH}}:\n${summary}")
endif()
export(directories Directory)
string(REGEX MATCH "\n([^\t\n]+)\t${program_files_${ARCH}}\tVEYRAK\n" ignored "${directories}")
set(vendor_folder "${CMAKE_MATCH_1}")
if(NOT vendor_folder OR NOT directories MATCHES "\nINSTALLDIR\t${vendor_folder}\tvrksolauth\n")
    string(APPEND problems "\n  no installation folder vrksolauth in VEYRAK in ${program_files_${ARCH}}:${directories}")
endif()
export(components Component)
string(REGEX MATCHALL "\n[^\t\n]+\t[^\t\n]*\t[^\t\n]*\t[0-9]+" components "${components}")
if(NOT components)
    string(APPEND problems "\n  no components")
endif()
foreach(row IN LISTS components)
    string(REGEX MATCH "\n([^\t]+)\t.*\t([0-9]+)$" ignored "${row}")
    math(EXPR bit64 "${CMAKE_MATCH_2} & 256")
    set(expected_bit64 ${bit64_${ARCH}})
    if(CMAKE_MATCH_1 STREQUAL "component_shared_typelib_32bit_view")
        set(expected_bit64 0)
    endif()
    if(NOT bit64 EQUAL expected_bit64)
        string(APPEND problems "\n  component ${CMAKE_MATCH_1}: attributes ${CMAKE_MATCH_2}, expected the 64-bit flag ${expected_bit64}")
    endif()
endforeach()

if(problems)
    message(FATAL_ERROR "${BUILD}:${problems}")
endif()
message(STATUS "installed and zipped as expected; ${MSI}: ${packaged}")
