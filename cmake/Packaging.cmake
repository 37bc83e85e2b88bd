# What is shipped, in one list that the install rules (`cmake --install`, hence the CPack ZIP)
# and the architecture's Windows Installer package (cmake/WindowsInstaller.cmake) both read:
#   x86/ or x64/  bin/          vrksolauth.dll, its type library file, vrkauth.exe, and for
#                               registration-free use the DLL's assembly manifest and
#                               vrkauth-regfree.exe, whose application manifest depends on it
#                 substitutes/  stand-ins for the maker's components, for machines WITHOUT the product
#   include/      the C/C++ header and the interface identifiers, the same for both architectures
#   examples/     sample clients (C++, VBScript, JScript)
# Each architecture's files sit under its own folder, so that a 32-bit DLL is never
# mistaken for the 64-bit one: both are named vrksolauth.dll, as clients expect.
#
# The Windows Installer package installs into Program Files and registers the server by its own
# tables, so it carries the registered deployment only: the server, its type library,
# vrkauth.exe, the header and the samples. The registration-free files serve copies in a
# client's own folder, and the substitutes must never reach a machine through the package that
# also serves the real product.
set(VRK_INSTALL_BIN ${VRK_ARCH}/bin)
set(VRK_INSTALL_SUBSTITUTES ${VRK_ARCH}/substitutes)

# vrk_ship(<destination> [PACKAGE_FOLDER <folder>] [TARGETS <target>...] [FILES <file>...])
# Installs the targets' files and the files into <destination>. With PACKAGE_FOLDER, the
# Windows Installer package carries them as well, in <folder> of its installation folder
# ("." for that folder itself). Each entry of the global property VRK_PACKAGE_FILES is
# "<folder>|<target or file>|<source path, perhaps a generator expression>".
function(vrk_ship destination)
    cmake_parse_arguments(ARG "" "PACKAGE_FOLDER" "TARGETS;FILES" ${ARGN})
    if(ARG_TARGETS)
        install(TARGETS ${ARG_TARGETS} RUNTIME DESTINATION ${destination})
    endif()
    if(ARG_FILES)
        install(FILES ${ARG_FILES} DESTINATION ${destination})
    endif()
    if(NOT DEFINED ARG_PACKAGE_FOLDER)
        return()
    endif()
    foreach(target IN LISTS ARG_TARGETS)
        set_property(GLOBAL APPEND PROPERTY VRK_PACKAGE_FILES "${ARG_PACKAGE_FOLDER}|${target}|$<TARGET_FILE:${target}>")
    endforeach()
    foreach(file IN LISTS ARG_FILES)
        get_filename_component(name "${file}" NAME)
        set_property(GLOBAL APPEND PROPERTY VRK_PACKAGE_FILES "${ARG_PACKAGE_FOLDER}|${name}|${file}")
    endforeach()
endfunction()

vrk_ship(${VRK_INSTALL_BIN} PACKAGE_FOLDER . TARGETS vrksolauth vrkauth FILES ${VRK_GENERATED_DIR}/vrksolauth.tlb)
vrk_ship(${VRK_INSTALL_BIN} TARGETS vrkauth-regfree FILES ${VRK_ASSEMBLY_MANIFEST})
vrk_ship(include PACKAGE_FOLDER include FILES ${VRK_GENERATED_DIR}/vrksolauth.h ${VRK_GENERATED_DIR}/vrksolauth_i.c)
file(GLOB_RECURSE samples CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/examples
    ${PROJECT_SOURCE_DIR}/examples/*.cpp ${PROJECT_SOURCE_DIR}/examples/*.vbs ${PROJECT_SOURCE_DIR}/examples/*.js)
foreach(sample IN LISTS samples)
    get_filename_component(folder examples/${sample} DIRECTORY)
    vrk_ship(${folder} PACKAGE_FOLDER ${folder} FILES ${PROJECT_SOURCE_DIR}/examples/${sample})
endforeach()
# Copied under the name it ships with, so that every shipped file keeps its own name.
configure_file(${PROJECT_SOURCE_DIR}/resources/SUBSTITUTES-WARNING.txt ${CMAKE_BINARY_DIR}/substitutes/WARNING.txt
    COPYONLY)
vrk_ship(${VRK_INSTALL_SUBSTITUTES} TARGETS vrksimulator vrksim
    FILES ${PROJECT_SOURCE_DIR}/simulator/README.md ${CMAKE_BINARY_DIR}/substitutes/WARNING.txt)
vrk_ship(. FILES ${PROJECT_SOURCE_DIR}/README.md)

include(${PROJECT_SOURCE_DIR}/cmake/WindowsInstaller.cmake)

# The other architecture's build tree, when the ZIP is to carry both (scripts/build.sh
# gives the 64-bit tree the 32-bit one).
set(VRK_PACKAGE_WITH "" CACHE PATH "another architecture's build tree whose files the ZIP also carries")

set(CPACK_PACKAGE_NAME vrksolauth)
set(CPACK_PACKAGE_VENDOR "VEYRAK Corporation")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "VRKsolution authenticator COM server")
set(CPACK_GENERATOR ZIP)
set(CPACK_SYSTEM_NAME ${VRK_WINDOWS_SYSTEM})
if(VRK_PACKAGE_WITH)
    set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};vrksolauth;ALL;/;${VRK_PACKAGE_WITH};vrksolauth;ALL;/")
    set(CPACK_SYSTEM_NAME win32-win64)
endif()
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
