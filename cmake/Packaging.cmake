# What `cmake --install` lays out and what the CPack ZIP carries:
#   x86/ or x64/  bin/          vrksolauth.dll, its type library file, vrkauth.exe, and for
#                               registration-free use the DLL's assembly manifest and
#                               vrkauth-regfree.exe, whose application manifest depends on it
#                 substitutes/  stand-ins for the maker's components, for machines WITHOUT the product
#   include/      the C/C++ header and the interface identifiers, the same for both architectures
#   examples/     sample clients (C++, VBScript, JScript)
# Each architecture's files sit under its own folder, so that a 32-bit DLL is never
# mistaken for the 64-bit one: both are named vrksolauth.dll, as clients expect.
set(VRK_INSTALL_BIN ${VRK_ARCH}/bin)
set(VRK_INSTALL_SUBSTITUTES ${VRK_ARCH}/substitutes)
install(TARGETS vrksolauth vrkauth vrkauth-regfree RUNTIME DESTINATION ${VRK_INSTALL_BIN})
install(FILES ${VRK_GENERATED_DIR}/vrksolauth.tlb ${VRK_ASSEMBLY_MANIFEST} DESTINATION ${VRK_INSTALL_BIN})
install(FILES ${VRK_GENERATED_DIR}/vrksolauth.h ${VRK_GENERATED_DIR}/vrksolauth_i.c DESTINATION include)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples
    FILES_MATCHING PATTERN "*.cpp" PATTERN "*.vbs" PATTERN "*.js")
install(TARGETS vrksimulator vrksim RUNTIME DESTINATION ${VRK_INSTALL_SUBSTITUTES})
install(FILES ${PROJECT_SOURCE_DIR}/simulator/README.md DESTINATION ${VRK_INSTALL_SUBSTITUTES})
install(FILES ${PROJECT_SOURCE_DIR}/resources/SUBSTITUTES-WARNING.txt DESTINATION ${VRK_INSTALL_SUBSTITUTES}
    RENAME WARNING.txt)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

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
