# Checks the generated manifests of registration-free use against the server's identifiers, as
# cmake/ServerIdentifiers.cmake reads them from the IDL (the classes and the type library) and the
# registration script (the ProgIDs and the threading model): a client that uses the manifests
# must meet the same class as one that uses the registry. Checks too that the registration script
# agrees with the IDL, and that the program CLIENT carries the application manifest.
#   cmake -DSOURCE=<project source dir> -DMANIFEST=<assembly manifest> -DAPP_MANIFEST=<application
#         manifest> -DDLL_NAME=<the server's file name> -DVERSION=<project version> -DARCH=x86|x64
#         -DCLIENT=<exe> -DWINDRES=... -P CheckRegFreeManifest.cmake
cmake_minimum_required(VERSION 3.25)
set(PROJECT_SOURCE_DIR ${SOURCE})
include(${SOURCE}/cmake/ServerIdentifiers.cmake) # sets script and idl, the two sources' text, too
file(READ ${MANIFEST} manifest)
file(READ ${APP_MANIFEST} app_manifest)
string(REGEX MATCH "<dependentAssembly>(.*)</dependentAssembly>" ignored "${app_manifest}")
set(dependency "${CMAKE_MATCH_1}")

# found(<variable> <text> <element> <attribute>): the attribute of the only element in the text.
function(found variable text element attribute)
    string(REGEX MATCHALL "<${element}[ \t\r\n/>][^>]*>" tags "${text}")
    list(LENGTH tags count)
    set(${variable} "(${count} <${element}> elements with ${attribute})" PARENT_SCOPE)
    if(count EQUAL 1 AND tags MATCHES "[ \t\r\n]${attribute}=\"([^\"]*)\"")
        set(${variable} "${CMAKE_MATCH_1}" PARENT_SCOPE)
    endif()
endfunction()
# script_value(<variable> <regex with one group>): the group in the registration script.
function(script_value variable regex)
    set(${variable} "(not found: ${regex})" PARENT_SCOPE)
    if(script MATCHES "${regex}")
        set(${variable} "${CMAKE_MATCH_1}" PARENT_SCOPE)
    endif()
endfunction()

# The rows, each: what, the value it must have, the value found. COM compares identifiers and
# names without regard to case, and so does this.
set(rows "")
# The registration script's own class key, the classes its ProgID keys name, its CurVer and its
# type library are the IDL's.
script_value(class "ForceRemove (\\{${guid}\\}) = s")
script_value(typelib "'TypeLib' = s '(\\{${guid}\\})'")
script_value(current_version "CurVer = s '([^']+)'")
list(APPEND rows "the registration script's class key" "${VRK_SERVER_CLSID}" "${class}"
    "the registration script's type library" "${VRK_SERVER_LIBID}" "${typelib}"
    "CurVer of ProgID ${VRK_SERVER_VERSION_INDEPENDENT_PROGID}" "${VRK_SERVER_PROGID}" "${current_version}")
foreach(progid IN ITEMS ${VRK_SERVER_PROGID} ${VRK_SERVER_VERSION_INDEPENDENT_PROGID})
    string(REPLACE "." "\\." pattern "${progid}")
    script_value(progid_class "[\n\t]${pattern} = s '[^']*'${blank}\\{${blank}CLSID = s '([^']+)'")
    list(APPEND rows "the class of ProgID ${progid}" "${VRK_SERVER_CLSID}" "${progid_class}")
endforeach()

# The assembly manifest: its identity (the name Windows probes for, the project's version in four
# parts, the architecture), its file and what the class and the type library carry.
get_filename_component(assembly_name ${MANIFEST} NAME_WLE)
string(REGEX MATCHALL "[0-9]+" parts "${VERSION}.0.0.0")
list(SUBLIST parts 0 4 parts)
list(JOIN parts "." four_part_version)
set(architecture_of_x86 x86)
set(architecture_of_x64 amd64)
set(manifest_rows assemblyIdentity name "${assembly_name}" assemblyIdentity version "${four_part_version}"
    assemblyIdentity processorArchitecture "${architecture_of_${ARCH}}" file name "${DLL_NAME}"
    comClass clsid "${VRK_SERVER_CLSID}" comClass threadingModel "${VRK_SERVER_THREADING_MODEL}"
    comClass progid "${VRK_SERVER_PROGID}" comClass tlbid "${VRK_SERVER_LIBID}"
    typelib tlbid "${VRK_SERVER_LIBID}" typelib version "${VRK_SERVER_TYPELIB_VERSION}")
while(manifest_rows)
    list(POP_FRONT manifest_rows element attribute expected)
    found(actual "${manifest}" ${element} ${attribute})
    list(APPEND rows "<${element} ${attribute}>" "${expected}" "${actual}")
endwhile()
string(REGEX MATCH "<comClass[^>]*>${blank}<progid>([^<]*)</progid>${blank}</comClass>" ignored "${manifest}")
list(APPEND rows "the version-independent <progid> of <comClass>" "${VRK_SERVER_VERSION_INDEPENDENT_PROGID}"
    "${CMAKE_MATCH_1}")
# The application manifest's dependency names the assembly as it is.
foreach(attribute IN ITEMS type name version processorArchitecture)
    found(own "${manifest}" assemblyIdentity ${attribute})
    found(named "${dependency}" assemblyIdentity ${attribute})
    list(APPEND rows "the application's dependentAssembly ${attribute}" "${own}" "${named}")
endforeach()

set(problems "")
while(rows)
    list(POP_FRONT rows what expected actual)
    string(TOUPPER "${expected}" expected_upper)
    string(TOUPPER "${actual}" actual_upper)
    if(NOT actual_upper STREQUAL expected_upper)
        string(APPEND problems "\n  ${what}: expected '${expected}', found '${actual}'")
    endif()
endwhile()
if(NOT manifest MATCHES "<typelib [^>]*helpdir=\"\"")
    string(APPEND problems "\n  <typelib> without helpdir=\"\", which the schema requires")
endif()
# A separate manifest file must not be named after a DLL of its assembly: Windows would look
# for the manifest inside that DLL instead.
get_filename_component(dll_stem "${DLL_NAME}" NAME_WLE)
string(TOUPPER "${dll_stem}" dll_stem)
string(TOUPPER "${assembly_name}" assembly_upper)
if(assembly_upper STREQUAL dll_stem)
    string(APPEND problems "\n  the assembly is named like its DLL, ${DLL_NAME}")
endif()

# The program's resource 1 of type 24 (RT_MANIFEST) is the application manifest: the same
# letters and digits in the same order (windres quotes and splits the text it lists).
execute_process(COMMAND ${WINDRES} -J coff -i ${CLIENT} -O rc OUTPUT_VARIABLE resources RESULT_VARIABLE status)
string(REGEX MATCH "\n1 24 [^\n]*\nBEGIN\n(.*)\nEND" embedded "${resources}")
string(REPLACE "\\n" "" embedded "${CMAKE_MATCH_1}")
string(REGEX REPLACE "[^A-Za-z0-9]" "" embedded "${embedded}")
string(REGEX REPLACE "[^A-Za-z0-9]" "" expected_embedded "${app_manifest}")
if(NOT status EQUAL 0 OR NOT embedded OR NOT embedded STREQUAL expected_embedded)
    string(APPEND problems "\n  ${CLIENT} does not carry ${APP_MANIFEST} as RT_MANIFEST resource 1")
endif()

if(problems)
    message(FATAL_ERROR "${MANIFEST}:${problems}")
endif()
message(STATUS "${MANIFEST} and ${APP_MANIFEST} agree with the registration script and the IDL")
