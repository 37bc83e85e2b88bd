# Checks the generated manifests of registration-free use against the sources that regsvr32
# and the type library follow: a client that uses them must meet the same class as one that
# uses the registry.
#   cmake -DMANIFEST=<assembly manifest> -DAPP_MANIFEST=<application manifest> -DRGS=... -DIDL=...
#         -DDLL_NAME=<the server's file name> -DVERSION=<project version> -DARCH=x86|x64
#         [-DCLIENT=<exe> -DWINDRES=...] -P CheckRegFreeManifest.cmake
# With CLIENT, also checks that the program carries the application manifest as resource 1.
cmake_minimum_required(VERSION 3.25)
file(READ ${MANIFEST} manifest)
file(READ ${APP_MANIFEST} app_manifest)
file(READ ${RGS} script)
file(READ ${IDL} idl)
set(problems "")
set(guid "[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+")
set(blank "[ \t\r\n]*")

# capture(<variable> <text> <regex with one group> <what>): the group, or a problem.
function(capture variable text regex what)
    if(text MATCHES "${regex}")
        set(${variable} "${CMAKE_MATCH_1}" PARENT_SCOPE)
    else()
        set(${variable} "(${what} not found)" PARENT_SCOPE)
        set(problems "${problems}\n  ${what}: not found" PARENT_SCOPE)
    endif()
endfunction()
# element(<variable> <text> <name>): the start tag of the only element <name>; a problem unless one.
function(element variable text name)
    string(REGEX MATCHALL "<${name}[ \t\r\n/>][^>]*>" tags "${text}")
    list(LENGTH tags count)
    if(NOT count EQUAL 1)
        set(problems "${problems}\n  <${name}>: ${count} elements, expected 1" PARENT_SCOPE)
        set(tags "<${name}>")
    endif()
    list(GET tags 0 tag)
    set(${variable} "${tag}" PARENT_SCOPE)
endfunction()
macro(attribute variable tag name)
    capture(${variable} "${tag}" "[ \t\r\n]${name}=\"([^\"]*)\"" "${name} of ${tag}")
endmacro()

# What the registration script writes: the class key, the two ProgID keys that point at it,
# the threading model and the type library.
capture(class "${script}" "ForceRemove (\\{${guid}\\}) = s" "the class key in ${RGS}")
capture(progid "${script}" "[ \t]ProgID = s '([^']+)'" "the class's ProgID in ${RGS}")
capture(vi_progid "${script}" "VersionIndependentProgID = s '([^']+)'" "the VersionIndependentProgID in ${RGS}")
capture(threading "${script}" "ThreadingModel = s '([^']+)'" "the ThreadingModel in ${RGS}")
capture(script_libid "${script}" "'TypeLib' = s '(\\{${guid}\\})'" "the TypeLib in ${RGS}")
string(REPLACE "." "\\." progid_pattern "${progid}")
string(REPLACE "." "\\." vi_progid_pattern "${vi_progid}")
capture(progid_class "${script}" "[\n\t]${progid_pattern} = s '[^']*'${blank}\\{${blank}CLSID = s '([^']+)'"
    "the key of ProgID ${progid} in ${RGS}")
capture(vi_progid_class "${script}"
    "[\n\t]${vi_progid_pattern} = s '[^']*'${blank}\\{${blank}CLSID = s '([^']+)'"
    "the key of ProgID ${vi_progid} in ${RGS}")
capture(current_version "${script}" "CurVer = s '([^']+)'" "CurVer in ${RGS}")
# What the IDL compiles into the header and the type library.
capture(idl_class "${idl}" "uuid\\((${guid})\\)[^]]*\\]${blank}coclass" "the coclass's uuid in ${IDL}")
capture(idl_libid "${idl}" "uuid\\((${guid})\\)[^]]*\\]${blank}library" "the library's uuid in ${IDL}")
capture(idl_version "${idl}" "version\\(([0-9.]+)\\)[^]]*\\]${blank}library" "the library's version in ${IDL}")

