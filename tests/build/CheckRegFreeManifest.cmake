# Checks the generated manifests of registration-free use, the registration script and the IDL
# against the server's identifiers, written here as its clients know them rather than read by the
# code that configures the manifest, so that a client that uses the manifests meets the same class
# as one that uses the registry; and that the program CLIENT carries the application manifest.
#   cmake -DSOURCE=<project source dir> -DMANIFEST=<assembly manifest> -DAPP_MANIFEST=<application
#         manifest> -DDLL_NAME=<the server's file name> -DVERSION=<project version> -DARCH=x86|x64
#         -DCLIENT=<exe> -DWINDRES=... -P CheckRegFreeManifest.cmake
cmake_minimum_required(VERSION 3.25)
set(clsid 5A486531-0201-43E0-BD81-D544BB08D0DC) # as the IDL writes them, in braces everywhere else
set(libid 2C21A4B6-C51A-4990-B440-B0841534F73A)
set(progid Vrksolauth.VRKsolutionAuthenticator)
set(assembly VEYRAK.Vrksolauth)
file(READ ${SOURCE}/resources/vrksolauth.rgs script)
file(READ ${SOURCE}/resources/vrksolauth.idl idl)
file(READ ${MANIFEST} manifest)
file(READ ${APP_MANIFEST} app_manifest)
string(REGEX MATCH "<dependentAssembly>(.*)</dependentAssembly>" ignored "${app_manifest}")
set(dependency "${CMAKE_MATCH_1}")
get_filename_component(manifest_name ${MANIFEST} NAME)
string(REGEX MATCHALL "[0-9]+" parts "${VERSION}.0.0.0")
list(SUBLIST parts 0 4 parts)
list(JOIN parts "." four_part_version)
set(architecture_of_x86 x86)
set(architecture_of_x64 amd64)
set(space "[ \t\r\n]")
set(blank "${space}*")

# Rows: what, the value it must have, the text it is found in, and a regular expression whose
# group is the value found there.
set(rows
    # The IDL's class and library, which the header and the type library carry: the attributes
    # before each keyword (no brace between them; a list may not hold an unmatched bracket).
    "the IDL's coclass uuid" "${clsid}" idl "uuid\\(([^)]*)\\)[^{}]*${space}coclass${space}"
    "the IDL's library uuid" "${libid}" idl "uuid\\(([^)]*)\\)[^{}]*${space}library${space}"
    "the IDL's library version" "1.0" idl "version\\(([^)]*)\\)[^{}]*${space}library${space}"
    # What regsvr32 writes: the class key and what it names, the ProgIDs' class and CurVer.
    "the registration script's class key" "{${clsid}}" script "ForceRemove (\\{[^}]*\\}) = s"
    "the registration script's ProgID" "${progid}.1" script "[ \t]ProgID = s '([^']*)'"
    "the registration script's VersionIndependentProgID" "${progid}" script "VersionIndependentProgID = s '([^']*)'"
    "the registration script's ThreadingModel" Both script "ThreadingModel = s '([^']*)'"
    "the registration script's type library" "{${libid}}" script "'TypeLib' = s '([^']*)'"
    "the CurVer of ProgID ${progid}" "${progid}.1" script "CurVer = s '([^']*)'"
    # The assembly's identity (the name Windows probes for, the project's version in four parts,
    # the architecture), its file and what it says of the class and the type library.
    "the assembly manifest's file name" "${assembly}.manifest" manifest_name "(.*)"
    "<assemblyIdentity name>" "${assembly}" manifest "<assemblyIdentity[^>]*${space}name=\"([^\"]*)\""
    "<assemblyIdentity version>" "${four_part_version}" manifest "<assemblyIdentity[^>]*${space}version=\"([^\"]*)\""
    "<assemblyIdentity processorArchitecture>" "${architecture_of_${ARCH}}" manifest
    "<assemblyIdentity[^>]*${space}processorArchitecture=\"([^\"]*)\""
    "<file name>" "${DLL_NAME}" manifest "<file${space}name=\"([^\"]*)\""
    "<comClass clsid>" "{${clsid}}" manifest "<comClass[^>]*${space}clsid=\"([^\"]*)\""
    "<comClass threadingModel>" Both manifest "<comClass[^>]*${space}threadingModel=\"([^\"]*)\""
    "<comClass progid>" "${progid}.1" manifest "<comClass[^>]*${space}progid=\"([^\"]*)\""
    "<comClass tlbid>" "{${libid}}" manifest "<comClass[^>]*${space}tlbid=\"([^\"]*)\""
    "<comClass>'s <progid>" "${progid}" manifest "<comClass[^>]*>${blank}<progid>([^<]*)</progid>${blank}</comClass>"
    "<typelib tlbid>" "{${libid}}" manifest "<typelib[^>]*${space}tlbid=\"([^\"]*)\""
    "<typelib version>" "1.0" manifest "<typelib[^>]*${space}version=\"([^\"]*)\""
    "<typelib helpdir>, which the schema requires" "" manifest "<typelib[^>]*${space}helpdir=\"([^\"]*)\"")
foreach(name IN ITEMS ${progid}.1 ${progid})
    string(REPLACE "." "\\." pattern "${name}")
    list(APPEND rows "the class of ProgID ${name}" "{${clsid}}" script
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
string(TOUPPER "${assembly}" assembly_upper)
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
message(STATUS "${MANIFEST} and ${APP_MANIFEST} agree with the registration script, the IDL and the identifiers")
