# Registration-free deployment: the server's assembly manifest, written beside the DLL, and
# what a client's application manifest needs to name it. Included by resources/CMakeLists.txt.
#
# The class and type library identifiers come from the IDL (what the header and the type
# library carry), the ProgIDs and the threading model from the registration script (what
# regsvr32 writes), so that a registered and a registration-free server describe the same
# class. Editing either file configures the tree again.
#
# Sets, for the clients' manifests:
#   VRK_ASSEMBLY_NAME     the side-by-side assembly's name
#   VRK_ASSEMBLY_VERSION  the project version in the four parts that assemblies use
#   VRK_ASSEMBLY_MANIFEST the generated assembly manifest, beside the DLL

# Its own name, not the DLL's: a private assembly's manifest that is a separate file must not
# share its name with a DLL of the assembly, or Windows looks for the manifest inside that DLL.
set(VRK_ASSEMBLY_NAME VEYRAK.Vrksolauth)
set(VRK_ASSEMBLY_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
if(PROJECT_VERSION_TWEAK)
    set(VRK_ASSEMBLY_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${PROJECT_VERSION_TWEAK})
endif()

set(idl_file ${PROJECT_SOURCE_DIR}/resources/vrksolauth.idl)
set(script_file ${PROJECT_SOURCE_DIR}/resources/vrksolauth.rgs)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${idl_file} ${script_file})
file(READ ${idl_file} idl)
file(READ ${script_file} script)

# vrk_manifest_value(<variable> <text> <regex with one group> <what>): the group, or a
# configuration error naming what was not found.
function(vrk_manifest_value variable text regex what)
    if(NOT text MATCHES "${regex}")
        message(FATAL_ERROR "registration-free manifest: ${what} not found")
    endif()
    set(${variable} ${CMAKE_MATCH_1} PARENT_SCOPE)
endfunction()

set(blank "[ \t\r\n]*")
set(guid "[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+")
vrk_manifest_value(VRK_SERVER_CLSID "${idl}" "uuid\\((${guid})\\)[^]]*\\]${blank}coclass${blank}VRKsolutionAuthenticator"
    "the coclass's uuid in ${idl_file}")
vrk_manifest_value(VRK_SERVER_LIBID "${idl}" "uuid\\((${guid})\\)[^]]*\\]${blank}library"
    "the library's uuid in ${idl_file}")
vrk_manifest_value(VRK_SERVER_TYPELIB_VERSION "${idl}" "version\\(([0-9]+\\.[0-9]+)\\)[^]]*\\]${blank}library"
    "the library's version in ${idl_file}")
vrk_manifest_value(VRK_SERVER_PROGID "${script}" "[ \t]ProgID = s '([^']+)'" "the class's ProgID in ${script_file}")
vrk_manifest_value(VRK_SERVER_VERSION_INDEPENDENT_PROGID "${script}" "VersionIndependentProgID = s '([^']+)'"
    "the class's VersionIndependentProgID in ${script_file}")
vrk_manifest_value(VRK_SERVER_THREADING_MODEL "${script}" "val ThreadingModel = s '([^']+)'"
    "the server's ThreadingModel in ${script_file}")
string(TOUPPER "{${VRK_SERVER_CLSID}}" VRK_SERVER_CLSID)
string(TOUPPER "{${VRK_SERVER_LIBID}}" VRK_SERVER_LIBID)
# The server target sets this name (server/CMakeLists.txt); the consistency check compares them.
set(VRK_SERVER_FILE_NAME vrksolauth.dll)

set(VRK_ASSEMBLY_MANIFEST ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${VRK_ASSEMBLY_NAME}.manifest)
configure_file(${PROJECT_SOURCE_DIR}/resources/vrksolauth.manifest.in ${VRK_ASSEMBLY_MANIFEST} @ONLY)