# What the manifests say.
element(identity "${manifest}" assemblyIdentity)
element(file "${manifest}" file)
element(class_tag "${manifest}" comClass)
element(typelib "${manifest}" typelib)
string(REGEX MATCH "<dependentAssembly>(.*)</dependentAssembly>" ignored "${app_manifest}")
element(dependency "${CMAKE_MATCH_1}" assemblyIdentity)
attribute(manifest_type "${identity}" type)
attribute(manifest_name "${identity}" name)
attribute(manifest_version "${identity}" version)
attribute(manifest_processorArchitecture "${identity}" processorArchitecture)
attribute(manifest_file "${file}" name)
attribute(manifest_class "${class_tag}" clsid)
attribute(manifest_threading "${class_tag}" threadingModel)
attribute(manifest_progid "${class_tag}" progid)
attribute(manifest_class_libid "${class_tag}" tlbid)
capture(manifest_vi_progid "${manifest}" "<comClass[^>]*>${blank}<progid>([^<]*)</progid>${blank}</comClass>"
    "the version-independent <progid> inside <comClass>")
attribute(manifest_libid "${typelib}" tlbid)
attribute(manifest_libversion "${typelib}" version)
if(NOT typelib MATCHES " helpdir=\"\"")
    string(APPEND problems "\n  <typelib> without helpdir=\"\", which the schema requires")
endif()
foreach(attribute IN ITEMS type name version processorArchitecture)
    attribute(dependency_${attribute} "${dependency}" ${attribute})
endforeach()

set(architecture_of_x86 x86)
set(architecture_of_x64 amd64)
string(REGEX MATCHALL "[0-9]+" parts "${VERSION}.0.0.0")
list(SUBLIST parts 0 4 parts)
list(JOIN parts "." four_part_version)
get_filename_component(manifest_file_name ${MANIFEST} NAME)
# Each row: what, the value it must have, the value found; COM compares identifiers and
# names without regard to case, and so does this.
set(rows
    "the registration script's class key is the IDL's coclass" "{${idl_class}}" "${class}"
    "ProgID ${progid} names the class" "${class}" "${progid_class}"
    "ProgID ${vi_progid} names the class" "${class}" "${vi_progid_class}"
    "ProgID ${vi_progid}'s CurVer" "${progid}" "${current_version}"
    "the registration script's type library is the IDL's library" "{${idl_libid}}" "${script_libid}"
    "assembly type" "win32" "${manifest_type}"
    "assembly version, the project's" "${four_part_version}" "${manifest_version}"
    "assembly processorArchitecture for ${ARCH}" "${architecture_of_${ARCH}}" "${manifest_processorArchitecture}"
    "the server's file" "${DLL_NAME}" "${manifest_file}"
    "the manifest's file name, which Windows probes for" "${manifest_name}.manifest" "${manifest_file_name}"
    "comClass clsid" "${class}" "${manifest_class}"
    "comClass threadingModel" "${threading}" "${manifest_threading}"
    "comClass progid" "${progid}" "${manifest_progid}"
    "comClass <progid>" "${vi_progid}" "${manifest_vi_progid}"
    "comClass tlbid" "{${idl_libid}}" "${manifest_class_libid}"
    "typelib tlbid" "{${idl_libid}}" "${manifest_libid}"
    "typelib version" "${idl_version}" "${manifest_libversion}")
foreach(attribute IN ITEMS type name version processorArchitecture)
    list(APPEND rows "the application's dependentAssembly ${attribute}" "${manifest_${attribute}}"
        "${dependency_${attribute}}")
endforeach()
while(rows)
    list(POP_FRONT rows what expected actual)
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
string(TOUPPER "${manifest_name}" assembly_name)
if(assembly_name STREQUAL dll_stem)
    string(APPEND problems "\n  the assembly is named like its DLL, ${DLL_NAME}")
endif()

# The program's resource 1 of type 24 (RT_MANIFEST) is the application manifest: the same
# letters and digits in the same order (windres quotes and splits the text it lists).
if(CLIENT)
    execute_process(COMMAND ${WINDRES} -J coff -i ${CLIENT} -O rc OUTPUT_VARIABLE resources RESULT_VARIABLE status)
    string(REGEX MATCH "\n1 24 [^\n]*\nBEGIN\n(.*)\nEND" embedded "${resources}")
    string(REPLACE "\\n" "" embedded "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "[^A-Za-z0-9]" "" embedded "${embedded}")
    string(REGEX REPLACE "[^A-Za-z0-9]" "" expected_embedded "${app_manifest}")
    if(NOT status EQUAL 0 OR NOT embedded OR NOT embedded STREQUAL expected_embedded)
        string(APPEND problems "\n  ${CLIENT} does not carry ${APP_MANIFEST} as RT_MANIFEST resource 1")
    endif()
endif()

if(problems)
    message(FATAL_ERROR "${MANIFEST}:${problems}")
endif()
message(STATUS "${MANIFEST} and ${APP_MANIFEST} agree with ${RGS} and ${IDL}")
