# What is shipped, in one list that the install rules (`cmake --install`, hence the ZIP) and the
# architecture's Windows Installer package (cmake/WindowsInstaller.cmake) both read:
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
# Installs the targets' signed copies (cmake/Signing.cmake) and the files into <destination>, and
# the targets' debug information into the same place of the symbols archive (install component
# "symbols", which a plain installation leaves out: cmake/Symbols.cmake). With PACKAGE_FOLDER, the
# Windows Installer package carries them as well, in <folder> of its installation folder
# ("." for that folder itself). Each entry of the global property VRK_PACKAGE_FILES is
# "<folder>|<target or file>|<source path, perhaps a generator expression>".
function(vrk_ship destination)
    cmake_parse_arguments(ARG "" "PACKAGE_FOLDER" "TARGETS;FILES" ${ARGN})
    foreach(target IN LISTS ARG_TARGETS)
        vrk_sign_target(${target})
        vrk_shipped_file_name(name ${target})
        install(FILES ${VRK_SIGNED_DIR}/${name} DESTINATION ${destination})
        install(FILES ${VRK_SYMBOLS_DIR}/${name}.debug DESTINATION ${destination} COMPONENT symbols EXCLUDE_FROM_ALL)
    endforeach()
    if(ARG_FILES)
        install(FILES ${ARG_FILES} DESTINATION ${destination})
    endif()
    if(NOT DEFINED ARG_PACKAGE_FOLDER)
        return()
    endif()
    foreach(target IN LISTS ARG_TARGETS)
        vrk_shipped_file_name(name ${target})
        set_property(GLOBAL APPEND PROPERTY VRK_PACKAGE_FILES "${ARG_PACKAGE_FOLDER}|${target}|${VRK_SIGNED_DIR}/${name}")
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

# The ZIP of every installation (this tree's, and VRK_PACKAGE_WITH's), made the same way from the
# same files every time (cmake/MakeZip.cmake), the symbols archive beside it, and SHA256SUMS of
# both and the Windows Installer packages: what a release ships. Made anew at every build, since
# the other tree's files are no dependency that this tree can see.
set(zip_trees ${CMAKE_BINARY_DIR})
set(zip_system ${VRK_WINDOWS_SYSTEM})
set(packages ${VRK_PACKAGE_MSI})
if(VRK_PACKAGE_WITH)
    list(APPEND zip_trees ${VRK_PACKAGE_WITH})
    set(zip_system win32-win64)
    set(other_arch $<IF:$<STREQUAL:${VRK_ARCH},x64>,x86,x64>)
    list(APPEND packages ${VRK_PACKAGE_WITH}/vrksolauth-${PROJECT_VERSION}-${other_arch}.msi)
endif()
set(VRK_PACKAGE_ZIP ${CMAKE_BINARY_DIR}/vrksolauth-${PROJECT_VERSION}-${zip_system}.zip)
set(VRK_SYMBOLS_ZIP ${CMAKE_BINARY_DIR}/vrksolauth-${PROJECT_VERSION}-${zip_system}-symbols.zip)
add_custom_target(vrk_package_zip ALL
    COMMAND ${CMAKE_COMMAND} "-DTREES=${zip_trees}" -DZIP=${VRK_PACKAGE_ZIP} -DSYMBOLS_ZIP=${VRK_SYMBOLS_ZIP}
            "-DPACKAGES=${packages}" -DEPOCH=${VRK_SOURCE_DATE_EPOCH} -P ${PROJECT_SOURCE_DIR}/cmake/MakeZip.cmake
    BYPRODUCTS ${VRK_PACKAGE_ZIP} ${VRK_SYMBOLS_ZIP} ${CMAKE_BINARY_DIR}/SHA256SUMS
    COMMENT "Making ${VRK_PACKAGE_ZIP}, its symbols and SHA256SUMS"
    VERBATIM)
add_dependencies(vrk_package_zip vrk_signed vrk_package_msi)
