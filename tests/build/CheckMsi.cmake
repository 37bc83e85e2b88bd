cmake_minimum_required(VERSION 3.25)
# Checks the architecture's Windows Installer package without Wine, for what installing it
# cannot show: that it carries exactly the registered deployment's files of `cmake --install`,
# byte for byte (the install test compares the installation with the package itself), and that
# it registers by its tables alone, which gives the same registry as a self-registration would.
# Where 32-bit programs cannot run, this is all that checks the x86 package.
#   cmake -DMSIINFO=<msiinfo> -DMSIEXTRACT=<msiextract> -DMSI=<package> -DBUILD=<build dir>
#         -DSCRATCH=<folder> -DARCH=x86|x64 -P CheckMsi.cmake
set(problems "")

# table(<variable> <name>): the rows of one of the package's tables, each a list of its columns.
# The first three lines of an export name the columns, their types and the key.
function(table variable name)
    execute_process(COMMAND ${MSIINFO} export ${MSI} ${name} OUTPUT_VARIABLE text RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "msiinfo cannot read table ${name} of ${MSI}")
    endif()
    string(REPLACE "\r" "" text "${text}")
    string(REPLACE ";" "," text "${text}")
    string(REPLACE "\t" "|" text "${text}")
    string(REGEX MATCHALL "[^\n]+" lines "${text}")
    list(LENGTH lines count)
    set(rows "")
    if(count GREATER 3)
        list(SUBLIST lines 3 -1 rows)
    endif()
    set(${variable} "${rows}" PARENT_SCOPE)
endfunction()

# What `cmake --install` ships for the architecture, and how much of it the package carries: the
# bin/ folder's contents at the top of the installation folder, the header and the samples.
file(REMOVE_RECURSE ${SCRATCH})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${SCRATCH}/installed RESULT_VARIABLE status OUTPUT_QUIET)
execute_process(COMMAND ${MSIEXTRACT} -C ${SCRATCH}/package ${MSI} RESULT_VARIABLE extracted OUTPUT_QUIET)
if(NOT status EQUAL 0 OR NOT extracted EQUAL 0)
    message(FATAL_ERROR "cmake --install (status ${status}) or msiextract (status ${extracted}) failed")
endif()
# Not in the package: the registration-free files serve copies in a client's own folder, the
# package registers its server instead; the substitutes must never reach a machine by the
# package that also serves the real product; the README is about building and testing.
set(not_packaged ${ARCH}/bin/VEYRAK.Vrksolauth.manifest ${ARCH}/bin/vrkauth-regfree.exe README.md)
file(GLOB_RECURSE installed RELATIVE ${SCRATCH}/installed ${SCRATCH}/installed/*)
set(expected "")
foreach(file IN LISTS installed)
    if(file IN_LIST not_packaged OR file MATCHES "^${ARCH}/substitutes/")
        continue()
    endif()
    string(REGEX REPLACE "^${ARCH}/bin/" "" packaged "${file}")
    list(APPEND expected ${packaged})
    set(installed_of_${packaged} ${file})
endforeach()
list(SORT expected)
# msiextract lays a package out below a folder of its own choosing for Program Files.
file(GLOB_RECURSE folders LIST_DIRECTORIES true ${SCRATCH}/package/*)
list(FILTER folders INCLUDE REGEX "/VEYRAK/vrksolauth$")
list(LENGTH folders folder_count)
if(NOT folder_count EQUAL 1)
    message(FATAL_ERROR "${MSI}: expected one folder VEYRAK/vrksolauth in the package, found: ${folders}")
endif()
file(GLOB_RECURSE packaged RELATIVE ${folders} ${folders}/*)
list(SORT packaged)
if(NOT packaged STREQUAL expected)
    string(APPEND problems "\n  the package carries:\n    ${packaged}\n  expected:\n    ${expected}")
endif()
foreach(file IN LISTS packaged)
    if(DEFINED installed_of_${file})
        file(SHA256 ${folders}/${file} packaged_hash)
        file(SHA256 ${SCRATCH}/installed/${installed_of_${file}} installed_hash)
        if(NOT packaged_hash STREQUAL installed_hash)
            string(APPEND problems "\n  ${file} differs from ${installed_of_${file}} of the installation")
        endif()
    endif()
endforeach()

# No program runs to register: no self-registration, no custom action. The registration is the
# Registry table's.
execute_process(COMMAND ${MSIINFO} tables ${MSI} OUTPUT_VARIABLE tables)
foreach(name IN ITEMS SelfReg CustomAction)
    if(tables MATCHES "(^|\n)${name}\r?\n")
        table(rows ${name})
        if(rows)
            string(APPEND problems "\n  ${name} rows: ${rows}")
        endif()
    endif()
endforeach()
table(registry Registry)
list(LENGTH registry registry_rows)

# A package of its architecture: the platform in the summary, Program Files of the architecture,
# and 64-bit components in the x64 package, but for the one that writes the type library into the
# 32-bit registry view.
set(platform_x86 Intel)
set(platform_x64 x64)
execute_process(COMMAND ${MSIINFO} suminfo ${MSI} OUTPUT_VARIABLE summary)
if(NOT summary MATCHES "\nTemplate: ${platform_${ARCH}};1033\n")
    string(APPEND problems "\n  the summary information names no platform ${platform_${ARCH}}:\n${summary}")
endif()
table(directories Directory)
foreach(row IN LISTS directories)
    string(REPLACE "|" ";" row "${row}")
    list(GET row 0 id)
    list(GET row 1 parent_of_${id})
    list(GET row -1 name_of_${id}) # the long name of "short|long"
endforeach()
set(program_files_x86 ProgramFilesFolder)
set(program_files_x64 ProgramFiles64Folder)
set(place "${name_of_INSTALLDIR} in ${name_of_${parent_of_INSTALLDIR}} in ${parent_of_${parent_of_INSTALLDIR}}")
if(NOT place STREQUAL "vrksolauth in VEYRAK in ${program_files_${ARCH}}")
    string(APPEND problems "\n  installation folder: ${place}")
endif()
set(bit64_x86 0)
set(bit64_x64 256)
table(components Component)
foreach(row IN LISTS components)
    string(REPLACE "|" ";" row "${row}")
    list(GET row 0 id)
    list(GET row 3 attributes)
    math(EXPR bit64 "${attributes} & 256")
    set(expected_bit64 ${bit64_${ARCH}})
    if(id STREQUAL "component_typelib_32bit_view")
        set(expected_bit64 0)
    endif()
    if(NOT bit64 EQUAL expected_bit64)
        string(APPEND problems "\n  component ${id}: attributes ${attributes}, expected the 64-bit flag ${expected_bit64}")
    endif()
endforeach()

if(problems)
    message(FATAL_ERROR "${MSI}:${problems}")
endif()
message(STATUS "${MSI}: ${packaged}; ${registry_rows} registry rows")
