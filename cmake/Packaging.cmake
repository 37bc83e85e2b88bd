# What `cmake --install` lays out and what the CPack ZIP carries:
#   bin/          vrksolauth.dll, its type library file, vrkauth.exe
#   include/      the C/C++ header and the interface identifiers
#   examples/     sample clients (C++, VBScript, JScript)
#   substitutes/  stand-ins for the maker's components, for machines WITHOUT the product
install(TARGETS vrksolauth vrkauth RUNTIME DESTINATION bin)
install(FILES ${VRK_GENERATED_DIR}/vrksolauth.tlb DESTINATION bin)
install(FILES ${VRK_GENERATED_DIR}/vrksolauth.h ${VRK_GENERATED_DIR}/vrksolauth_i.c DESTINATION include)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples
    FILES_MATCHING PATTERN "*.cpp" PATTERN "*.vbs" PATTERN "*.js")
install(TARGETS vrksimulator vrksim RUNTIME DESTINATION substitutes)
install(FILES ${PROJECT_SOURCE_DIR}/simulator/README.md DESTINATION substitutes)
install(FILES ${PROJECT_SOURCE_DIR}/resources/SUBSTITUTES-WARNING.txt DESTINATION substitutes RENAME WARNING.txt)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

set(CPACK_PACKAGE_NAME vrksolauth)
set(CPACK_PACKAGE_VENDOR "VEYRAK Corporation")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "VRKsolution authenticator COM server")
set(CPACK_GENERATOR ZIP)
set(CPACK_SYSTEM_NAME win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
