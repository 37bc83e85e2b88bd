# Checks the generated manifests of registration-free use against the server's identifiers, as
# cmake/ServerIdentifiers.cmake reads them from the IDL and the registration script, so that a
# client that uses them meets the same class as one that uses the registry; that the registration
# script agrees with the IDL; and that the program CLIENT carries the application manifest.
#   cmake -DSOURCE=<project source dir> -DMANIFEST=<assembly manifest> -DAPP_MANIFEST=<application
#         manifest> -DDLL_NAME=<the server's file name> -DVERSION=<project version> -DARCH=x86|x64
#         -DCLIENT=<exe> -DWINDRES=... -P CheckRegFreeManifest.cmake
cmake_minimum_required(VERSION 3.25)
set(PROJECT_SOURCE_DIR ${SOURCE})
include(${SOURCE}/cmake/ServerIdentifiers.cmake) # also sets script and idl, the two sources' text
file(READ ${MANIFEST} manifest)
file(READ ${APP_MANIFEST} app_manifest)
string(REGEX MATCH "<dependentAssembly>(.*)</dependentAssembly>" ignored "${app_manifest}")
set(dependency "${CMAKE_MATCH_1}")
get_filename_component(assembly_name ${MANIFEST} NAME_WLE)
string(REGEX MATCHALL "[0-9]+" parts "${VERSION}.0.0.0")
list(SUBLIST parts 0 4 parts)
list(JOIN parts "." four_part_version)
set(architecture_of_x86 x86)
set(architecture_of_x64 amd64)
set(space "[ \t\r\n]")

# Rows: what, the value it must have, the text it is found in, and a regular expression whose
# group is the value found there.
set(rows
    # The registration script's class key, its ProgID keys' class, CurVer and type library.
    "the registration script's class key" "${VRK_SERVER_CLSID}" script "ForceRemove (\\{${guid}\\}) = s"
    "the registration script's type library" "${VRK_SERVER_LIBID}" script "'TypeLib' = s '(\\{${guid}\\})'"
    "the CurVer of ProgID ${VRK_SERVER_VERSION_INDEPENDENT_PROGID}" "${VRK_SERVER_PROGID}" script "CurVer = s '([^']+)'"
    # The assembly's identity (the name Windows probes for, the project's version in four parts,
    # the architecture), its file and what it says of the class and the type library.
    "<assemblyIdentity name>" "${assembly_name}" manifest "<assemblyIdentity[^>]*${space}name=\"([^\"]*)\""
    "<assemblyIdentity version>" "${four_part_version}" manifest "<assemblyIdentity[^>]*${space}version=\"([^\"]*)\""
    "<assemblyIdentity processorArchitecture>" "${architecture_of_${ARCH}}" manifest
    "<assemblyIdentity[^>]*${space}processorArchitecture=\"([^\"]*)\""
    "<file name>" "${DLL_NAME}" manifest "<file${space}name=\"([^\"]*)\""
    "<comClass clsid>" "${VRK_SERVER_CLSID}" manifest "<comClass[^>]*${space}clsid=\"([^\"]*)\""
    "<comClass threadingModel>" "${VRK_SERVER_THREADING_MODEL}" manifest "<comClass[^>]*${space}threadingModel=\"([^\"]*)\""
    "<comClass progid>" "${VRK_SERVER_PROGID}" manifest "<comClass[^>]*${space}progid=\"([^\"]*)\""
    "<comClass tlbid>" "${VRK_SERVER_LIBID}" manifest "<comClass[^>]*${space}tlbid=\"([^\"]*)\""
    "<comClass>'s <progid>" "${VRK_SERVER_VERSION_INDEPENDENT_PROGID}" manifest
    "<comClass[^>]*>${blank}<progid>([^<]*)</progid>${blank}</comClass>"
    "<typelib tlbid>" "${VRK_SERVER_LIBID}" manifest "<typelib[^>]*${space}tlbid=\"([^\"]*)\""
    "<typelib version>" "${VRK_SERVER_TYPELIB_VERSION}" manifest "<typelib[^>]*${space}version=\"([^\"]*)\""
    "<typelib helpdir>, which the schema requires" "" manifest "<typelib[^>]*${space}helpdir=\"([^\"]*)\"")
foreach(progid IN ITEMS ${VRK_SERVER_PROGID} ${VRK_SERVER_VERSION_INDEPENDENT_PROGID})
    string(REPLACE "." "\\." pattern "${progid}")
    list(APPEND rows "the class of ProgID ${progid}" "${VRK_SERVER_CLSID}" script
        "[\n\t]${pattern} = s '[^']*'${blank}\\{${blank}CLSID = s '([^']+)'")
endforeach()
# The application manifest's dependency names the assembly as it is.
foreach(attribute IN ITEMS type name version processorArchitecture)
    string(REGEX MATCH "<assemblyIdentity[^>]*${space}${attribute}=\"([^\"]*)\"" ignored "${manifest}")
    list(APPEND rows "the application's dependentAssembly ${attribute}" "${CMAKE_MATCH_1}" dependency
        "<assemblyIdentity[^>]*${space}${attribute}=\"([^\"]*)\"")
endforeach()

# COM compares identifiers and names without regard to case, and so does this.
set(problems "")
while(rows)
    list(POP_FRONT rows what expected text regex)
    set(actual "(not found)")
    if(${text} MATCHES "${regex}")
        set(actual "${CMAKE_MATCH_1}")
    endif()
    string(TOUPPER "${expected}" expected_upper)
    string(TOUPPER "${actual}" actual_upper)
    if(NOT actual_upper STREQUAL expected_upper)
        string(APPEND problems "\n  ${what}: expected '${expected}', found '${actual}'")
    endif()
endwhile()
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
