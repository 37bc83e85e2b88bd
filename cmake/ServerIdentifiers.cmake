# The server's identifiers, read from the sources that the header, the type library and
# regsvr32 follow, for everything else that describes the class: the registration-free
# manifest (cmake/RegFreeManifest.cmake) and the Windows Installer packages
# (cmake/WindowsInstaller.cmake). Editing either source configures the tree again.
#
# From resources/vrksolauth.idl (what the header and the type library carry):
#   VRK_SERVER_CLSID, VRK_SERVER_LIBID, VRK_SERVER_IID   upper case, in braces
#   VRK_SERVER_TYPELIB_VERSION      the library's version, e.g. 1.0
#   VRK_SERVER_TYPELIB_DESCRIPTION  the library's helpstring, which RegisterTypeLib writes
#   VRK_SERVER_INTERFACE_NAME       the dual interface's name
# From resources/vrksolauth.rgs (what regsvr32 writes):
#   VRK_SERVER_PROGID, VRK_SERVER_VERSION_INDEPENDENT_PROGID, VRK_SERVER_THREADING_MODEL
#   VRK_SERVER_CLASS_DESCRIPTION    the class key's default value
#   VRK_SERVER_FILE_NAME            the DLL's file name, which server/CMakeLists.txt gives it

set(idl_file ${PROJECT_SOURCE_DIR}/resources/vrksolauth.idl)
set(script_file ${PROJECT_SOURCE_DIR}/resources/vrksolauth.rgs)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${idl_file} ${script_file})
file(READ ${idl_file} idl)
file(READ ${script_file} script)

# vrk_server_identifier(<variable> <text> <regex with one group> <what>): the group, or a
# configuration error naming what was not found.
function(vrk_server_identifier variable text regex what)
    if(NOT text MATCHES "${regex}")
        message(FATAL_ERROR "server identifiers: ${what} not found")
    endif()
    set(${variable} ${CMAKE_MATCH_1} PARENT_SCOPE)
endfunction()

set(blank "[ \t\r\n]*")
set(guid "[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+")
vrk_server_identifier(VRK_SERVER_CLSID "${idl}" "uuid\\((${guid})\\)[^]]*\\]${blank}coclass${blank}VRKsolutionAuthenticator"
    "the coclass's uuid in ${idl_file}")
vrk_server_identifier(VRK_SERVER_LIBID "${idl}" "uuid\\((${guid})\\)[^]]*\\]${blank}library"
    "the library's uuid in ${idl_file}")
vrk_server_identifier(VRK_SERVER_TYPELIB_VERSION "${idl}" "version\\(([0-9]+\\.[0-9]+)\\)[^]]*\\]${blank}library"
    "the library's version in ${idl_file}")
vrk_server_identifier(VRK_SERVER_TYPELIB_DESCRIPTION "${idl}" "helpstring\\(\"([^\"]*)\"\\)[^]]*\\]${blank}library"
    "the library's helpstring in ${idl_file}")
vrk_server_identifier(VRK_SERVER_IID "${idl}" "uuid\\((${guid})\\)[^]]*\\]${blank}interface${blank}IVRKsolutionAuthenticator1"
    "the interface's uuid in ${idl_file}")
vrk_server_identifier(VRK_SERVER_INTERFACE_NAME "${idl}" "\\]${blank}interface${blank}(IVRKsolutionAuthenticator1)${blank}:"
    "the interface IVRKsolutionAuthenticator1 in ${idl_file}")
vrk_server_identifier(VRK_SERVER_PROGID "${script}" "[ \t]ProgID = s '([^']+)'" "the class's ProgID in ${script_file}")
vrk_server_identifier(VRK_SERVER_VERSION_INDEPENDENT_PROGID "${script}" "VersionIndependentProgID = s '([^']+)'"
    "the class's VersionIndependentProgID in ${script_file}")
vrk_server_identifier(VRK_SERVER_THREADING_MODEL "${script}" "val ThreadingModel = s '([^']+)'"
    "the server's ThreadingModel in ${script_file}")
vrk_server_identifier(VRK_SERVER_CLASS_DESCRIPTION "${script}" "ForceRemove \\{${guid}\\} = s '([^']*)'"
    "the class key's default value in ${script_file}")
string(TOUPPER "{${VRK_SERVER_CLSID}}" VRK_SERVER_CLSID)
string(TOUPPER "{${VRK_SERVER_LIBID}}" VRK_SERVER_LIBID)
string(TOUPPER "{${VRK_SERVER_IID}}" VRK_SERVER_IID)
# The server target sets this name (server/CMakeLists.txt); the consistency check compares them.
set(VRK_SERVER_FILE_NAME vrksolauth.dll)
